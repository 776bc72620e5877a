#pragma once

#include <cstddef>
#include <cstdint>

#include "grouping/grouped_polygons.h"
#include "grouping/no_item.h"
#include "runtime/resident_memory.h"

namespace tarvel {

class SelectedPoly;

/// The table's polygons, for growing regions over shared edges: for every point, the
/// polygons holding it, and which polygons a group has taken.
///
/// Each polygon has a local number, the rank of its record's address (orderByAddress), and
/// everything here is laid out by local number: the polygons the mesh has side by side sit
/// side by side in memory, as growth walks them, while the table's order (by which every
/// choice is made) may scatter them.
class PolygonsByPoint {
public:
    /// Every slot below slotCount holds a polygon, none of them taken yet. Throws
    /// std::bad_alloc when memory runs out.
    PolygonsByPoint(SelectedPoly* const* table, std::int32_t slotCount);

    /// Local number of the first remaining polygon in slot order holding both points, numbered
    /// pa and pb, anywhere in its point list; kNone when there is none. With pa == pb, the
    /// first remaining polygon holding the point.
    std::uint32_t findHolder(std::uint32_t pa, std::uint32_t pb);

    /// What findHolder gives for edge `edge` of polygon `local`, which must be taken: edge 0
    /// runs from its last point to its first, edge k > 0 from point k - 1 to point k. Where
    /// the edge has exactly one other holder, that was found ahead, by the team's threads.
    std::uint32_t holderAcross(std::uint32_t local, std::int32_t edge) {
        const std::uint32_t* c = corners(local);
        const std::uint32_t pa = edge == 0 ? c[cornerCount(local) - 1] : c[edge - 1];
        const std::uint32_t pb = c[edge];
        if (across_ == nullptr) {
            return findHolder(pa, pb);
        }
        const std::uint32_t other = across_[cornerStart_[local] + static_cast<std::uint32_t>(edge)];
        if (other == kSeveral) {
            return findHolder(pa, pb);
        }
        return other == kNone || taken(other) ? kNone : other;
    }

    /// Marks the polygon taken: no later findHolder gives it.
    void take(std::uint32_t local) { slotAndTaken_[local] |= kTaken; }
    bool taken(std::uint32_t local) const { return (slotAndTaken_[local] & kTaken) != 0; }

    SelectedPoly* record(std::uint32_t local) const { return records_[local]; }
    std::int32_t slot(std::uint32_t local) const {
        return static_cast<std::int32_t>(slotAndTaken_[local] & ~kTaken);
    }
    std::uint32_t localOf(std::int32_t slot) const {
        return localOfSlot_[static_cast<std::size_t>(slot)];
    }

    /// The numbers of the polygon's points, in its point order, and how many there are.
    const std::uint32_t* corners(std::uint32_t local) const {
        return corners_.get() + cornerStart_[local];
    }
    std::int32_t cornerCount(std::uint32_t local) const {
        return static_cast<std::int32_t>(cornerStart_[local + 1] - cornerStart_[local]);
    }

    /// How many distinct points the polygons hold; points are numbered 0 .. pointCount() - 1.
    std::uint32_t pointCount() const { return static_cast<std::uint32_t>(holderRange_.size()); }

    /// Moves the records and the point numbers out, for the boundary step; the index is spent.
    NumberedPolygons numbered() &&;

private:
    static constexpr std::uint32_t kTaken = 0x80000000u;
    /// In across_: an edge from a point to itself, or one that several other polygons hold.
    static constexpr std::uint32_t kSeveral = 0xFFFFFFFEu;

    /// A point's holders are holders_[live .. end): none before live remains, and live only
    /// moves forward, past holders found taken.
    struct HolderRange {
        std::uint32_t live;
        std::uint32_t end;
    };

    /// How the lists are built and searched (polygons_by_point.cpp).
    struct Lists;

    ResidentArray<SelectedPoly*> records_;       // by local number
    ResidentArray<std::uint32_t> slotAndTaken_;  // the slot, with kTaken once taken
    ResidentArray<std::uint32_t> localOfSlot_;   // by slot
    ResidentArray<std::uint32_t> cornerStart_;   // local l's corners start here; one more
    ResidentArray<std::uint32_t> corners_;       // point numbers, polygon after polygon
    ResidentVector<HolderRange> holderRange_;    // by point number
    ResidentArray<std::uint32_t> holders_;       // local numbers, point after point
    ResidentArray<std::uint32_t> across_;        // per corner, for the edge ending there; or none
};

}  // namespace tarvel
