#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <mutex>
#include <new>
#include <numeric>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>

#include <cerrno>
#endif

#include "runtime/kept_large_blocks.h"
#include "runtime/record_arena.h"
#include "runtime/resident_memory.h"
#include "runtime/worker_team.h"
#include "tests/address_sanitizer.h"

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
    team.both(
        WorkerTeam::smallestSharedStep(), [&] { sides += 1; }, [&] { sides += 10; });
    EXPECT_EQ(sides.load(), 11);
    // A step under the size worth sharing stays on the calling thread, in order.
    std::vector<std::thread::id> on;
    team.both(
        WorkerTeam::smallestSharedStep() - 1, [&] { on.push_back(std::this_thread::get_id()); },
        [&] { on.push_back(std::this_thread::get_id()); });
    EXPECT_EQ(on, std::vector<std::thread::id>(2, std::this_thread::get_id()));
    EXPECT_EQ(team.grainFor(1'000'000, 2048), 2048u);
    EXPECT_EQ(team.grainFor(100, 2048), 6u);
    EXPECT_EQ(team.grainFor(3, 2048), 1u);
}

/// Waits, yielding, until `ready` holds.
template <typename Ready>
void waitUntil(const Ready& ready) {
    while (!ready()) {
        std::this_thread::yield();
    }
}

TEST(WorkerTeamTest, aThreadWhosePieceThrowsTakesNoOtherAndTheFailureComesBackAfterAll) {
    const ThreadsVariable three("3");
    const WorkerTeam team(1'000'000);
    ASSERT_EQ(team.size(), 3u);
    // Each thread's first piece waits until every thread is in one, and then throws: each
    // thread stops at its own failure, so exactly one piece per thread starts, whatever the
    // machine's load.
    std::atomic<int> started{0};
    std::atomic<int> unwound{0};
    struct Unwinding {
        std::atomic<int>& count;
        ~Unwinding() { ++count; }
    };
    EXPECT_THROW(team.forRanges(100000, 1,
                                [&](std::size_t, std::size_t) {
                                    const Unwinding mark{unwound};
                                    ++started;
                                    waitUntil([&] { return started.load() >= 3; });
                                    throw std::bad_alloc();
                                }),
                 std::bad_alloc);
    EXPECT_EQ(started.load(), 3);
    EXPECT_EQ(unwound.load(), 3);  // every thread had left its piece before the rethrow
    // A logic error comes back as itself, and only one of several failures does.
    EXPECT_THROW(team.forRanges(64, 1,
                                [](std::size_t begin, std::size_t) {
                                    if (begin % 2 == 0) {
                                        throw std::runtime_error("piece");
                                    }
                                }),
                 std::runtime_error);
    // The threads are still there for the next step.
    std::atomic<int> done{0};
    team.forRanges(1000, 10, [&](std::size_t begin, std::size_t end) {
        done += static_cast<int>(end - begin);
    });
    EXPECT_EQ(done.load(), 1000);
}

