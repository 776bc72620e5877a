#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "mesh/point_ids.h"
#include "standin/run_mesh.h"

namespace tarvel::standin {
namespace {

using namespace std::string_literals;

auto fields(const Polygon& p) {
    std::vector<std::pair<LWID, std::string>> tags;
    for (const PolygonTag& tag : p.tags) {
        tags.emplace_back(tag.type, tag.value);
    }
    return std::tuple(std::vector<std::int32_t>(p.points.begin(), p.points.end()), p.type, p.flags,
                      p.removed, p.normal, p.surface, tags);
}

void expectSameMesh(const Mesh& a, const Mesh& b) {
    EXPECT_EQ(a.points, b.points);
    ASSERT_EQ(a.polygons.size(), b.polygons.size());
    for (std::size_t j = 0; j < a.polygons.size(); ++j) {
        EXPECT_EQ(fields(a.polygons[j]), fields(b.polygons[j])) << "polygon " << j;
    }
}

/// Polygons of every kind the host meets: empty, long (beyond the ids kept in place), with and
/// without a normal and tags, removed, surfaces repeated out of order and one with a NUL.
Mesh variedMesh() {
    Mesh mesh;
    for (int i = 0; i < 8; ++i) {
        mesh.points.push_back(Point{double(i), 0.5 * i, -1.0});
    }
    Polygon empty;
    empty.surface = "Floor";
    mesh.polygons.push_back(empty);
    Polygon seven;
    seven.points = {0, 1, 2, 3, 4, 5, 6};
    seven.type = kTypePatch;
    seven.flags = 3;
    seven.normal = Point{0.0, 0.0, -1.0};
    seven.surface = "Wall\0two"s;
    mesh.polygons.push_back(seven);
    Polygon quad;
    quad.points = {7, 6, 5, 4};
    quad.flags = 0;
    quad.removed = true;
    quad.surface = "Floor";
    quad.tags = {{LWID_('C', 'O', 'L', 'R'), "Red"}, {LWID_('P', 'A', 'R', 'T'), "lid"}};
    mesh.polygons.push_back(quad);
    Polygon triangle;
    triangle.points = {1, 1, 2};
    triangle.type = LWID_('C', 'U', 'R', 'V');
    mesh.polygons.push_back(triangle);
    return mesh;
}

TEST(RunMeshTest, givesBackTheMeshItTook) {
    const Mesh original = variedMesh();
    Mesh given = original;
    RunMesh run(std::move(given));
    EXPECT_TRUE(given.polygons.empty());
    EXPECT_TRUE(given.points.empty());
    ASSERT_EQ(run.polygonCount(), 4u);
    EXPECT_EQ(run.surface(1), "Wall\0two"s);
    EXPECT_EQ(&run.surface(0), &run.surface(2));  // one name, held once
    ASSERT_NE(run.normal(1), nullptr);
    EXPECT_EQ(*run.normal(1), (Point{0.0, 0.0, -1.0}));
    EXPECT_EQ(run.normal(2), nullptr);  // tags but no normal
    EXPECT_EQ(std::vector<std::int32_t>(run.pointsOf(1).begin(), run.pointsOf(1).end()),
              (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5, 6}));
    expectSameMesh(run.release(), original);
}

TEST(RunMeshTest, editsShowInTheMeshAndDroppedPolygonsLeaveNoTrace) {
    Mesh expected = variedMesh();
    RunMesh run(variedMesh());
    const std::string& floor = run.surface(0);
    run.setRemoved(0, true);
    run.tags(3).push_back(PolygonTag{LWID_('C', 'O', 'L', 'R'), "Blue"});
    // Enough new names and polygons to move any array that could move.
    for (int k = 0; k < 300; ++k) {
        const std::string surface = "test" + std::to_string(k % 40);
        const std::vector<std::int32_t> points{k % 8, (k + 3) % 8};
        run.addPolygon(surface.c_str(), points);
        run.tags(run.polygonCount() - 1).push_back(PolygonTag{LWID_('C', 'O', 'L', 'R'), "DkRed"});
    }
    EXPECT_EQ(&run.surface(0), &floor);
    run.dropPolygonsFrom(4 + 250);
    run.addPolygon("last", std::vector<std::int32_t>{5, 6, 7});

    expected.polygons[0].removed = true;
    expected.polygons[3].tags.push_back(PolygonTag{LWID_('C', 'O', 'L', 'R'), "Blue"});
    for (int k = 0; k < 250; ++k) {
        Polygon link;
        link.points = {k % 8, (k + 3) % 8};
        link.flags = 0;
        link.surface = "test" + std::to_string(k % 40);
        link.tags.push_back(PolygonTag{LWID_('C', 'O', 'L', 'R'), "DkRed"});
        expected.polygons.push_back(link);
    }
    Polygon last;
    last.points = {5, 6, 7};
    last.flags = 0;
    last.surface = "last";
    expected.polygons.push_back(last);
    expectSameMesh(run.release(), expected);
}

TEST(PointIdsTest, growsOutOfItsPlaceAndCopiesAndMovesEitherWay) {
    PointIds ids{1, 2, 3, 4};
    const PointIds inPlace = ids;
    for (std::int32_t k = 5; k <= 40; ++k) {
        ids.push_back(k);
    }
    ASSERT_EQ(ids.size(), 40u);
    for (std::int32_t k = 0; k < 40; ++k) {
        EXPECT_EQ(ids[static_cast<std::size_t>(k)], k + 1);
    }
    EXPECT_EQ(inPlace, (std::vector<std::int32_t>{1, 2, 3, 4}));

    PointIds copied = ids;
    EXPECT_EQ(copied, ids);
    PointIds moved = std::move(copied);
    EXPECT_EQ(moved, ids);
    EXPECT_TRUE(copied.empty());  // NOLINT(bugprone-use-after-move): left empty, as stated
    moved = inPlace;              // a long list takes a short one
    EXPECT_EQ(moved, inPlace);
    PointIds shortMoved = inPlace;
    shortMoved = std::move(ids);  // and a short one a long one
    EXPECT_EQ(shortMoved.size(), 40u);
    EXPECT_EQ(shortMoved.back(), 40);
    const PointIds& same = shortMoved;
    shortMoved = same;  // assigning to itself keeps the entries
    EXPECT_EQ(shortMoved.front(), 1);
    EXPECT_EQ(shortMoved.size(), 40u);
}

}  // namespace
}  // namespace tarvel::standin
