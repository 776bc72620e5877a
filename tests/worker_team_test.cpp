#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <numeric>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/resident_memory.h"
#include "host/worker_team.h"

namespace tarvel {
namespace {

/// TARVEL_THREADS set for the scope, unset after.
class ThreadsVariable {
public:
    explicit ThreadsVariable(const char* value) { setenv("TARVEL_THREADS", value, 1); }
    ~ThreadsVariable() { unsetenv("TARVEL_THREADS"); }
    ThreadsVariable(const ThreadsVariable&) = delete;
    ThreadsVariable& operator=(const ThreadsVariable&) = delete;
};

TEST(WorkerTeamTest, smallSelectionsAndTheVariableDecideTheCount) {
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    EXPECT_EQ(WorkerTeam::smallestShared(), 20000u);
    EXPECT_EQ(WorkerTeam(19999).size(), 1u);  // the calling thread alone
    EXPECT_EQ(WorkerTeam(20000).size(), processors);
    {
        const ThreadsVariable one("1");
        EXPECT_EQ(WorkerTeam(1'000'000).size(), 1u);
    }
    {
        const ThreadsVariable three("3");
        EXPECT_EQ(WorkerTeam(1'000'000).size(), 3u);
        EXPECT_EQ(WorkerTeam(100).size(), 1u);
    }
    for (const char* notACount : {"0", "", "two", "-2", "3x"}) {
        const ThreadsVariable variable(notACount);
        EXPECT_EQ(WorkerTeam(1'000'000).size(), processors) << notACount;
    }
    {
        const ThreadsVariable huge("100000000000000000000");
        EXPECT_EQ(WorkerTeam(1'000'000).size(), 64u);
    }
}

TEST(WorkerTeamTest, everyPieceIsDoneOnceInRangesOfTheGrain) {
    const ThreadsVariable four("4");
    const WorkerTeam team(1'000'000);
    for (std::size_t count : {0u, 1u, 7u, 1000u, 4097u}) {
        for (std::size_t grain : {1u, 3u, 64u, 5000u}) {
            std::vector<std::atomic<int>> done(count);
            std::atomic<bool> tooLong{false};
            team.forRanges(count, grain, [&](std::size_t begin, std::size_t end) {
                tooLong = tooLong || end - begin > grain || begin >= end;
                for (std::size_t i = begin; i < end; ++i) {
                    ++done[i];
                }
            });
            EXPECT_FALSE(tooLong);
            for (std::size_t i = 0; i < count; ++i) {
                ASSERT_EQ(done[i].load(), 1) << count << " " << grain << " " << i;
            }
        }
    }
    std::atomic<int> sides{0};
    team.both([&] { sides += 1; }, [&] { sides += 10; });
    EXPECT_EQ(sides.load(), 11);
    EXPECT_EQ(team.grainFor(1'000'000, 2048), 2048u);
    EXPECT_EQ(team.grainFor(100, 2048), 6u);
    EXPECT_EQ(team.grainFor(3, 2048), 1u);
}

TEST(WorkerTeamTest, aThrowingPieceStopsTheRestAndIsRethrownAfterTheJoin) {
    const ThreadsVariable three("3");
    const WorkerTeam team(1'000'000);
    std::atomic<int> started{0};
    EXPECT_THROW(team.forRanges(100000, 1,
                                [&](std::size_t begin, std::size_t) {
                                    ++started;
                                    if (begin == 5) {
                                        throw std::bad_alloc();
                                    }
                                }),
                 std::bad_alloc);
    EXPECT_LT(started.load(), 100000);  // the failure stopped the others early
    // A logic error comes back as itself, and only one of several failures does.
    EXPECT_THROW(team.forRanges(64, 1,
                                [](std::size_t begin, std::size_t) {
                                    if (begin % 2 == 0) {
                                        throw std::runtime_error("piece");
                                    }
                                }),
                 std::runtime_error);
}

TEST(WorkerTeamTest, theMainWorkStaysOnTheCallingThreadWithTheAsideBesideIt) {
    const std::thread::id caller = std::this_thread::get_id();
    for (const char* threads : {"1", "2"}) {
        const ThreadsVariable variable(threads);
        const WorkerTeam team(1'000'000);
        std::thread::id mainOn;
        std::thread::id asideOn;
        bool asideSawDone = false;
        team.alongside([&] { mainOn = std::this_thread::get_id(); },
                       [&](const std::atomic<bool>& done) {
                           asideOn = std::this_thread::get_id();
                           while (!done.load()) {
                               std::this_thread::yield();
                           }
                           asideSawDone = true;
                       });
        EXPECT_EQ(mainOn, caller) << threads;
        if (team.size() > 1) {
            // Joined before alongside returns, having seen main end.
            EXPECT_NE(asideOn, caller);
            EXPECT_TRUE(asideSawDone);
        } else {
            EXPECT_EQ(asideOn, std::thread::id());  // never run without a second thread
        }
        // A throwing main still ends the aside work, and its exception comes back.
        EXPECT_THROW(team.alongside([] { throw std::bad_alloc(); },
                                    [](const std::atomic<bool>& done) {
                                        while (!done.load()) {
                                            std::this_thread::yield();
                                        }
                                    }),
                     std::bad_alloc);
    }
}

// An element whose size does not divide a page, so that blocks start and end mid-page.
struct Odd {
    std::uint32_t value;
    std::uint8_t tail[3];
};

TEST(ResidentMemoryTest, largeBlocksKeepWhatIsWrittenAndWhatLiesAroundThem) {
    for (const char* threads : {"1", "2", "3"}) {
        const ThreadsVariable variable(threads);
        // Small neighbours share pages with the large blocks' ends; their contents must stay.
        std::vector<std::vector<std::uint32_t>> small;
        std::vector<ResidentVector<Odd>> large;
        for (std::uint32_t round = 0; round < 4; ++round) {
            small.emplace_back(1000 + round, round);
            large.emplace_back((std::size_t{5} << 20) / sizeof(Odd) + round * 977);
            EXPECT_EQ(large.back().front().value, 0u);
            EXPECT_EQ(large.back().back().value, 0u);
            for (std::size_t i = 0; i < large.back().size(); i += 4096) {
                large.back()[i].value = static_cast<std::uint32_t>(i) + round;
            }
        }
        ResidentVector<std::uint32_t> copied(3'000'000);
        std::iota(copied.begin(), copied.end(), 7u);
        const ResidentVector<std::uint32_t> copy = copied;
        EXPECT_EQ(copy, copied) << threads;
        for (std::uint32_t round = 0; round < 4; ++round) {
            EXPECT_EQ(small[round], std::vector<std::uint32_t>(1000 + round, round)) << threads;
            for (std::size_t i = 0; i < large[round].size(); i += 4096) {
                ASSERT_EQ(large[round][i].value, static_cast<std::uint32_t>(i) + round);
            }
        }
    }
}

TEST(WorkerTeamTest, aTeamIsSharingOnlyWhileItsThreadsWork) {
    const ThreadsVariable four("4");
    EXPECT_FALSE(WorkerTeam::sharing());
    std::atomic<int> outside{0};
    WorkerTeam(1'000'000).forRanges(
        64, 1, [&](std::size_t, std::size_t) { outside += WorkerTeam::sharing() ? 0 : 1; });
    EXPECT_EQ(outside.load(), 0);
    EXPECT_FALSE(WorkerTeam::sharing());  // once the threads are joined
    // A team of one runs on the calling thread as plain work.
    WorkerTeam(10).forRanges(
        4, 1, [&](std::size_t, std::size_t) { outside += WorkerTeam::sharing() ? 0 : 1; });
    EXPECT_EQ(outside.load(), 4);
}

}  // namespace
}  // namespace tarvel
