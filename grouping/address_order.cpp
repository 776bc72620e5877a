#include "grouping/address_order.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "runtime/resident_memory.h"

namespace tarvel {

namespace {

using Address = std::uintptr_t;

Address addressOf(const SelectedPoly* record) {
    return reinterpret_cast<Address>(record);
}

SelectedPoly* recordAt(Address address) {
    return reinterpret_cast<SelectedPoly*>(address);
}

/// Sorts `values` by their bits [low, low + bits), stably, least significant digit first:
/// a few passes of at most 11 bits each, and none for a digit every value shares.
void radixSort(std::uint64_t* values, std::size_t count, int low, int bits) {
    if (bits <= 0) {
        return;
    }
    constexpr int kMostDigitBits = 11;
    const int passes = (bits + kMostDigitBits - 1) / kMostDigitBits;
    const int digitBits = (bits + passes - 1) / passes;
    const std::size_t buckets = std::size_t{1} << digitBits;
    const std::uint64_t digitMask = buckets - 1;
    std::vector<std::size_t> counts(static_cast<std::size_t>(passes) * buckets, 0);
    for (std::size_t i = 0; i < count; ++i) {
        for (int p = 0; p < passes; ++p) {
            ++counts[static_cast<std::size_t>(p) * buckets +
                     ((values[i] >> (low + p * digitBits)) & digitMask)];
        }
    }
    const ResidentArray<std::uint64_t> spare = newResidentArray<std::uint64_t>(count);
    std::uint64_t* from = values;
    std::uint64_t* to = spare.get();
    for (int p = 0; p < passes; ++p) {
        std::size_t* start = counts.data() + static_cast<std::size_t>(p) * buckets;
        if (std::find(start, start + buckets, count) != start + buckets) {
            continue;  // one digit for all: the pass would keep the order
        }
        std::size_t sum = 0;
        for (std::size_t b = 0; b < buckets; ++b) {
            sum += std::exchange(start[b], sum);
        }
        const int shift = low + p * digitBits;
        for (std::size_t i = 0; i < count; ++i) {
            to[start[(from[i] >> shift) & digitMask]++] = from[i];
        }
        std::swap(from, to);
    }
    if (from != values) {
        std::copy(from, from + count, values);
    }
}

}  // namespace

void orderByAddress(SelectedPoly* const* table, std::int32_t slotCount, SelectedPoly** records,
                    std::uint32_t* slots) {
    const auto count = static_cast<std::size_t>(slotCount < 0 ? 0 : slotCount);
    if (count == 0) {
        return;
    }
    Address lowest = std::numeric_limits<Address>::max();
    Address highest = 0;
    for (std::size_t s = 0; s < count; ++s) {
        lowest = std::min(lowest, addressOf(table[s]));
        highest = std::max(highest, addressOf(table[s]));
    }
    // Records are aligned alike, so their offsets from the lowest share low zero bits that
    // need no sorting.
    Address offsets = 0;
    for (std::size_t s = 0; s < count; ++s) {
        offsets |= addressOf(table[s]) - lowest;
    }
    const int aligned = offsets == 0 ? 0 : static_cast<int>(std::countr_zero(offsets));
    const int keyBits =
        static_cast<int>(std::bit_width(static_cast<std::uint64_t>((highest - lowest) >> aligned)));
    const int slotBits = static_cast<int>(std::bit_width(static_cast<std::uint64_t>(count - 1)));
    if (keyBits + slotBits > 64) {
        // Records spread over more of the address space than a packed key can say: rare
        // enough for a comparison sort.
        std::vector<std::pair<Address, std::uint32_t>> pairs(count);
        for (std::size_t s = 0; s < count; ++s) {
            pairs[s] = {addressOf(table[s]), static_cast<std::uint32_t>(s)};
        }
        std::sort(pairs.begin(), pairs.end());
        for (std::size_t i = 0; i < count; ++i) {
            records[i] = recordAt(pairs[i].first);
            slots[i] = pairs[i].second;
        }
        return;
    }
    // Offset above, slot below: sorting by the offset keeps equal addresses in slot order,
    // and both come back out of the one value.
    const ResidentArray<std::uint64_t> packed = newResidentArray<std::uint64_t>(count);
    for (std::size_t s = 0; s < count; ++s) {
        const std::uint64_t offset = (addressOf(table[s]) - lowest) >> aligned;
        packed[s] = offset << slotBits | s;
    }
    radixSort(packed.get(), count, slotBits, keyBits);
    const std::uint64_t slotMask = (std::uint64_t{1} << slotBits) - 1;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint64_t offset = packed[i] >> slotBits;
        records[i] = recordAt(lowest + static_cast<Address>(offset << aligned));
        slots[i] = static_cast<std::uint32_t>(packed[i] & slotMask);
    }
}

}  // namespace tarvel
