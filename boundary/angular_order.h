#pragma once

#include "boundary/boundary_point.h"

namespace tarvel {

/// Sets each entry's angle to the polar angle of its position and relinks the non-empty list
/// into ascending angle, stably. An entry with a NaN angle goes to the front when its turn
/// comes. Returns the new first entry. When memory runs out it throws std::bad_alloc before it
/// relinks anything, so the list is still whole and headed by `first`.
BoundaryPoint* sortByAngle(BoundaryPoint* first);

}  // namespace tarvel