TEST(WorkerTeamTest, theThreadsAreMadeOncePerTeamOrRunAndNestedWorkStaysOnItsThread) {
    const ThreadsVariable three("3");
    const std::thread::id caller = std::this_thread::get_id();
    // Every piece holds its thread until two are in flight, so that every step meets a helper.
    const auto threadsOfSteps = [&](const WorkerTeam& team, int steps) {
        std::mutex mutex;
        std::set<std::thread::id> seen;
        for (int step = 0; step < steps; ++step) {
            std::atomic<int> inFlight{0};
            team.forRanges(3, 1, [&](std::size_t, std::size_t) {
                ++inFlight;
                waitUntil([&] { return inFlight.load() >= 2; });
                const std::lock_guard<std::mutex> lock(mutex);
                seen.insert(std::this_thread::get_id());
            });
        }
        return seen;
    };
    {
        const WorkerTeam team(1'000'000);
        const std::set<std::thread::id> seen = threadsOfSteps(team, 200);
        // The caller and one or both of the team's two, never fresh ones.
        EXPECT_GE(seen.size(), 2u);
        EXPECT_LE(seen.size(), 3u);
        EXPECT_EQ(seen.count(caller), 1u);
    }
    {
        // In a run, every team works on the run's threads.
        const RunThreads run(1'000'000);
        std::set<std::thread::id> seen;
        for (int team = 0; team < 20; ++team) {
            const std::set<std::thread::id> its = threadsOfSteps(WorkerTeam(1'000'000), 5);
            seen.insert(its.begin(), its.end());
        }
        EXPECT_GE(seen.size(), 2u);
        EXPECT_LE(seen.size(), 3u);
        // Work asked for from inside a piece runs there: the threads are all at the outer step.
        const WorkerTeam team(1'000'000);
        std::atomic<int> nestedElsewhere{0};
        std::atomic<int> nestedPieces{0};
        team.forRanges(8, 1, [&](std::size_t, std::size_t) {
            const std::thread::id outer = std::this_thread::get_id();
            WorkerTeam(1'000'000).forRanges(16, 1, [&](std::size_t, std::size_t) {
                ++nestedPieces;
                nestedElsewhere += std::this_thread::get_id() == outer ? 0 : 1;
            });
        });
        EXPECT_EQ(nestedPieces.load(), 8 * 16);
        EXPECT_EQ(nestedElsewhere.load(), 0);
    }
}

