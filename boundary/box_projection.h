#pragma once

#include "boundary/boundary_point.h"

namespace tarvel {

/// Rescales x and y of the non-empty list's positions so that their bounding box becomes the
/// square from -0.5 to 0.5, each axis by its own extent. An axis of zero extent is only
/// centred, not divided.
void normaliseToBox(BoundaryPoint* first);

}  // namespace tarvel
