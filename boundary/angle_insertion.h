#pragma once

#include "boundary/boundary_point.h"

namespace tarvel {

/// Relinks the non-empty list, whose angles are set, by insertion: each entry in turn goes
/// before the sorted list's first entry when its angle is less, and otherwise after every
/// sorted entry whose angle it is not less than. A NaN angle on either side counts as less,
/// so an entry with a NaN angle goes to the front when its turn comes. Quadratic. Returns the
/// new first entry.
BoundaryPoint* insertByAngle(BoundaryPoint* first);

}  // namespace tarvel
