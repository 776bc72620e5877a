#include "grouping/polygons_by_point.h"

#include <algorithm>
#include <limits>
#include <new>
#include <span>
#include <utility>
#include <vector>

#include "grouping/address_order.h"
#include "grouping/key_index.h"
#include "grouping/low_bit.h"
#include "runtime/resident_memory.h"
#include "runtime/selected_poly.h"
#include "runtime/worker_team.h"

namespace tarvel {

namespace {

/// Lists up to this long are kept in memory order and read whole; longer ones are sorted.
constexpr std::uint32_t kShortList = 8;

/// The polygons a thread takes at a time while the records are read.
constexpr std::size_t kIndexGrain = std::size_t{1} << 15;

/// The range of the points' keys, and the low bits all keys share.
struct KeySpan {
    std::uint64_t lowest = ~std::uint64_t{0};
    std::uint64_t highest = 0;
    std::uint64_t first = 0;
    std::uint64_t differing = 0;  // bits in which some key differs from the first
    bool any = false;

    void add(std::uint64_t key) {
        first = any ? first : key;
        any = true;
        lowest = key < lowest ? key : lowest;
        highest = key > highest ? key : highest;
        differing |= key ^ first;
    }
    /// The key's place among the values the span can hold, counted in steps of the
    /// shared low bits.
    std::size_t index(std::uint64_t key) const {
        return static_cast<std::size_t>((key - lowest) >> shift);
    }
    /// Adds the keys another span saw, as if added after this one's.
    void add(const KeySpan& other) {
        if (!other.any) {
            return;
        }
        if (!any) {
            *this = other;
            return;
        }
        lowest = other.lowest < lowest ? other.lowest : lowest;
        highest = other.highest > highest ? other.highest : highest;
        differing |= other.differing | (other.first ^ first);
    }
    /// Whether the keys span less than 2^32 and a table with one entry per place is at most
    /// about twice the corners; sets the shift that index() uses.
    bool compact(std::uint64_t corners);

    int shift = 0;
};

bool KeySpan::compact(std::uint64_t corners) {
    if (!any) {
        return false;
    }
    shift = differing == 0 ? 0 : lowestSetBit(differing);
    return highest - lowest <= 0xFFFFFFFFu && ((highest - lowest) >> shift) < 2 * corners + 64;
}

}  // namespace

/// The steps that build the lists, and the searches of them, over the index's arrays.
struct PolygonsByPoint::Lists {
    /// Fills localOfSlot_, cornerStart_ and the corners with every key's low 32 bits (all the
    /// compact numbering needs), and returns the keys' span. Throws std::bad_alloc when the
    /// corners are more than 32 bits can count.
    static KeySpan readCorners(PolygonsByPoint& index, std::uint32_t polygons);
    /// Fill the corners with the points' numbers, in first-seen order, and add a range per
    /// point whose end counts the corners at it. The compact form when the keys' span allows
    /// it, the hashed otherwise. `corners` is how many corners there are.
    static void numberCompactPoints(PolygonsByPoint& index, std::uint32_t corners,
                                    const KeySpan& keys);
    static void numberPoints(PolygonsByPoint& index, std::uint32_t polygons, std::uint32_t corners,
                             const KeySpan& keys);
    /// Lays the lists out from those counts and fills them.
    static void listHolders(PolygonsByPoint& index, std::uint32_t polygons);
    /// Fills across_, when the team has more than one thread.
    static void findOthersAcross(PolygonsByPoint& index, std::uint32_t polygons);
    /// The holder of points pa and pb other than polygon `local`, kNone or kSeveral; before
    /// anything is taken.
    static std::uint32_t otherHolder(const PolygonsByPoint& index, std::uint32_t local,
                                     std::uint32_t pa, std::uint32_t pb);

