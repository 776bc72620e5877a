#pragma once

#include <cstdint>
#include <vector>

#include "grouping/key_index.h"
#include "host/lwsdk.h"

namespace tarvel {

class SelectedPoly;
struct PolyGroup;

/// For every point of the table's polygons, the slots of the polygons holding it, ascending.
/// Built once over the ordered table; slots a group has taken are passed over lazily.
class PolygonsByPoint {
public:
    PolygonsByPoint(SelectedPoly* const* table, std::int32_t slotCount);

    /// Index of the first remaining polygon holding both identifiers anywhere in its point
    /// list, or -1.
    std::int32_t findPolyWithEdge(LWPntID a, LWPntID b, SelectedPoly* const* table);

    /// The same, for the points numbered pa and pb.
    std::int32_t findHolder(std::uint32_t pa, std::uint32_t pb, SelectedPoly* const* table);

    /// The numbers of the points of the polygon first in `slot`, in its point order.
    const std::uint32_t* corners(std::int32_t slot) const {
        return corners_.data() + cornerStart_[static_cast<std::size_t>(slot)];
    }

private:
    /// Skips the taken slots at the front of the point's list; returns where it now starts.
    std::uint32_t firstRemaining(std::uint32_t point, SelectedPoly* const* table);

    KeyIndex pointNumbers_;
    std::vector<std::uint32_t> start_;  // point p's slots are slots_[start_[p] .. start_[p+1])
    std::vector<std::uint32_t> live_;   // no slot before live_[p] in p's list remains
    std::vector<std::int32_t> slots_;
    std::vector<std::uint32_t> corners_;      // every polygon's point numbers, slot after slot
    std::vector<std::uint32_t> cornerStart_;  // slot s's numbers start at cornerStart_[s]
};

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
