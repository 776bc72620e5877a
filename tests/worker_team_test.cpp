#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

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

}  // namespace
}  // namespace tarvel
