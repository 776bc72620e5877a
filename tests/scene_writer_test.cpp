#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>

#include "standin/scene_reader.h"
#include "testing/scenes/scene_generators.h"
#include "testing/scenes/scene_writer.h"

namespace tarvel::standin {
namespace {

/// Where two scenes differ, or empty; coordinates and normals compare by their bits.
std::string sceneDifference(const Scene& a, const Scene& b) {
    const auto samePoint = [](const Point& p, const Point& q) {
        for (std::size_t k = 0; k < 3; ++k) {
            if (std::bit_cast<std::uint64_t>(p[k]) != std::bit_cast<std::uint64_t>(q[k])) {
                return false;
            }
        }
        return true;
    };
    if (a.mesh.points.size() != b.mesh.points.size()) {
        return "point count";
    }
    for (std::size_t i = 0; i < a.mesh.points.size(); ++i) {
        if (!samePoint(a.mesh.points[i], b.mesh.points[i])) {
            return "points[" + std::to_string(i) + "]";
        }
    }
    if (a.mesh.polygons.size() != b.mesh.polygons.size()) {
        return "polygon count";
    }
    for (std::size_t j = 0; j < a.mesh.polygons.size(); ++j) {
        const Polygon& p = a.mesh.polygons[j];
        const Polygon& q = b.mesh.polygons[j];
        const bool sameTags = p.tags.size() == q.tags.size() &&
                              std::equal(p.tags.begin(), p.tags.end(), q.tags.begin(),
                                         [](const PolygonTag& s, const PolygonTag& t) {
                                             return s.type == t.type && s.value == t.value;
                                         });
        const bool sameNormal = p.normal.has_value() == q.normal.has_value() &&
                                (!p.normal || samePoint(*p.normal, *q.normal));
        if (p.points != q.points || p.type != q.type || p.flags != q.flags ||
            p.surface != q.surface || !sameTags || !sameNormal) {
            return "polygons[" + std::to_string(j) + "]";
        }
    }
    if (a.host.edit != b.host.edit || a.host.messages != b.host.messages ||
        a.host.polyCount != b.host.polyCount || a.host.addFace != b.host.addFace) {
        return "host";
    }
    return "";
}

TEST(SceneWriterTest, writtenScenesReadBackBitForBit) {
    Scene every = readScene(R"({
        "points": [[0, -0, 1e-310], ["nan", "inf", "-inf"], [0.1, 1e300, -2.5]],
        "polygons": [{"points": [], "type": " ~!a", "flags": -7, "normal": [-0, "nan", 0],
                      "surface": "\u00e9 \"q\" \\ \n", "tags": {"PART": "lid", "COLR": ""}},
                     {"points": [2, 2, 0, 1], "flags": 0}],
        "host": {"edit": false, "messages": false, "polyCount": -3, "addFace": false}})",
                            "every.json");
    EXPECT_EQ(sceneDifference(readScene(sceneText(every), "written"), every), "");
    Scene none;
    EXPECT_EQ(sceneDifference(readScene(sceneText(none), "written"), none), "");
    for (std::uint64_t seed = 0; seed < 300; ++seed) {
        const Scene soup = scenes::randomSoup(seed, seed % 2 == 0);
        EXPECT_EQ(sceneDifference(readScene(sceneText(soup), "written"), soup), "")
            << "soup " << seed;
    }
    const Scene curved = scenes::curvedPatches(4, 5, 0.05, 9);
    EXPECT_EQ(sceneDifference(readScene(sceneText(curved), "written"), curved), "");
}

}  // namespace
}  // namespace tarvel::standin
