#pragma once

#include "boundary/boundary_point.h"

namespace tarvel {

/// Sets each entry's angle to the polar angle of its position and relinks the non-empty list
/// into ascending angle, stably. An entry with a NaN angle goes to the front when its turn
/// comes. Returns the new first entry.
BoundaryPoint* sortByAngle(BoundaryPoint* first);

}  // namespace tarvel
