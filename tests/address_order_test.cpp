#include "grouping/address_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

namespace tarvel {
namespace {

std::uintptr_t addressOf(const SelectedPoly* record) {
    return reinterpret_cast<std::uintptr_t>(record);
}

/// Orders `table` and checks the result: every slot once, each record beside its slot, in
/// ascending address and, for equal addresses, ascending slot.
void expectOrdered(const std::vector<SelectedPoly*>& table) {
    std::vector<SelectedPoly*> records(table.size());
    std::vector<std::uint32_t> slots(table.size());
    orderByAddress(table.data(), static_cast<std::int32_t>(table.size()), records.data(),
                   slots.data());
    std::vector<bool> seen(table.size(), false);
    for (std::size_t i = 0; i < table.size(); ++i) {
        ASSERT_LT(slots[i], table.size());
        ASSERT_FALSE(seen[slots[i]]);
        seen[slots[i]] = true;
        ASSERT_EQ(records[i], table[slots[i]]);
        if (i > 0) {
            ASSERT_TRUE(addressOf(records[i - 1]) < addressOf(records[i]) ||
                        (records[i - 1] == records[i] && slots[i - 1] < slots[i]))
                << i;
        }
    }
}

SelectedPoly* at(std::uintptr_t address) {
    return reinterpret_cast<SelectedPoly*>(address);  // only compared, never read
}

TEST(CaptureOrderTest, recordsComeOutByAddressWithTheirSlots) {
    std::mt19937_64 random(3);
    // Records in a few blocks far apart, as an arena places them, in a shuffled table; some
    // slots share a record, and one table holds a single record.
    for (const std::size_t count : {1, 2, 7, 1000, 50000}) {
        std::vector<SelectedPoly*> table;
        const std::uintptr_t blocks[] = {0x10000, 0x2000000, std::uintptr_t{0x7fff0000}};
        for (std::size_t i = 0; i < count; ++i) {
            const std::uintptr_t block = blocks[random() % 3];
            table.push_back(at(block + 8 * (random() % (count * 4 + 1))));
        }
        std::shuffle(table.begin(), table.end(), random);
        expectOrdered(table);
    }
    // Every address the same, and addresses in descending order.
    expectOrdered(std::vector<SelectedPoly*>(100, at(0x1000)));
    std::vector<SelectedPoly*> descending;
    for (std::uintptr_t i = 300; i > 0; --i) {
        descending.push_back(at(i * 24));
    }
    expectOrdered(descending);
    if constexpr (sizeof(std::uintptr_t) == 8) {
        // Spread over the whole address range: more bits than the packed sort can hold.
        std::vector<SelectedPoly*> spread;
        for (int i = 0; i < 5000; ++i) {
            spread.push_back(at(static_cast<std::uintptr_t>(random()) | 1));
        }
        expectOrdered(spread);
    }
}

}  // namespace
}  // namespace tarvel
