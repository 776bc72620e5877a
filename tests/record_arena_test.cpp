#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "geometry/vector3.h"
#include "runtime/record_arena.h"
#include "runtime/selected_poly.h"

namespace tarvel {
namespace {

TEST(RecordArenaTest, piecesAreAlignedZeroedAndApart) {
    RecordArena arena;
    EXPECT_EQ(arena.reserved(), 0u);  // nothing taken before the first piece
    std::vector<std::pair<std::uintptr_t, std::uintptr_t>> taken;
    for (int i = 0; i < 20000; ++i) {
        // Odd sizes between the records, so that every alignment is needed.
        auto* bytes = arena.array<char>(static_cast<std::size_t>(i % 7));
        auto* positions = arena.array<Vector3>(static_cast<std::size_t>(i % 5));
        auto* poly = arena.create<SelectedPoly>();
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(positions) % alignof(Vector3), 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(poly) % alignof(SelectedPoly), 0u);
        for (int k = 0; k < i % 5; ++k) {
            EXPECT_EQ(positions[k], Vector3());
        }
        EXPECT_EQ(poly->pointCount, 0);
        EXPECT_EQ(poly->nextMember, nullptr);
        const auto at = reinterpret_cast<std::uintptr_t>(poly);
        taken.push_back({at, at + sizeof(SelectedPoly)});
        if (i % 7 != 0) {
            bytes[i % 7 - 1] = 1;
        }
        poly->pointCount = i;
    }
    // Nothing handed out twice: the records keep what was written into them.
    for (std::size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(reinterpret_cast<SelectedPoly*>(taken[i].first)->pointCount,
                  static_cast<std::int32_t>(i));
    }
    // A few blocks, not one allocation per piece.
    EXPECT_LT(arena.reserved(), 20000u * (sizeof(SelectedPoly) + 4 * sizeof(Vector3) + 16) * 2);
}

TEST(RecordArenaTest, aPieceLargerThanAnyBlockGetsOneOfItsOwn) {
    RecordArena arena;
    arena.create<SelectedPoly>();
    const std::size_t count = std::size_t{3} << 20;
    auto* large = arena.array<Vector3>(count);
    large[count - 1] = Vector3(1, 2, 3);
    EXPECT_EQ(large[0], Vector3());
    EXPECT_GE(arena.reserved(), count * sizeof(Vector3));
    auto* after = arena.create<SelectedPoly>();  // and the arena goes on after it
    EXPECT_EQ(after->positions, nullptr);
    EXPECT_THROW(arena.array<Vector3>(~std::size_t{0} / 8), std::bad_alloc);
}

TEST(RecordArenaTest, piecesStayAsWrittenWhileASecondThreadTakesInTheBlocksAhead) {
    RecordArena arena;
    std::atomic<bool> done{false};
    std::thread ahead([&] { arena.makeResidentAhead(done); });
    std::vector<Vector3*> arrays;
    const std::size_t polygons = 200000;  // several large blocks
    for (std::size_t i = 0; i < polygons; ++i) {
        arena.create<SelectedPoly>();
        auto* positions = arena.array<Vector3>(4);
        positions[3] = Vector3(static_cast<double>(i), 1, 2);
        arrays.push_back(positions);
    }
    done = true;
    ahead.join();
    EXPECT_GT(arena.reserved(), std::size_t{32} << 20);
    for (std::size_t i = 0; i < polygons; ++i) {
        ASSERT_EQ(arrays[i][0], Vector3());
        ASSERT_EQ(arrays[i][3], Vector3(static_cast<double>(i), 1, 2));
    }
}

}  // namespace
}  // namespace tarvel
