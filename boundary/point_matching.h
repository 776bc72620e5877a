#pragma once

#include "boundary/boundary_point.h"

namespace tarvel {

/// Links every entry of the first list to its nearest in the second (marking that one
/// matched), then every unmatched entry of the second list to its nearest in the first.
void matchLoops(BoundaryPoint* firstList, BoundaryPoint* secondList);

}  // namespace tarvel
