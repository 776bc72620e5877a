// The module and the readers on a small stack (256 KiB, as a host may give the thread that runs
// a plug-in): nothing recurses once per polygon, group or nesting level beyond a fixed bound.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <functional>
#include <string>

#include "mesh/input_error.h"
#include "runtime/address_sanitizer.h"
#include "standin/scene_reader.h"
#include "testing/json_value.h"
#include "testing/linked_module.h"

namespace tarvel {
namespace {

using standin::CallOp;

constexpr std::size_t kStackBytes = 256 * 1024;

// The sanitized build runs these on fewer polygons: there every allocation and memory access
// costs many times more. The stack used per polygon is the same, so the test still fails
// where something recurses per polygon.
#if defined(TARVEL_ADDRESS_SANITIZED)
constexpr int kGridSide = 300;
constexpr int kSinglePairs = 50000;
#else
constexpr int kGridSide = 1000;
constexpr int kSinglePairs = 500000;
#endif

/// Runs `body` on a new thread with a stack of `bytes`, and waits for it.
void runOnStack(std::size_t bytes, const std::function<void()>& body) {
    pthread_attr_t attributes;
    ASSERT_EQ(pthread_attr_init(&attributes), 0);
    ASSERT_EQ(pthread_attr_setstacksize(&attributes, bytes), 0);
    pthread_t thread;
    auto start = [](void* argument) -> void* {
        (*static_cast<const std::function<void()>*>(argument))();
        return nullptr;
    };
    void* argument = const_cast<std::function<void()>*>(&body);
    ASSERT_EQ(pthread_create(&thread, &attributes, start, argument), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
}

/// Adds the unit quad at (x, y, z), facing +z or, with `down`, -z, over four new points.
void addQuad(standin::Scene& scene, double x, double y, double z, bool down) {
    auto& points = scene.mesh.points;
    const auto a = static_cast<std::int32_t>(points.size());
    points.push_back({x, y, z});
    points.push_back({x + 1.0, y, z});
    points.push_back({x + 1.0, y + 1.0, z});
    points.push_back({x, y + 1.0, z});
    standin::Polygon quad;
    quad.points = down ? std::vector<std::int32_t>{a, a + 3, a + 2, a + 1}
                       : std::vector<std::int32_t>{a, a + 1, a + 2, a + 3};
    scene.mesh.polygons.push_back(std::move(quad));
}

/// Runs the linked module on `scene` on the small stack: the run returns 0, frees everything,
/// closes once and removes `removed` polygons.
testing::WatchedRun runToTheEndOnASmallStack(const standin::Scene& scene, std::uint64_t removed) {
    testing::WatchedRun run;
    runOnStack(kStackBytes,
               [&] { run = testing::runWatched(scene, 0, standin::CallLogging::countsOnly); });
    EXPECT_EQ(run.trace.result, 0);
    EXPECT_EQ(run.live, 0);
    EXPECT_EQ(run.trace.calls.count(CallOp::done), 1u);
    EXPECT_EQ(run.trace.calls.count(CallOp::remPoly), removed);
    return run;
}

TEST(SmallStackTest, aGroupOfAMillionPolygonsIsPairedLinkedAndRemoved) {
    // A floor of kGridSide squared quads facing one quad above it.
    standin::Scene scene;
    const int n = kGridSide;
    auto& points = scene.mesh.points;
    for (int j = 0; j <= n; ++j) {
        for (int i = 0; i <= n; ++i) {
            points.push_back({double(i), double(j), 0.0});
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const std::int32_t a = j * (n + 1) + i;
            standin::Polygon quad;
            quad.points = {a, a + 1, a + n + 2, a + n + 1};
            scene.mesh.polygons.push_back(std::move(quad));
        }
    }
    addQuad(scene, n / 2.0, n / 2.0, 5.0, true);
    const testing::WatchedRun run = runToTheEndOnASmallStack(scene, scene.mesh.polygons.size());
    // Every boundary point of the floor gets a link.
    EXPECT_GE(run.trace.calls.count(CallOp::addFace), std::uint64_t(4 * n));
}

TEST(SmallStackTest, aMillionOnePolygonGroupsArePairedAndRemoved) {
    // Pairs of single quads facing each other across a gap, spread over a plane.
    standin::Scene scene;
    const int side = static_cast<int>(std::sqrt(double(kSinglePairs))) + 1;
    for (int k = 0; k < kSinglePairs; ++k) {
        const double x = 3.0 * (k % side);
        const double y = 3.0 * (k / side);
        addQuad(scene, x, y, 0.0, false);
        addQuad(scene, x, y, 1.0, true);
    }
    runToTheEndOnASmallStack(scene, std::uint64_t(2 * kSinglePairs));
}

TEST(SmallStackTest, jsonNestedToTheLimitIsReadAndOneLevelMoreRefused) {
    const auto nested = [](int depth) {
        return std::string(static_cast<std::size_t>(depth), '[') +
               std::string(static_cast<std::size_t>(depth), ']');
    };
    bool deepestRead = false;
    bool deeperRefused = false;
    bool sceneRefused = false;
    runOnStack(kStackBytes, [&] {
        deepestRead = standin::parseJson(nested(standin::JsonReader::kMaxDepth)).kind() ==
                      standin::JsonKind::array;
        try {
            standin::parseJson(nested(standin::JsonReader::kMaxDepth + 1));
        } catch (const standin::JsonError&) {
            deeperRefused = true;
        }
        try {
            standin::readScene("{\"points\": " + nested(100000) + "}", "deep.json");
        } catch (const standin::InputError&) {
            sceneRefused = true;
        }
    });
    EXPECT_TRUE(deepestRead);
    EXPECT_TRUE(deeperRefused);
    EXPECT_TRUE(sceneRefused);
}

}  // namespace
}  // namespace tarvel
