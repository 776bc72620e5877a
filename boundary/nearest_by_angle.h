#pragma once

#include "boundary/boundary_point.h"

namespace tarvel {

/// The entry of the non-empty list (ascending angle) whose angle is nearest `a`, going either
/// way round through 2 PI. Ties go to the entry looked at first: entries in list order, then
/// the way round past the last entry, then the way round to the first. A NaN distance is
/// always taken, and so is any candidate compared with a NaN best. Looks at every entry.
BoundaryPoint* nearestByAngle(BoundaryPoint* first, double a);

}  // namespace tarvel
