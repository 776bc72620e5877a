#include "grouping/region_growing.h"

#include <algorithm>

#include "grouping/poly_group.h"
#include "host/activate.h"
#include "host/selected_poly.h"

namespace tarvel {

PolygonsByPoint::PolygonsByPoint(SelectedPoly* const* table, std::int32_t slotCount)
    : pointNumbers_(static_cast<std::size_t>(slotCount)) {
    // Number every corner's point, counting each polygon once per distinct point it holds
    // (repeats are adjacent per point, since slots come in ascending order); then lay the
    // lists of holders out one after another.
    cornerStart_.assign(static_cast<std::size_t>(slotCount) + 1, 0);
    std::vector<std::uint64_t> keys;
    for (std::int32_t s = 0; s < slotCount; ++s) {
        const SelectedPoly& poly = *table[s];
        for (std::int32_t k = 0; k < poly.pointCount; ++k) {
            keys.push_back(keyOf(poly.pointIds[k]));
        }
        cornerStart_[static_cast<std::size_t>(s) + 1] = static_cast<std::uint32_t>(keys.size());
    }
    corners_.resize(keys.size());
    pointNumbers_.numberAll(keys.data(), keys.size(), corners_.data());
    std::vector<std::int32_t> lastSlot(pointNumbers_.size(), -1);
    std::vector<std::uint32_t> holderCount(pointNumbers_.size(), 0);
    for (std::int32_t s = 0; s < slotCount; ++s) {
        for (std::uint32_t c = cornerStart_[static_cast<std::size_t>(s)];
             c < cornerStart_[static_cast<std::size_t>(s) + 1]; ++c) {
            const std::uint32_t p = corners_[c];
            if (lastSlot[p] != s) {
                lastSlot[p] = s;
                ++holderCount[p];
            }
        }
    }
    const std::size_t points = holderCount.size();
    start_.assign(points + 1, 0);
    for (std::size_t p = 0; p < points; ++p) {
        start_[p + 1] = start_[p] + holderCount[p];
    }
    live_.assign(start_.begin(), start_.end() - 1);
    slots_.resize(start_[points]);
    std::vector<std::uint32_t> fill(start_.begin(), start_.end() - 1);
    lastSlot.assign(points, -1);
    for (std::int32_t s = 0; s < slotCount; ++s) {
        for (std::uint32_t c = cornerStart_[static_cast<std::size_t>(s)];
             c < cornerStart_[static_cast<std::size_t>(s) + 1]; ++c) {
            const std::uint32_t p = corners_[c];
            if (lastSlot[p] != s) {
                lastSlot[p] = s;
                slots_[fill[p]++] = s;
            }
        }
    }
}

std::uint32_t PolygonsByPoint::firstRemaining(std::uint32_t point, SelectedPoly* const* table) {
    std::uint32_t& at = live_[point];
    while (at < start_[point + 1] && table[slots_[at]] == nullptr) {
        ++at;
    }
    return at;
}

std::int32_t PolygonsByPoint::findPolyWithEdge(LWPntID a, LWPntID b, SelectedPoly* const* table) {
    const std::uint32_t pa = pointNumbers_.lookup(keyOf(a));
    const std::uint32_t pb = pointNumbers_.lookup(keyOf(b));
    if (pa == KeyIndex::kAbsent || pb == KeyIndex::kAbsent) {
        return -1;
    }
    return findHolder(pa, pb, table);
}

std::int32_t PolygonsByPoint::findHolder(std::uint32_t pa, std::uint32_t pb,
                                         SelectedPoly* const* table) {
    // A polygon holding both is in both lists; walking the shorter one in slot order finds
    // the first such polygon.
    const std::uint32_t fromA = firstRemaining(pa, table);
    const std::uint32_t fromB = firstRemaining(pb, table);
    const bool walkA = start_[pa + 1] - fromA <= start_[pb + 1] - fromB;
    const std::uint32_t walked = walkA ? pa : pb;
    const std::uint32_t other = walkA ? pb : pa;
    for (std::uint32_t i = walkA ? fromA : fromB; i < start_[walked + 1]; ++i) {
        const std::int32_t slot = slots_[i];
        if (table[slot] == nullptr) {
            continue;
        }
        const std::uint32_t* begin = corners(slot);
        const std::uint32_t* end =
            corners_.data() + cornerStart_[static_cast<std::size_t>(slot) + 1];
        if (std::find(begin, end, other) != end) {
            return slot;
        }
    }
    return -1;
}

void takeSeed(PolyGroup& group, SelectedPoly** table, std::int32_t slotCount) {
    for (std::int32_t i = 0; group.firstMember == nullptr && i < slotCount; ++i) {
        group.firstMember = table[i];
        if (table[i] != nullptr) {
            group.normal = table[i]->normal;
            table[i] = nullptr;
            --unassignedCount;
        }
    }
}

namespace {

/// A polygon whose edges are being followed, and the next of its edges to look at: edge 0 runs
/// from the last point to the first, edge k > 0 from point k - 1 to point k.
struct EdgeCursor {
    const SelectedPoly* poly;
    std::int32_t slot;
    std::int32_t edge;
};

}  // namespace

void growFrom(PolyGroup& group, SelectedPoly* from, std::int32_t fromSlot, SelectedPoly** table,
              PolygonsByPoint& holders) {
    if (unassignedCount <= 0) {
        return;
    }
    const double maxTurn = PI / 3;  // 60 degrees from the seed's normal
    std::vector<EdgeCursor> stack{{from, fromSlot, 0}};
    while (!stack.empty()) {
        EdgeCursor& top = stack.back();
        const std::int32_t n = top.poly->pointCount;
        if (top.edge >= n) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t* numbers = holders.corners(top.slot);
        const std::int32_t k = top.edge++;
        const std::int32_t first = k == 0 ? n - 1 : k - 1;
        const std::int32_t second = k == 0 ? 0 : k;
        const std::int32_t index = holders.findHolder(numbers[first], numbers[second], table);
        if (index < 0) {
            continue;
        }
        SelectedPoly* neighbour = table[index];
        if (!(neighbour->normal.angleBetween(group.normal) < maxTurn)) {
            continue;
        }
        neighbour->nextMember = group.firstMember->nextMember;
        group.firstMember->nextMember = neighbour;
        table[index] = nullptr;
        --unassignedCount;
        // The neighbour's whole region comes before this polygon's next edge.
        if (unassignedCount > 0) {
            stack.push_back({neighbour, index, 0});
        }
    }
}

void formGroups(PolyGroup*& head, SelectedPoly** table, std::int32_t slotCount) {
    head = new PolyGroup;
    PolygonsByPoint holders(table, slotCount);
    PolyGroup* current = head;
    std::int32_t seedFrom = 0;  // every slot before it is empty
    while (unassignedCount > 0) {
        while (seedFrom < slotCount && table[seedFrom] == nullptr) {
            ++seedFrom;
        }
        takeSeed(*current, table + seedFrom, slotCount - seedFrom);
        if (current->firstMember == nullptr) {
            break;  // the count promised a polygon the table does not hold
        }
        growFrom(*current, current->firstMember, seedFrom, table, holders);
        if (unassignedCount > 0) {
            current->next = new PolyGroup;
            current = current->next;
        }
    }
}

}  // namespace tarvel
