// The fast module against the module built around the straightforward procedures: the same
// host calls with the same values, in the same order, for thousands of generated selections.
#include <gtest/gtest.h>

#include <random>

#include "standin/trace_writer.h"
#include "testing/run_invariants.h"
#include "testing/scenes/scene_generators.h"
#include "tests/module_runs.h"

namespace tarvel {
namespace {

using testing::productModule;
using testing::referenceModule;

void expectSameTrace(const standin::Scene& scene, const std::string& what) {
    const standin::Trace fastTrace = testing::run(productModule(), scene);
    const standin::Trace referenceTrace = testing::run(referenceModule(), scene);
    const std::vector<std::string> broken = testing::brokenRunInvariants(scene, fastTrace);
    EXPECT_TRUE(broken.empty()) << what << ":\n" << testing::describeBroken(broken);
    const std::string fast = standin::traceText(fastTrace);
    const std::string reference = standin::traceText(referenceTrace);
    if (fast != reference) {
        // Point at the first differing line rather than printing two whole traces.
        std::size_t at = 0;
        while (at < fast.size() && at < reference.size() && fast[at] == reference[at]) {
            ++at;
        }
        const std::size_t line = fast.rfind('\n', at) + 1;
        ADD_FAILURE() << what << ": traces differ at\n  fast:      "
                      << fast.substr(line, fast.find('\n', at) - line) << "\n  reference: "
                      << reference.substr(line, reference.find('\n', at) - line);
    }
}

/// Some awkward polygons over the scene's own points: duplicates, slivers, fans.
void addAwkwardPolygons(standin::Scene& scene, std::mt19937_64& random) {
    const auto points = static_cast<std::int32_t>(scene.mesh.points.size());
    const int extra = static_cast<int>(random() % 6);
    for (int k = 0; k < extra; ++k) {
        standin::Polygon polygon;
        if (random() % 2 == 0 && !scene.mesh.polygons.empty()) {
            polygon = scene.mesh.polygons[random() % scene.mesh.polygons.size()];
        } else {
            for (int i = 0, n = 1 + static_cast<int>(random() % 5); i < n; ++i) {
                polygon.points.push_back(
                    static_cast<std::int32_t>(random() % static_cast<std::uint64_t>(points)));
            }
        }
        scene.mesh.polygons.push_back(std::move(polygon));
    }
}

TEST(DifferentialTest, facingGridsOfEverySize) {
    std::mt19937_64 random(1);
    for (int round = 0; round < 300; ++round) {
        const int nx = 1 + static_cast<int>(random() % 7);
        const int ny = 1 + static_cast<int>(random() % 7);
        const int shrink =
            static_cast<int>(random() % static_cast<std::uint64_t>(std::min(nx, ny)));
        const double shift = static_cast<double>(random() % 5) * 0.25;
        standin::Scene scene =
            scenes::facingGrids(nx, ny, 1.0 + static_cast<double>(random() % 3), shrink, shift);
        if (round % 3 == 0) {
            scenes::shufflePolygons(scene, random());
        }
        if (round % 4 == 1) {
            addAwkwardPolygons(scene, random);
        }
        expectSameTrace(scene, "grids round " + std::to_string(round));
    }
}

TEST(DifferentialTest, curvedNoisyPatchesAndSeveralPairs) {
    std::mt19937_64 random(2);
    for (int round = 0; round < 150; ++round) {
        const int n = 2 + static_cast<int>(random() % 6);
        standin::Scene curved =
            scenes::curvedPatches(n, n + 1, round % 2 == 0 ? 0.05 : 0.0, random());
        if (round % 2 == 1) {
            scenes::shufflePolygons(curved, random());
        }
        expectSameTrace(curved, "curved round " + std::to_string(round));
        standin::Scene pairs = scenes::severalPairs(2 + static_cast<int>(random() % 4),
                                                    1 + static_cast<int>(random() % 3));
        scenes::shufflePolygons(pairs, random());
        expectSameTrace(pairs, "pairs round " + std::to_string(round));
    }
}

TEST(DifferentialTest, manySmallPairsWithAFewLargeAmongThem) {
    std::mt19937_64 random(4);
    for (int round = 0; round < 30; ++round) {
        const int pairs = 20 + static_cast<int>(random() % 100);
        const int large = round % 2 == 0 ? 0 : 1 + static_cast<int>(random() % 3);
        standin::Scene scene = scenes::manyPairs(pairs, 1 + static_cast<int>(random() % 2), large,
                                                 3 + static_cast<int>(random() % 8));
        if (round % 3 != 0) {
            scenes::shufflePolygons(scene, random());
        }
        expectSameTrace(scene, "many pairs round " + std::to_string(round));
    }
}

TEST(DifferentialTest, scenesLargeEnoughForDeepSearchTrees) {
    standin::Scene shifted = scenes::facingGrids(24, 20, 3.0, 3, 0.37);
    scenes::shufflePolygons(shifted, 5);
    expectSameTrace(shifted, "shifted grids");
    expectSameTrace(scenes::curvedPatches(22, 18, 0.08, 9), "curved patches");
    standin::Scene pairs = scenes::severalPairs(6, 9);
    scenes::shufflePolygons(pairs, 6);
    expectSameTrace(pairs, "six pairs");
}

TEST(DifferentialTest, soupsOfAwkwardPolygons) {
    for (std::uint64_t seed = 0; seed < 3000; ++seed) {
        expectSameTrace(scenes::randomSoup(seed, seed % 3 == 0), "soup " + std::to_string(seed));
    }
}

}  // namespace
}  // namespace tarvel
