// The module's worker threads: the same trace for any number of them, on the scene families
// the differential tests use, and a clean end when memory runs out on a worker. The threads
// are set to work on every selection, however small, so that each family meets them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <string>

#include "failed_allocations.h"
#include "runtime/address_sanitizer.h"
#include "runtime/worker_team.h"
#include "standin/trace_writer.h"
#include "testing/linked_module.h"
#include "testing/run_invariants.h"
#include "testing/scenes/scene_generators.h"

namespace tarvel {
namespace {

using standin::CallOp;
using testing::runWatched;

/// Shares the work from the first polygon on, with `threads` threads; undone on leaving.
class SharedFromTheStart {
public:
    explicit SharedFromTheStart(int threads)
        : smallest_(WorkerTeam::smallestShared()), step_(WorkerTeam::smallestSharedStep()) {
        WorkerTeam::setSmallestShared(0);
        WorkerTeam::setSmallestSharedStep(0);
        setenv("TARVEL_THREADS", std::to_string(threads).c_str(), 1);
    }
    ~SharedFromTheStart() {
        WorkerTeam::setSmallestShared(smallest_);
        WorkerTeam::setSmallestSharedStep(step_);
        unsetenv("TARVEL_THREADS");
    }
    SharedFromTheStart(const SharedFromTheStart&) = delete;
    SharedFromTheStart& operator=(const SharedFromTheStart&) = delete;

private:
    std::size_t smallest_;
    std::size_t step_;
};

void expectSameForEveryThreadCount(const standin::Scene& scene, const std::string& what) {
    std::string one;
    for (int threads : {1, 2, 3, 8}) {
        const SharedFromTheStart shared(threads);
        const testing::WatchedRun run = runWatched(scene);
        EXPECT_EQ(run.live, 0) << what << ", " << threads << " threads";
        const std::string trace = standin::traceText(run.trace);
        if (threads == 1) {
            one = trace;
            const std::vector<std::string> broken = testing::brokenRunInvariants(scene, run.trace);
            EXPECT_TRUE(broken.empty()) << what << ":\n" << testing::describeBroken(broken);
        } else {
            EXPECT_TRUE(trace == one) << what << ": " << threads << " threads differ from one";
        }
    }
}

TEST(ThreadCountTest, facingGridsCurvedPatchesAndPairs) {
    std::mt19937_64 random(3);
    for (int round = 0; round < 60; ++round) {
        const int nx = 1 + static_cast<int>(random() % 9);
        const int ny = 1 + static_cast<int>(random() % 9);
        const int shrink =
            static_cast<int>(random() % static_cast<std::uint64_t>(std::min(nx, ny)));
        standin::Scene grids = scenes::facingGrids(nx, ny, 1.0 + static_cast<double>(round % 3),
                                                   shrink, static_cast<double>(round % 5) * 0.25);
        if (round % 2 == 0) {
            scenes::shufflePolygons(grids, random());
        }
        expectSameForEveryThreadCount(grids, "grids round " + std::to_string(round));
        const int n = 2 + static_cast<int>(random() % 8);
        standin::Scene curved = scenes::curvedPatches(n, n + 1, 0.05, random());
        scenes::shufflePolygons(curved, random());
        expectSameForEveryThreadCount(curved, "curved round " + std::to_string(round));
        standin::Scene pairs = scenes::severalPairs(2 + static_cast<int>(random() % 6),
                                                    1 + static_cast<int>(random() % 4));
        scenes::shufflePolygons(pairs, random());
        expectSameForEveryThreadCount(pairs, "pairs round " + std::to_string(round));
    }
    expectSameForEveryThreadCount(scenes::curvedPatches(60, 50, 0.08, 9), "larger curved");
    expectSameForEveryThreadCount(scenes::severalPairs(40, 6), "forty pairs");
}

TEST(ThreadCountTest, gridsLargeEnoughForLargeBlocks) {
    // About 300,000 polygons: the run's large arrays are large blocks, and the later ones are
    // made of pages the earlier ones gave back. The sanitized build, where large blocks come
    // from operator new, runs fewer.
#if defined(TARVEL_ADDRESS_SANITIZED)
    constexpr int kSide = 260;
#else
    constexpr int kSide = 390;
#endif
    standin::Scene large = scenes::facingGrids(kSide, kSide - 5, 1.5, 3, 0.25);
    scenes::shufflePolygons(large, 13);
    expectSameForEveryThreadCount(large, "large grids");
}

TEST(ThreadCountTest, manySmallPairsWithLargeOnesAmongThem) {
    std::mt19937_64 random(5);
    for (int round = 0; round < 12; ++round) {
        standin::Scene scene =
            scenes::manyPairs(30 + static_cast<int>(random() % 300), 1 + round % 2, round % 3,
                              2 + static_cast<int>(random() % 6));
        scenes::shufflePolygons(scene, random());
        expectSameForEveryThreadCount(scene, "many pairs round " + std::to_string(round));
    }
    // With the step size that decides which pairs are shared left as it is: the large pairs
    // here are shared, the small ones not.
    const std::size_t step = WorkerTeam::smallestSharedStep();
    const int largeN = static_cast<int>(std::sqrt(double(step))) + 1;
    standin::Scene mixed = scenes::manyPairs(400, 1, 3, largeN);
    scenes::shufflePolygons(mixed, 11);
    std::string one;
    for (int threads : {1, 2, 3, 8}) {
        const SharedFromTheStart shared(threads);
        WorkerTeam::setSmallestSharedStep(step);
        const testing::WatchedRun run = runWatched(mixed);
        EXPECT_EQ(run.live, 0) << threads;
        const std::string trace = standin::traceText(run.trace);
        if (threads == 1) {
            one = trace;
        } else {
            EXPECT_TRUE(trace == one) << "mixed pairs: " << threads << " threads differ from one";
        }
    }
}

TEST(ThreadCountTest, soupsOfAwkwardPolygons) {
    for (std::uint64_t seed = 0; seed < 400; ++seed) {
        expectSameForEveryThreadCount(scenes::randomSoup(seed, seed % 3 == 0),
                                      "soup " + std::to_string(seed));
    }
}

TEST(ThreadCountTest, aFailedAllocationOnAnyThreadAbandonsTheEditCleanly) {
    const SharedFromTheStart shared(3);
    testing::expectEveryFailedAllocationAbandonsCleanly(scenes::facingGrids(4, 3, 1.0, 1, 0.5),
                                                        "facing grids");
    testing::expectEveryFailedAllocationAbandonsCleanly(scenes::severalPairs(4, 2),
                                                        "several pairs");
}

TEST(ThreadCountTest, aFailedAllocationAmongManySmallPairsAbandonsTheEditCleanly) {
    // Many pairs too small to share, around a large pair whose two sides go to two threads.
    const std::size_t step = WorkerTeam::smallestSharedStep();
    const int largeN = static_cast<int>(std::sqrt(double(step))) + 1;
    standin::Scene scene = scenes::manyPairs(10, 1, 1, largeN);
    scenes::shufflePolygons(scene, 4);
    const SharedFromTheStart shared(3);
    WorkerTeam::setSmallestSharedStep(step);
    testing::expectEveryFailedAllocationAbandonsCleanly(scene, "many small pairs");
}

}  // namespace
}  // namespace tarvel
