#pragma once

#include "geometry/vector3.h"

namespace tarvel {

/// Where the line through l0 along d meets the plane through p0 across n. When the line has no
/// single intersection (dot(n, d) == 0.0, which includes a zero n or d) the result is the fixed
/// point (-1, -1, -1).
Vector3 intersectLinePlane(Vector3 n, Vector3 p0, Vector3 l0, Vector3 d);

/// Distance in model units of p from the line through a along d (d need not be unit length).
/// For a zero d it is the distance from p to (-1, -1, -1).
double distanceToAxis(Vector3 p, Vector3 a, Vector3 d);

}  // namespace tarvel
