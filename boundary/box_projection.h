#pragma once

#include "boundary/boundary_point.h"

namespace tarvel {

/// Rescales x and y of the non-empty list's positions so that their bounding box becomes the
/// square from -0.5 to 0.5, each axis by its own extent. An axis of zero extent is only
/// centred, not divided.
void normaliseToBox(BoundaryPoint* first);

/// Sets each entry's angle to the polar angle of its position and relinks the non-empty list
/// into ascending angle, stably. An entry with a NaN angle goes to the front when its turn
/// comes. Returns the new first entry.
BoundaryPoint* sortByAngle(BoundaryPoint* first);

}  // namespace tarvel
