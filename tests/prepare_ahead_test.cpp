#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "runtime/prepare_ahead.h"
#include "runtime/worker_team.h"

namespace tarvel {
namespace {

/// Two threads for the scope, whatever the machine has.
class TwoThreads {
public:
    TwoThreads() { setenv("TARVEL_THREADS", "2", 1); }
    ~TwoThreads() { unsetenv("TARVEL_THREADS"); }
    TwoThreads(const TwoThreads&) = delete;
    TwoThreads& operator=(const TwoThreads&) = delete;
};

/// What a piece's slot holds: the piece it was prepared for, and the one it held before.
struct Slot {
    std::size_t piece = 0;
    std::size_t before = 0;
    bool filled = false;
};

/// Waits, up to a generous limit, until `done` holds; false when it never did.
template <typename Done>
bool waitFor(const Done& done) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
        if (std::chrono::steady_clock::now() > limit) {
            return false;
        }
        std::this_thread::yield();
    }
    return true;
}

TEST(PrepareAheadTest, everyPieceIsPreparedOnceAndConsumedInOrderWhoeverPreparesIt) {
    const TwoThreads two;
    const WorkerTeam team(WorkerTeam::smallestShared());
    ASSERT_EQ(team.size(), 2u);
    constexpr std::size_t kPieces = 20000;
    for (const std::size_t window : {std::size_t{2}, std::size_t{3}, std::size_t{64}}) {
        std::vector<std::atomic<int>> prepared(kPieces);
        std::atomic<std::size_t> onHelper{0};
        std::vector<std::size_t> consumed;
        std::vector<std::size_t> before;
        prepareAhead<Slot>(
            team, kPieces, window,
            [&](std::size_t i, Slot& slot, bool caller) {
                ++prepared[i];
                onHelper += caller ? 0 : 1;
                slot.before = slot.filled ? slot.piece : kPieces;
                slot.piece = i;
                slot.filled = true;
            },
            [&](std::size_t i, const Slot& slot) {
                EXPECT_EQ(slot.piece, i);
                consumed.push_back(i);
                before.push_back(slot.before);
                // Now and then the caller is slow, as the host can be: the helper gets ahead.
                if (i % 1000 == 0) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
            });
        ASSERT_EQ(consumed.size(), kPieces) << window;
        for (std::size_t i = 0; i < kPieces; ++i) {
            ASSERT_EQ(consumed[i], i) << window;
            ASSERT_EQ(prepared[i].load(), 1) << window << ", piece " << i;
            // A slot is handed on as its last piece left it: the piece a window before.
            ASSERT_EQ(before[i], i < window ? kPieces : i - window) << window << ", piece " << i;
        }
        EXPECT_GT(onHelper.load(), 0u) << window;
    }
}

TEST(PrepareAheadTest, oneThreadPreparesEachPieceJustBeforeItIsConsumed) {
    const WorkerTeam alone(1);
    ASSERT_EQ(alone.size(), 1u);
    std::vector<int> events;
    prepareAhead<Slot>(
        alone, 3, 64,
        [&](std::size_t i, Slot& slot, bool caller) {
            EXPECT_TRUE(caller);
            // One slot, handed on from piece to piece.
            EXPECT_EQ(slot.filled, i > 0);
            EXPECT_EQ(slot.piece, i > 0 ? i - 1 : 0);
            slot.piece = i;
            slot.filled = true;
            events.push_back(static_cast<int>(i));
        },
        [&](std::size_t i, const Slot&) { events.push_back(-1 - static_cast<int>(i)); });
    EXPECT_EQ(events, (std::vector<int>{0, -1, 1, -2, 2, -3}));
}

TEST(PrepareAheadTest, theHelpersFailureIsThrownWhenTheCallerReachesItsPiece) {
    const TwoThreads two;
    const WorkerTeam team(WorkerTeam::smallestShared());
    ASSERT_EQ(team.size(), 2u);
    constexpr std::size_t kFailing = 5;
    std::atomic<bool> helperFailed{false};
    std::vector<std::size_t> consumed;
    const auto prepare = [&](std::size_t i, Slot& slot, bool caller) {
        slot.piece = i;
        if (i == kFailing && !caller) {
            helperFailed = true;
            throw std::bad_alloc();
        }
    };
    const auto consume = [&](std::size_t i, const Slot& slot) {
        EXPECT_EQ(slot.piece, i);
        consumed.push_back(i);
        if (i == 0) {
            // Holds the caller back until the helper has come to the failing piece.
            EXPECT_TRUE(waitFor([&] { return helperFailed.load(); }));
        }
    };
    EXPECT_THROW(prepareAhead<Slot>(team, 1000, 16, prepare, consume), std::bad_alloc);
    // The pieces before the failing one went out, and none after it: the caller does not
    // prepare the piece again.
    EXPECT_EQ(consumed, (std::vector<std::size_t>{0, 1, 2, 3, 4}));
}

TEST(PrepareAheadTest, aCallerFailureStopsTheHelperWhileItWaitsForRoom) {
    const TwoThreads two;
    const WorkerTeam team(WorkerTeam::smallestShared());
    std::atomic<std::size_t> claimed{0};
    const auto prepare = [&](std::size_t, Slot&, bool caller) {
        if (!caller) {
            ++claimed;
        }
    };
    const auto consume = [&](std::size_t i, const Slot&) {
        if (i == 0) {
            // The helper fills the window ahead and then sleeps until there is room again.
            EXPECT_TRUE(waitFor([&] { return claimed.load() >= 7; }));
            throw std::runtime_error("the host refused");
        }
    };
    EXPECT_THROW(prepareAhead<Slot>(team, 100, 8, prepare, consume), std::runtime_error);
    EXPECT_LE(claimed.load(), 8u);
}

}  // namespace
}  // namespace tarvel
