#include "grouping/polygons_by_point.h"

#include <algorithm>

#include "grouping/key_index.h"
#include "host/selected_poly.h"

namespace tarvel {

PolygonsByPoint::PolygonsByPoint(SelectedPoly* const* table, std::int32_t slotCount) {
    // Number every corner's point, counting each polygon once per distinct point it holds
    // (repeats are adjacent per point, since slots come in ascending order); then lay the
    // lists of holders out one after another.
    KeyIndex pointNumbers(static_cast<std::size_t>(slotCount));
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
    pointNumbers.numberAll(keys.data(), keys.size(), corners_.data());
    std::vector<std::int32_t> lastSlot(pointNumbers.size(), -1);
    std::vector<std::uint32_t> holderCount(pointNumbers.size(), 0);
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

}  // namespace tarvel
