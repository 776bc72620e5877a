#pragma once

#include "boundary/boundary_point.h"

namespace tarvel {

/// The entry of the non-empty list (ascending angle) whose angle is nearest `a`, going either
/// way round through 2 PI. Ties go to the entry looked at first: entries in list order, then
/// the way round past the last entry, then the way round to the first.
BoundaryPoint* nearestByAngle(BoundaryPoint* first, double a);

/// Links every entry of the first list to its nearest in the second (marking that one
/// matched), then every unmatched entry of the second list to its nearest in the first.
void matchLoops(BoundaryPoint* firstList, BoundaryPoint* secondList);

}  // namespace tarvel
