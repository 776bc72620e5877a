#include "runtime/repeated_blocks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "tests/address_sanitizer.h"

namespace tarvel {
namespace {

constexpr std::size_t kKiB = 1024;

TEST(RepeatedBlocksTest, aBlockGivenBackServesTheNextTakeOfItsSizeClassAndNoOther) {
    const RepeatedBlockReuse reuse;
    // 100 KiB and 70 KiB share the 128 KiB class; 300 KiB is of the 512 KiB class; 3 MiB of
    // the 4 MiB class, which is a large block.
    for (const std::size_t bytes : {100 * kKiB, 3072 * kKiB}) {
        void* block = takeRepeatedBlock(bytes);
        std::memset(block, 0x5A, bytes);
        giveBackRepeatedBlock(block, bytes);
        void* other = takeRepeatedBlock(300 * kKiB);
        void* again = takeRepeatedBlock(bytes - bytes / 4);
        if (!testing::kAddressSanitized) {
            EXPECT_NE(other, block);
            EXPECT_EQ(again, block) << bytes;
        }
        // The whole class's size may be written, whatever the take asked for.
        const std::size_t classBytes = bytes == 100 * kKiB ? 128 * kKiB : 4096 * kKiB;
        std::memset(again, 0x3C, classBytes);
        giveBackRepeatedBlock(again, bytes - bytes / 4);
        giveBackRepeatedBlock(other, 300 * kKiB);
    }
}

TEST(RepeatedBlocksTest, aBlockTakenBeforeTheReuseIsKeptByItAtItsClassSize) {
    // Taken outside any reuse, given back inside one: the block has its class's size, so a
    // later take of the class may fill it whole.
    void* early = takeRepeatedBlock(65 * kKiB);
    const RepeatedBlockReuse reuse;
    giveBackRepeatedBlock(early, 65 * kKiB);
    void* late = takeRepeatedBlock(128 * kKiB);
    if (!testing::kAddressSanitized) {
        EXPECT_EQ(late, early);
    }
    std::memset(late, 1, 128 * kKiB);
    giveBackRepeatedBlock(late, 128 * kKiB);
}

TEST(RepeatedBlocksTest, threadsTakingAndGivingBackAtOnceNeverShareABlock) {
    const RepeatedBlockReuse reuse;
    auto work = [](std::uint8_t mark, bool& clean) {
        clean = true;
        for (int round = 0; round < 400; ++round) {
            const std::size_t bytes = (64 + static_cast<std::size_t>(round % 5) * 96) * kKiB;
            auto* block = static_cast<std::uint8_t*>(takeRepeatedBlock(bytes));
            std::fill(block, block + bytes, mark);
            std::this_thread::yield();
            clean = clean &&
                    std::all_of(block, block + bytes, [mark](std::uint8_t b) { return b == mark; });
            giveBackRepeatedBlock(block, bytes);
        }
    };
    bool firstClean = false;
    bool secondClean = false;
    std::thread first(work, std::uint8_t{1}, std::ref(firstClean));
    std::thread second(work, std::uint8_t{2}, std::ref(secondClean));
    first.join();
    second.join();
    EXPECT_TRUE(firstClean);
    EXPECT_TRUE(secondClean);
}

TEST(RepeatedBlocksTest, aVectorGrowsThroughEverySizeKeepingItsEntries) {
    const RepeatedBlockReuse reuse;
    RepeatedVector<std::uint32_t> numbers;
    for (std::uint32_t i = 0; i < 2'000'000; ++i) {  // from the heap to a large block
        numbers.push_back(i);
    }
    for (std::uint32_t i = 0; i < 2'000'000; i += 4099) {
        ASSERT_EQ(numbers[i], i);
    }
}

}  // namespace
}  // namespace tarvel