TEST(WorkerTeamTest, theMainWorkStaysOnTheCallingThreadWithTheAsideBesideIt) {
    const std::thread::id caller = std::this_thread::get_id();
    for (const char* threads : {"1", "2"}) {
        const ThreadsVariable variable(threads);
        const WorkerTeam team(1'000'000);
        std::thread::id mainOn;
        std::thread::id asideOn;
        std::atomic<bool> asideStarted{false};
        bool asideSawDone = false;
        // With a second thread, main waits for the aside work to start (it is not started
        // once main has returned).
        team.alongside(
            [&] {
                mainOn = std::this_thread::get_id();
                waitUntil([&] { return team.size() < 2 || asideStarted.load(); });
            },
            [&](const std::atomic<bool>& done) {
                asideOn = std::this_thread::get_id();
                asideStarted = true;
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

/// The flags the system keeps for the mapping that holds `address` (/proc/self/smaps
/// "VmFlags"), each followed by a space; empty where it does not say.
std::string mappingFlags(const void* address) {
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream in("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        std::uintptr_t low = 0;
        std::uintptr_t high = 0;
        char dash = 0;
        std::istringstream range(line);
        if (range >> std::hex >> low >> dash >> high && dash == '-') {
            inside = at >= low && at < high;
        } else if (inside && line.rfind("VmFlags:", 0) == 0) {
            return line.substr(8) + " ";
        }
    }
    return {};
}

TEST(ResidentMemoryTest, largeBlocksStartOnALargePageAndAskForLargePages) {
    std::ifstream enabled("/sys/kernel/mm/transparent_hugepage/enabled");
    if (!enabled || mappingFlags(&enabled).empty()) {
        GTEST_SKIP() << "the system does not show its mappings' flags here";
    }
    if (testing::kAddressSanitized) {
        GTEST_SKIP() << "under the address sanitizer large blocks come from operator new";
    }
    constexpr std::size_t kBlock = std::size_t{16} << 20;
    for (const char* threads : {"1", "2"}) {
        const ThreadsVariable variable(threads);
        const ResidentVector<std::uint64_t> block(kBlock / sizeof(std::uint64_t));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.data()) % kLargePage, 0u) << threads;
        // "hg": the mapping was advised to take large pages.
        EXPECT_NE(mappingFlags(block.data() + 1).find(" hg "), std::string::npos) << threads;
        const ResidentArray<std::uint32_t> array =
            newResidentArray<std::uint32_t>(kBlock / sizeof(std::uint32_t));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(array.get()) % kLargePage, 0u) << threads;
        EXPECT_NE(mappingFlags(array.get() + 1).find(" hg "), std::string::npos) << threads;
    }
    // The arena's blocks grow to large ones, which ask for large pages too.
    RecordArena arena;
    std::uint64_t* last = nullptr;
    while (arena.reserved() < (std::size_t{30} << 20)) {
        last = arena.room<std::uint64_t>(10);
    }
    EXPECT_NE(mappingFlags(last).find(" hg "), std::string::npos);
}

#if defined(__linux__)

/// Whether the system has no mapping at `address` any more.
bool unmapped(const void* address) {
    unsigned char resident = 0;
    return mincore(const_cast<void*>(address), 1, &resident) != 0 && errno == ENOMEM;
}

TEST(ResidentMemoryTest, aRunsLargeBlocksAreMadeOfThePagesItGaveBack) {
    if (testing::kAddressSanitized) {
        GTEST_SKIP() << "under the address sanitizer large blocks come from operator new";
    }
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    constexpr std::size_t kWord = sizeof(std::uint32_t);
    const void* kept = nullptr;
    {
        const LargeBlockReuse reuse;
        auto* first = static_cast<std::uint32_t*>(takeLargeBlock(6 * kMiB));
        std::iota(first, first + 6 * kMiB / kWord, 1u);
        releaseLargeBlock(first, 6 * kMiB);
        EXPECT_EQ(keptLargeBytes(), 6 * kMiB);

        // A larger block: the pages given back first, as they were left (but for the few
        // words that kept them in a list), then fresh ones.
        auto* second = static_cast<std::uint32_t*>(takeLargeBlock(10 * kMiB));
        EXPECT_EQ(keptLargeBytes(), 0u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(second) % kLargePage, 0u);
        for (std::size_t i = 64; i < 6 * kMiB / kWord; i += 999) {
            ASSERT_EQ(second[i], i + 1) << i;
        }
        std::fill(second + 6 * kMiB / kWord, second + 10 * kMiB / kWord, 7u);
        releaseLargeBlock(second, 10 * kMiB);
        EXPECT_EQ(keptLargeBytes(), 10 * kMiB);

        // A smaller one: the start of a kept block, whose rest stays kept.
        auto* third = static_cast<std::uint32_t*>(takeLargeBlock(4 * kMiB));
        EXPECT_EQ(keptLargeBytes(), 6 * kMiB);
        EXPECT_EQ(third[64], 65u);
        EXPECT_EQ(third[4 * kMiB / kWord - 1], 4 * kMiB / kWord);
        {
            // A reuse inside another gives nothing back when it ends.
            const LargeBlockReuse inner;
        }
        EXPECT_EQ(keptLargeBytes(), 6 * kMiB);
        auto* rest = static_cast<std::uint32_t*>(takeLargeBlock(6 * kMiB));
        EXPECT_EQ(rest[64], 4 * kMiB / kWord + 65);
        EXPECT_EQ(rest[6 * kMiB / kWord - 1], 7u);
        releaseLargeBlock(rest, 6 * kMiB);
        EXPECT_EQ(keptLargeBytes(), 6 * kMiB);
        // Given back while the reuse goes on: what is given back later is kept again.
        giveBackKeptLargeBlocks();
        EXPECT_EQ(keptLargeBytes(), 0u);
        EXPECT_TRUE(unmapped(rest));
        releaseLargeBlock(third, 4 * kMiB);
        EXPECT_EQ(keptLargeBytes(), 4 * kMiB);
        kept = third;
        EXPECT_FALSE(unmapped(kept));
    }
    // The last reuse to end gives every kept block back.
    EXPECT_EQ(keptLargeBytes(), 0u);
    EXPECT_TRUE(unmapped(kept));
    // Outside a reuse, a block given back goes straight back to the system.
    void* alone = takeLargeBlock(4 * kMiB);
    releaseLargeBlock(alone, 4 * kMiB);
    EXPECT_EQ(keptLargeBytes(), 0u);
    EXPECT_TRUE(unmapped(alone));
}

#endif

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
