#include "grouping/polygons_by_point.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <new>

#include "grouping/capture_order.h"
#include "grouping/key_index.h"
#include "host/selected_poly.h"

namespace tarvel {

bool PolygonsByPoint::KeySpan::compact(std::uint64_t corners) {
    if (!any) {
        return false;
    }
    shift = differing == 0 ? 0 : std::countr_zero(differing);
    return ((highest - lowest) >> shift) < 2 * corners + 64;
}

PolygonsByPoint::PolygonsByPoint(SelectedPoly* const* table, std::int32_t slotCount) {
    const auto polygons = static_cast<std::uint32_t>(slotCount < 0 ? 0 : slotCount);
    records_.reset(new SelectedPoly*[polygons]);
    slotAndTaken_.reset(new std::uint32_t[polygons]);
    orderByAddress(table, slotCount, records_.get(), slotAndTaken_.get());
    localOfSlot_.reset(new std::uint32_t[polygons]);
    for (std::uint32_t l = 0; l < polygons; ++l) {
        localOfSlot_[slotAndTaken_[l]] = l;
    }
    cornerStart_.reset(new std::uint32_t[std::size_t{polygons} + 1]);
    KeySpan keys;
    std::uint64_t corners = 0;
    for (std::uint32_t l = 0; l < polygons; ++l) {
        cornerStart_[l] = static_cast<std::uint32_t>(corners);
        const SelectedPoly& poly = *records_[l];
        for (std::int32_t k = 0; k < poly.pointCount; ++k) {
            keys.add(keyOf(poly.pointIds[k]));
        }
        corners += static_cast<std::uint64_t>(std::max(poly.pointCount, 0));
        if (corners > std::numeric_limits<std::uint32_t>::max()) {
            throw std::bad_alloc();  // more corners than the numbering can count
        }
    }
    cornerStart_[polygons] = static_cast<std::uint32_t>(corners);
    corners_.reset(new std::uint32_t[corners]);
    listHolders(polygons, keys.compact(corners) ? numberCompactPoints(polygons, keys)
                                                : numberPoints(polygons));
}

std::vector<std::uint32_t> PolygonsByPoint::numberCompactPoints(std::uint32_t polygons,
                                                                const KeySpan& keys) {
    // Keys that lie close together (a host numbering its points, or holding them in one array)
    // index a table directly: no hashing, and the look-ups follow the mesh as the keys do.
    const std::size_t span = keys.index(keys.highest) + 1;
    std::unique_ptr<std::uint32_t[]> numberOf(new std::uint32_t[span]);
    std::fill(numberOf.get(), numberOf.get() + span, kNone);
    std::vector<std::uint32_t> holderCount;
    holderCount.reserve(polygons);
    std::uint32_t* out = corners_.get();
    for (std::uint32_t l = 0; l < polygons; ++l) {
        const SelectedPoly& poly = *records_[l];
        for (std::int32_t k = 0; k < poly.pointCount; ++k) {
            std::uint32_t& number = numberOf[keys.index(keyOf(poly.pointIds[k]))];
            if (number == kNone) {
                number = static_cast<std::uint32_t>(holderCount.size());
                holderCount.push_back(0);
            }
            ++holderCount[number];
            *out++ = number;
        }
    }
    return holderCount;
}

std::vector<std::uint32_t> PolygonsByPoint::numberPoints(std::uint32_t polygons) {
    // Points are numbered in the order of the polygons in memory, a few thousand corners at a
    // time, so that the keys in hand stay in the cache while their table slots are fetched.
    constexpr std::size_t kBatch = 2048;
    std::uint64_t keys[kBatch];
    KeyIndex numbers(polygons);
    std::vector<std::uint32_t> holderCount;
    holderCount.reserve(polygons);
    std::size_t numbered = 0;
    std::size_t batch = 0;
    auto flush = [&] {
        std::uint32_t* out = corners_.get() + numbered;
        numbers.numberAll(keys, batch, out);
        for (std::size_t i = 0; i < batch; ++i) {
            if (out[i] == holderCount.size()) {
                holderCount.push_back(1);
            } else {
                ++holderCount[out[i]];
            }
        }
        numbered += batch;
        batch = 0;
    };
    for (std::uint32_t l = 0; l < polygons; ++l) {
        const SelectedPoly& poly = *records_[l];
        for (std::int32_t k = 0; k < poly.pointCount; ++k) {
            keys[batch++] = keyOf(poly.pointIds[k]);
            if (batch == kBatch) {
                flush();
            }
        }
    }
    flush();
    return holderCount;
}

void PolygonsByPoint::listHolders(std::uint32_t polygons,
                                  const std::vector<std::uint32_t>& holderCount) {
    // Each point's list gets room for every corner at it; a polygon holding the point more
    // than once is listed once, its repeats adjacent since polygons are listed one by one.
    holderRange_.resize(holderCount.size());
    std::uint32_t listed = 0;
    for (std::size_t p = 0; p < holderCount.size(); ++p) {
        holderRange_[p] = {listed, listed};
        listed += holderCount[p];
    }
    holders_.reset(new std::uint32_t[listed]);
    for (std::uint32_t l = 0; l < polygons; ++l) {
        for (std::uint32_t c = cornerStart_[l]; c < cornerStart_[l + 1]; ++c) {
            HolderRange& range = holderRange_[corners_[c]];
            if (range.end == range.live || holders_[range.end - 1] != l) {
                holders_[range.end++] = l;
            }
        }
    }
    // Listed in memory order; choices are made in slot order.
    auto bySlot = [this](std::uint32_t a, std::uint32_t b) {
        return (slotAndTaken_[a] & ~kTaken) < (slotAndTaken_[b] & ~kTaken);
    };
    constexpr std::uint32_t kShortList = 16;
    for (const HolderRange& range : holderRange_) {
        std::uint32_t* begin = holders_.get() + range.live;
        std::uint32_t* end = holders_.get() + range.end;
        if (range.end - range.live > kShortList) {
            std::sort(begin, end, bySlot);
            continue;
        }
        for (std::uint32_t* i = begin + 1; i < end; ++i) {
            const std::uint32_t moving = *i;
            std::uint32_t* j = i;
            for (; j > begin && bySlot(moving, j[-1]); --j) {
                *j = j[-1];
            }
            *j = moving;
        }
    }
}

std::uint32_t PolygonsByPoint::firstRemaining(std::uint32_t point) {
    HolderRange& range = holderRange_[point];
    while (range.live < range.end && taken(holders_[range.live])) {
        ++range.live;
    }
    return range.live;
}

std::uint32_t PolygonsByPoint::findHolder(std::uint32_t pa, std::uint32_t pb) {
    const std::uint32_t fromA = firstRemaining(pa);
    if (pa == pb) {
        return fromA < holderRange_[pa].end ? holders_[fromA] : kNone;
    }
    const std::uint32_t fromB = firstRemaining(pb);
    // Walk the shorter list in slot order; look each remaining polygon up in the longer one,
    // whose position only moves forward, by galloping, so that a point held by very many
    // polygons costs a logarithm per look, not its length.
    const bool walkA = holderRange_[pa].end - fromA <= holderRange_[pb].end - fromB;
    std::uint32_t walk = walkA ? fromA : fromB;
    const std::uint32_t walkEnd = holderRange_[walkA ? pa : pb].end;
    std::uint32_t other = walkA ? fromB : fromA;
    const std::uint32_t otherEnd = holderRange_[walkA ? pb : pa].end;
    for (; walk < walkEnd; ++walk) {
        const std::uint32_t local = holders_[walk];
        if (taken(local)) {
            continue;
        }
        const std::uint32_t slot = slotAndTaken_[local];
        if (other < otherEnd && slotOfHolder(other) < slot) {
            // Double the step while it stays below, then halve back onto the first at or
            // above: slotOfHolder(other) < slot <= slotOfHolder(other + step), or the end.
            std::uint32_t step = 1;
            while (step < otherEnd - other && slotOfHolder(other + step) < slot) {
                other += step;
                step *= 2;
            }
            std::uint32_t high = std::min(step, otherEnd - other);
            while (high > 1) {
                const std::uint32_t half = high / 2;
                if (slotOfHolder(other + half) < slot) {
                    other += half;
                    high -= half;
                } else {
                    high = half;
                }
            }
            ++other;
        }
        if (other == otherEnd) {
            return kNone;
        }
        if (slotOfHolder(other) == slot) {
            return local;
        }
    }
    return kNone;
}

}  // namespace tarvel
