#pragma once

#include <cstdint>
#include <vector>

namespace tarvel {

class SelectedPoly;

/// For every point of the table's polygons, the slots of the polygons holding it, ascending.
/// Built once over the ordered table; slots a group has taken are passed over lazily.
class PolygonsByPoint {
public:
    PolygonsByPoint(SelectedPoly* const* table, std::int32_t slotCount);

    /// Index of the first remaining polygon holding both points, numbered pa and pb, anywhere
    /// in its point list, or -1.
    std::int32_t findHolder(std::uint32_t pa, std::uint32_t pb, SelectedPoly* const* table);

    /// The numbers of the points of the polygon first in `slot`, in its point order.
    const std::uint32_t* corners(std::int32_t slot) const {
        return corners_.data() + cornerStart_[static_cast<std::size_t>(slot)];
    }

private:
    /// Skips the taken slots at the front of the point's list; returns where it now starts.
    std::uint32_t firstRemaining(std::uint32_t point, SelectedPoly* const* table);

    std::vector<std::uint32_t> start_;  // point p's slots are slots_[start_[p] .. start_[p+1])
    std::vector<std::uint32_t> live_;   // no slot before live_[p] in p's list remains
    std::vector<std::int32_t> slots_;
    std::vector<std::uint32_t> corners_;      // every polygon's point numbers, slot after slot
    std::vector<std::uint32_t> cornerStart_;  // slot s's numbers start at cornerStart_[s]
};

}  // namespace tarvel
