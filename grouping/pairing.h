#pragma once

#include "grouping/poly_group.h"

namespace tarvel {

/// Pairs the facing groups of the list at `head` (two or more groups): with three or more each
/// group in turn takes the best of the groups after it, with two the first may take the second.
void pairGroups(PolyGroup* head);

}  // namespace tarvel
