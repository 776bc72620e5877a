// The module when memory runs out: whichever of its allocations fails, the run releases
// everything, abandons the edit with one done(1, 0), and returns 0. The host's own allocations
// are left alone, so each run fails exactly where the module asked.
#include <gtest/gtest.h>

#include <limits>

#include "failed_allocations.h"
#include "testing/linked_module.h"
#include "testing/run_invariants.h"
#include "testing/scenes/scene_generators.h"

namespace tarvel {
namespace {

using standin::CallOp;
using testing::runWatched;

/// Scenes that end each way a run with memory can end: completed, one group, no pair.
std::vector<std::pair<std::string, standin::Scene>> smallScenes() {
    std::vector<std::pair<std::string, standin::Scene>> out;
    out.emplace_back("facing grids", scenes::facingGrids(3, 2, 1.0, 1, 0.5));
    out.emplace_back("several pairs", scenes::severalPairs(3, 1));
    standin::Scene flat = scenes::facingGrids(2, 2, 1.0);
    flat.mesh.polygons.resize(4);  // the lower grid alone: one group
    out.emplace_back("one group", flat);
    out.emplace_back("soup", scenes::randomSoup(11, true));
    standin::Scene sideBySide = scenes::facingGrids(1, 1, 0.0);
    sideBySide.mesh.polygons[1].normal = standin::Point{1.0, 0.0, 0.0};  // perpendicular
    out.emplace_back("not facing", sideBySide);
    return out;
}

TEST(AllocationFailureTest, everyAllocationOfASmallRunMayFailAndTheEditIsAbandonedCleanly) {
    std::uint64_t failedRuns = 0;
    for (const auto& [name, scene] : smallScenes()) {
        failedRuns += testing::expectEveryFailedAllocationAbandonsCleanly(scene, name);
    }
    RecordProperty("failedRuns", std::to_string(failedRuns));
}

TEST(AllocationFailureTest, aCountFarAboveThePolygonsCostsNoLargerTable) {
    standin::Scene scene = scenes::facingGrids(3, 3, 1.0);
    const testing::WatchedRun counted = runWatched(scene);
    scene.host.polyCount = std::numeric_limits<std::int32_t>::max();
    const testing::WatchedRun huge = runWatched(scene);
    EXPECT_EQ(huge.live, 0);
    EXPECT_LT(huge.largest, std::size_t{64 * 1024});
    // The same run otherwise: the count only bounds how many polygons are taken.
    EXPECT_EQ(huge.trace.calls.count(CallOp::addFace), counted.trace.calls.count(CallOp::addFace));
    EXPECT_EQ(huge.trace.calls.count(CallOp::remPoly), 18u);
    EXPECT_TRUE(testing::brokenRunInvariants(scene, huge.trace).empty());
}

}  // namespace
}  // namespace tarvel
