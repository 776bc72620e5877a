// Many activations in one process, as a modeller session makes them: after each one the
// module's variables are at rest and nothing it allocated remains, and the process holds no
// more memory after ten thousand runs than after the first.
#include <gtest/gtest.h>

#include "testing/allocation_counter.h"
#include "testing/linked_module.h"
#include "testing/scenes/scene_generators.h"

namespace tarvel {
namespace {

/// Selections of every kind, with every kind of host answer.
std::vector<standin::Scene> variedScenes() {
    std::vector<standin::Scene> out;
    for (std::uint64_t seed = 0; seed < 40; ++seed) {
        out.push_back(scenes::randomSoup(seed, seed % 2 == 0));
    }
    for (int n = 1; n <= 5; ++n) {
        out.push_back(scenes::facingGrids(n, n + 1, 1.5, n / 2, 0.25 * n));
        out.push_back(scenes::curvedPatches(n + 1, n + 2, 0.05, static_cast<std::uint64_t>(n)));
        out.push_back(scenes::severalPairs(n, 2));
    }
    standin::Scene base = scenes::facingGrids(2, 2, 1.0);
    for (int answers = 0; answers < 5; ++answers) {
        standin::Scene scene = base;
        scene.host.edit = answers != 0;
        scene.host.messages = answers != 1;
        scene.host.addFace = answers != 2;
        if (answers == 3) {
            scene.host.polyCount = 1;
        } else if (answers == 4) {
            scene.host.polyCount = std::numeric_limits<int>::max();
        }
        out.push_back(scene);
    }
    return out;
}

TEST(RepeatedRunsTest, tenThousandActivationsLeaveTheModuleAtRestAndMemoryFlat) {
    const std::vector<standin::Scene> scenes = variedScenes();
    // The first round may set up what lives as long as the process (the host's records).
    for (const standin::Scene& scene : scenes) {
        testing::runWatched(scene, 0, standin::CallLogging::countsOnly);
    }
    const std::int64_t heapBefore = testing::liveHeapBytes();
    constexpr int kRuns = 10000;
    for (int i = 0; i < kRuns; ++i) {
        const standin::Scene& scene = scenes[static_cast<std::size_t>(i) % scenes.size()];
        const testing::WatchedRun run =
            testing::runWatched(scene, 0, standin::CallLogging::countsOnly);
        ASSERT_EQ(run.live, 0) << "run " << i;
        ASSERT_TRUE(testing::moduleAtRest()) << "run " << i;
        ASSERT_EQ(run.trace.result, scene.host.edit ? 0 : 3) << "run " << i;
    }
    EXPECT_EQ(testing::liveHeapBytes(), heapBefore);
}

}  // namespace
}  // namespace tarvel
