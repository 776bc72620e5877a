#pragma once

#include <cstdint>
#include <vector>

#include "grouping/polygons_by_point.h"

namespace tarvel {

class SelectedPoly;
struct PolyGroup;

/// Moves the lowest-indexed remaining polygon of the table into the empty `group` as its seed,
/// with the seed's normal as the group's normal.
void takeSeed(PolyGroup& group, SelectedPoly** table, std::int32_t slotCount);

/// Takes into `group`, depth first from its member `from` (first in `fromSlot`), every remaining
/// polygon reachable through shared edges whose normal is less than 60 degrees from the seed's: the
/// closing edge first, then the edges in point order, a neighbour's whole region before the next
/// edge. Each taken polygon is linked right after the seed. Uses a heap stack, never the call
/// stack.
void growFrom(PolyGroup& group, SelectedPoly* from, SelectedPoly** table, PolygonsByPoint& holders);

/// Empties the table into a new group list, one group per seed in table order, and sets
/// `head` to its first group at once, so that the list owns what is built even if memory runs
/// out. With nothing left to take the list holds one empty group.
void formGroups(PolyGroup*& head, SelectedPoly** table, std::int32_t slotCount);

}  // namespace tarvel
