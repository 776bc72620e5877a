#pragma once

#include <cstdint>

namespace tarvel {

class GroupedPolygons;
class SelectedPoly;
struct PolyGroup;

/// Moves the lowest-indexed remaining polygon of the table into the empty `group` as its seed,
/// with the seed's normal as the group's normal.
void takeSeed(PolyGroup& group, SelectedPoly** table, std::int32_t slotCount);

/// Empties the table into a new group list, one group per seed in table order, and sets
/// `head` to its first group at once, so that the list owns what is built even if memory runs
/// out. With nothing left to take the list holds one empty group. When `keep` is given, the
/// growth may leave in it what the boundary step can use.
void formGroups(PolyGroup*& head, SelectedPoly** table, std::int32_t slotCount,
                GroupedPolygons* keep = nullptr);

}  // namespace tarvel
