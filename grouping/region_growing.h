#pragma once

#include <cstdint>

#include "grouping/grouped_polygons.h"

namespace tarvel {

class SelectedPoly;
struct PolyGroup;

/// Moves the lowest-indexed remaining polygon of the table into the empty `group` as its seed,
/// with the seed's normal as the group's normal, empties its slot and counts it off `untaken`.
void takeSeed(PolyGroup& group, SelectedPoly** table, std::int32_t slotCount,
              std::int32_t& untaken);

/// Empties the table into a new group list, one group per seed in table order, and sets
/// `head` to its first group at once, so that the list owns what is built even if memory runs
/// out. `untaken` is the number of polygons the table still holds, counted down as groups take
/// them; the growth stops when it reaches 0. With nothing left to take the list holds one
/// empty group. Returns what the growth learnt of the groups that the boundary step can use,
/// or nothing.
GroupedPolygons formGroups(PolyGroup*& head, SelectedPoly** table, std::int32_t slotCount,
                           std::int32_t& untaken);

}  // namespace tarvel