    static std::uint32_t slotOfHolder(const PolygonsByPoint& index, std::uint32_t at) {
        return index.slotAndTaken_[index.holders_[at]] & ~kTaken;
    }
    /// Moves the point's live start past its taken holders; returns it.
    static std::uint32_t firstRemaining(PolygonsByPoint& index, std::uint32_t point);
    /// The remaining holder with the lowest slot among holders_[from .. end), which must hold
    /// one.
    static std::uint32_t firstInSlotOrder(const PolygonsByPoint& index, std::uint32_t from,
                                          std::uint32_t end);
    /// In holders_[from .. end), sorted by slot: where the first at or after `slot` stands.
    static std::uint32_t findInSorted(const PolygonsByPoint& index, std::uint32_t slot,
                                      std::uint32_t from, std::uint32_t end);
    /// Of the remaining holders in holders_[walk .. walkEnd) that holders_[other .. otherEnd)
    /// also holds, both long lists sorted by slot: the one with the lowest slot, or kNone.
    static std::uint32_t firstInBoth(const PolygonsByPoint& index, std::uint32_t walk,
                                     std::uint32_t walkEnd, std::uint32_t other,
                                     std::uint32_t otherEnd);
};

PolygonsByPoint::PolygonsByPoint(SelectedPoly* const* table, std::int32_t slotCount) {
    const auto polygons = static_cast<std::uint32_t>(slotCount < 0 ? 0 : slotCount);
    records_ = newResidentArray<SelectedPoly*>(polygons);
    slotAndTaken_ = newResidentArray<std::uint32_t>(polygons);
    orderByAddress(table, slotCount, records_.get(), slotAndTaken_.get());
    KeySpan keys = Lists::readCorners(*this, polygons);
    const std::uint32_t corners = cornerStart_[polygons];
    // Room for a point per polygon, as in a closed mesh of quads, before the array grows.
    holderRange_.reserve(std::size_t{polygons} + polygons / 4);
    if (keys.compact(corners)) {
        Lists::numberCompactPoints(*this, corners, keys);
    } else {
        Lists::numberPoints(*this, polygons, corners, keys);
    }
    Lists::listHolders(*this, polygons);
    Lists::findOthersAcross(*this, polygons);
}

NumberedPolygons PolygonsByPoint::numbered() && {
    return {std::move(records_), std::move(cornerStart_), std::move(corners_), pointCount()};
}

KeySpan PolygonsByPoint::Lists::readCorners(PolygonsByPoint& index, std::uint32_t polygons) {
    // The records are read twice, in ranges of polygons shared out over the team: first for
    // each range's corner count, with where each polygon's corners start within the range;
    // then, once the ranges before it are counted, for the starts overall and the keys.
    const WorkerTeam team(polygons);
    const std::size_t rangeCount = (std::size_t{polygons} + kIndexGrain - 1) / kIndexGrain;
    index.localOfSlot_ = newResidentArray<std::uint32_t>(polygons);
    index.cornerStart_ = newResidentArray<std::uint32_t>(std::size_t{polygons} + 1);
    std::vector<std::uint64_t> rangeCorners(rangeCount);
    team.forRanges(polygons, kIndexGrain, [&](std::size_t begin, std::size_t end) {
        std::uint64_t corners = 0;
        for (auto l = static_cast<std::uint32_t>(begin); l < end; ++l) {
            index.localOfSlot_[index.slotAndTaken_[l]] = l;
            // Cut to 32 bits only where the total is too large as well, which throws below.
            index.cornerStart_[l] = static_cast<std::uint32_t>(corners);
            corners += static_cast<std::uint64_t>(std::max(index.records_[l]->pointCount, 0));
        }
        rangeCorners[begin / kIndexGrain] = corners;
    });
    std::uint64_t corners = 0;
    for (std::uint64_t& count : rangeCorners) {
        const std::uint64_t before = corners;
        corners += count;
        count = before;
        if (corners > std::numeric_limits<std::uint32_t>::max()) {
            throw std::bad_alloc();  // more corners than the numbering can count
        }
    }
    index.cornerStart_[polygons] = static_cast<std::uint32_t>(corners);
    index.corners_ = newResidentArray<std::uint32_t>(corners);
    std::vector<KeySpan> rangeKeys(rangeCount);
    team.forRanges(polygons, kIndexGrain, [&](std::size_t begin, std::size_t end) {
        const auto start = static_cast<std::uint32_t>(rangeCorners[begin / kIndexGrain]);
        KeySpan& keys = rangeKeys[begin / kIndexGrain];
        for (auto l = static_cast<std::uint32_t>(begin); l < end; ++l) {
            index.cornerStart_[l] += start;
            const SelectedPoly& poly = *index.records_[l];
            std::uint32_t* out = index.corners_.get() + index.cornerStart_[l];
            for (std::int32_t k = 0; k < poly.pointCount; ++k) {
                const std::uint64_t key = keyOf(poly.pointIds[k]);
                keys.add(key);
                out[k] = static_cast<std::uint32_t>(key);
            }
        }
    });
    KeySpan keys;
    for (const KeySpan& range : rangeKeys) {
        keys.add(range);
    }
    return keys;
}

void PolygonsByPoint::Lists::numberCompactPoints(PolygonsByPoint& index, std::uint32_t corners,
                                                 const KeySpan& keys) {
    // Keys that lie close together (a host numbering its points, or holding them in one array)
    // index a table directly: no hashing, and the look-ups follow the mesh as the keys do. The
    // keys span less than 2^32, so their low bits give their offsets from the lowest.
    const std::size_t span = keys.index(keys.highest) + 1;
    const ResidentArray<std::uint32_t> numberOf = newResidentArray<std::uint32_t>(span);
    std::fill(numberOf.get(), numberOf.get() + span, kNone);
    const auto lowest = static_cast<std::uint32_t>(keys.lowest);
    ResidentVector<HolderRange>& ranges = index.holderRange_;
    for (std::uint32_t& corner : std::span(index.corners_.get(), corners)) {
        std::uint32_t& number = numberOf[static_cast<std::uint32_t>(corner - lowest) >> keys.shift];
        if (number == kNone) {
            number = static_cast<std::uint32_t>(ranges.size());
            ranges.push_back({0, 0});
        }
        ++ranges[number].end;
        corner = number;
    }
}

void PolygonsByPoint::Lists::numberPoints(PolygonsByPoint& index, std::uint32_t polygons,
                                          std::uint32_t corners, const KeySpan& keys) {
    // Points are numbered in the order of the polygons in memory, a few thousand corners at a
    // time, so that the keys in hand stay in the cache while their table slots are fetched.
    constexpr std::size_t kBatch = 2048;
    std::vector<std::uint64_t> batchKeys(kBatch);  // on the heap: 16 KiB would need stack probes
    KeyIndex numbers(polygons);
    ResidentVector<HolderRange>& ranges = index.holderRange_;
    std::size_t numbered = 0;
    std::size_t batch = 0;
    auto flush = [&] {
        std::uint32_t* out = index.corners_.get() + numbered;
        numbers.numberAll(batchKeys.data(), batch, out);
        for (std::size_t i = 0; i < batch; ++i) {
            if (out[i] == ranges.size()) {
                ranges.push_back({0, 0});
            }
            ++ranges[out[i]].end;
        }
        numbered += batch;
        batch = 0;
    };
    const std::uint64_t high = keys.lowest & ~std::uint64_t{0xFFFFFFFFu};
    if (keys.any && (keys.highest & ~std::uint64_t{0xFFFFFFFFu}) == high) {
        // Every key is its shared high half and the low half in the corner array (always so
        // for 32-bit identifiers): no need to read the records again.
        for (std::size_t c = 0; c < corners; ++c) {
            batchKeys[batch++] = high | index.corners_[c];
            if (batch == kBatch) {
                flush();
            }
        }
        flush();
        return;
    }
    for (std::uint32_t l = 0; l < polygons; ++l) {
        const SelectedPoly& poly = *index.records_[l];
        for (std::int32_t k = 0; k < poly.pointCount; ++k) {
            batchKeys[batch++] = keyOf(poly.pointIds[k]);
            if (batch == kBatch) {
                flush();
            }
        }
    }
    flush();
}

void PolygonsByPoint::Lists::listHolders(PolygonsByPoint& index, std::uint32_t polygons) {
    // Each point's list gets room for every corner at it; a polygon holding the point more
    // than once is listed once, its repeats adjacent since polygons are listed one by one.
    std::uint32_t listed = 0;
    for (HolderRange& range : index.holderRange_) {
        const std::uint32_t count = range.end;
        range = {listed, listed};
        listed += count;
    }
    index.holders_ = newResidentArray<std::uint32_t>(listed);
    std::uint32_t* const holders = index.holders_.get();
    for (std::uint32_t l = 0; l < polygons; ++l) {
        for (std::uint32_t c = index.cornerStart_[l]; c < index.cornerStart_[l + 1]; ++c) {
            HolderRange& range = index.holderRange_[index.corners_[c]];
            if (range.end == range.live || holders[range.end - 1] != l) {
                holders[range.end++] = l;
            }
        }
    }
    // Listed in memory order. Long lists are put in slot order, so that a look-up can search
    // them; a short one is read whole, in any order.
    const std::uint32_t* const slotAndTaken = index.slotAndTaken_.get();
    auto bySlot = [slotAndTaken](std::uint32_t a, std::uint32_t b) {
        return (slotAndTaken[a] & ~kTaken) < (slotAndTaken[b] & ~kTaken);
    };
    for (const HolderRange& range : index.holderRange_) {
        if (range.end - range.live > kShortList) {
            std::sort(holders + range.live, holders + range.end, bySlot);
        }
    }
}

void PolygonsByPoint::Lists::findOthersAcross(PolygonsByPoint& index, std::uint32_t polygons) {
    // Growth asks once for every edge of every polygon it takes. Most edges have one other
    // holder, or none, and which it is does not change as polygons are taken: found here for
    // all edges at once, on every thread, growth only checks whether it is still there.
    const WorkerTeam team(polygons);
    if (team.size() < 2) {
        return;
    }
    index.across_ = newResidentArray<std::uint32_t>(index.cornerStart_[polygons]);
    team.forRanges(polygons, team.grainFor(polygons, 8192),
                   [&index](std::size_t begin, std::size_t end) {
                       const std::uint32_t* corners = index.corners_.get();
                       for (auto l = static_cast<std::uint32_t>(begin); l < end; ++l) {
                           const std::uint32_t first = index.cornerStart_[l];
                           const std::uint32_t last = index.cornerStart_[l + 1];
                           for (std::uint32_t c = first; c < last; ++c) {
                               const std::uint32_t from = corners[c == first ? last - 1 : c - 1];
                               index.across_[c] = otherHolder(index, l, from, corners[c]);
                           }
                       }
                   });
}

std::uint32_t PolygonsByPoint::Lists::otherHolder(const PolygonsByPoint& index, std::uint32_t local,
                                                  std::uint32_t pa, std::uint32_t pb) {
    if (pa == pb) {
        return kSeveral;
    }
    const HolderRange a = index.holderRange_[pa];
    const HolderRange b = index.holderRange_[pb];
    const std::uint32_t* const holders = index.holders_.get();
    // The shorter list walked, each of its polygons looked for in the longer one.
    const bool walkA = a.end - a.live <= b.end - b.live;
    const HolderRange walk = walkA ? a : b;
    const HolderRange other = walkA ? b : a;
    std::uint32_t found = kNone;
    for (std::uint32_t at = walk.live; at < walk.end; ++at) {
        const std::uint32_t candidate = holders[at];
        if (candidate == local) {
            continue;
        }
        bool held = false;
        if (other.end - other.live <= kShortList) {
            held = std::find(holders + other.live, holders + other.end, candidate) !=
                   holders + other.end;
        } else {
            const std::uint32_t place = findInSorted(
                index, index.slotAndTaken_[candidate] & ~kTaken, other.live, other.end);
            held = place < other.end && holders[place] == candidate;
        }
        if (held) {
            if (found != kNone) {
                return kSeveral;
            }
            found = candidate;
        }
    }
    return found;
}

std::uint32_t PolygonsByPoint::Lists::firstRemaining(PolygonsByPoint& index, std::uint32_t point) {
    HolderRange& range = index.holderRange_[point];
    while (range.live < range.end && index.taken(index.holders_[range.live])) {
        ++range.live;
    }
    return range.live;
}

std::uint32_t PolygonsByPoint::Lists::firstInSlotOrder(const PolygonsByPoint& index,
                                                       std::uint32_t from, std::uint32_t end) {
    if (end - from > kShortList) {
        return index.holders_[from];  // sorted, and the first remains
    }
    std::uint32_t best = kNone;
    std::uint32_t bestSlot = kTaken;  // above every slot; a taken polygon is not below it
    for (; from < end; ++from) {
        const std::uint32_t slotAndTaken = index.slotAndTaken_[index.holders_[from]];
        if (slotAndTaken < bestSlot) {
            best = index.holders_[from];
            bestSlot = slotAndTaken;
        }
    }
    return best;
}

std::uint32_t PolygonsByPoint::Lists::findInSorted(const PolygonsByPoint& index, std::uint32_t slot,
                                                   std::uint32_t from, std::uint32_t end) {
    while (from < end) {
        const std::uint32_t middle = from + (end - from) / 2;
        if (slotOfHolder(index, middle) < slot) {
            from = middle + 1;
        } else {
            end = middle;
        }
    }
    return from;
}

// Walks the shorter list in slot order; the position in the longer only moves forward, by
// galloping, so that a point held by very many polygons costs a logarithm per look, not its
// length.
std::uint32_t PolygonsByPoint::Lists::firstInBoth(const PolygonsByPoint& index, std::uint32_t walk,
                                                  std::uint32_t walkEnd, std::uint32_t other,
                                                  std::uint32_t otherEnd) {
    for (; walk < walkEnd; ++walk) {
        const std::uint32_t local = index.holders_[walk];
        if (index.taken(local)) {
            continue;
        }
        const std::uint32_t slot = index.slotAndTaken_[local];
        if (slotOfHolder(index, other) < slot) {
            std::uint32_t step = 1;
            while (step < otherEnd - other && slotOfHolder(index, other + step) < slot) {
                other += step;
                step *= 2;
            }
            other = findInSorted(index, slot, other + 1, other + std::min(step, otherEnd - other));
        }
        if (other == otherEnd) {
            return kNone;
        }
        if (index.holders_[other] == local) {
            return local;
        }
    }
    return kNone;
}

std::uint32_t PolygonsByPoint::findHolder(std::uint32_t pa, std::uint32_t pb) {
    const std::uint32_t fromA = Lists::firstRemaining(*this, pa);
    const std::uint32_t endA = holderRange_[pa].end;
    if (pa == pb) {
        return fromA < endA ? Lists::firstInSlotOrder(*this, fromA, endA) : kNone;
    }
    const std::uint32_t fromB = Lists::firstRemaining(*this, pb);
    const std::uint32_t endB = holderRange_[pb].end;
    // Walk the shorter list, and look for each remaining polygon of it in the longer one.
    const bool walkA = endA - fromA <= endB - fromB;
    std::uint32_t walk = walkA ? fromA : fromB;
    const std::uint32_t walkEnd = walkA ? endA : endB;
    std::uint32_t other = walkA ? fromB : fromA;
    const std::uint32_t otherEnd = walkA ? endB : endA;
    // With a short list on either side: of the walked list's remaining polygons that the
    // other list holds, the one with the lowest slot.
    auto lowestHeldBy = [&](auto holds) {
        std::uint32_t best = kNone;
        std::uint32_t bestSlot = kTaken;  // above every slot; a taken polygon is not below it
        for (; walk < walkEnd; ++walk) {
            const std::uint32_t local = holders_[walk];
            const std::uint32_t slotAndTaken = slotAndTaken_[local];
            if (slotAndTaken < bestSlot && holds(local, slotAndTaken)) {
                best = local;
                bestSlot = slotAndTaken;
            }
        }
        return best;
    };
    if (otherEnd - other <= kShortList) {
        // Both short, perhaps unsorted: every pair.
        return lowestHeldBy([&](std::uint32_t local, std::uint32_t) {
            return std::find(holders_.get() + other, holders_.get() + otherEnd, local) !=
                   holders_.get() + otherEnd;
        });
    }
    if (walkEnd - walk <= kShortList) {
        // A short list against a long sorted one: a binary search per remaining polygon.
        return lowestHeldBy([&](std::uint32_t local, std::uint32_t slot) {
            const std::uint32_t at = Lists::findInSorted(*this, slot, other, otherEnd);
            return at < otherEnd && holders_[at] == local;
        });
    }
    // Both long, so both sorted.
    return Lists::firstInBoth(*this, walk, walkEnd, other, otherEnd);
}

}  // namespace tarvel
