#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "grouping/polygon_ordering.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

using testing::makePoly;

const Vector3 kUp(0, 0, 1);
const Vector3 kDown(0, 0, -1);

/// Runs the ordering on polygons and reports the new order as indexes into the old one.
std::vector<int> orderOf(std::vector<SelectedPoly*> polys) {
    std::vector<SelectedPoly*> table = polys;
    orderPolygons(table.data(), static_cast<std::int32_t>(table.size()));
    std::vector<int> order;
    for (SelectedPoly* p : table) {
        for (std::size_t i = 0; i < polys.size(); ++i) {
            if (polys[i] == p) {
                order.push_back(static_cast<int>(i));
            }
        }
        EXPECT_EQ(p->nextMember, nullptr);
    }
    return order;
}

SelectedPoly* triangleAt(int firstId, Vector3 at, Vector3 normal) {
    return makePoly({firstId, firstId + 1, firstId + 2},
                    {at, at + Vector3(1, 0, 0), at + Vector3(0, 1, 0)}, normal);
}

TEST(PolygonOrderingTest, polygonsMostDirectlyAcrossComeFirst) {
    // A faces C straight across (0) and B faces A off its axis (2): A, C, B.
    EXPECT_EQ(orderOf({triangleAt(0, {0, 0, 0}, kUp), triangleAt(3, {2, 0, 5}, kDown),
                       triangleAt(6, {0, 0, 5}, kDown)}),
              (std::vector<int>{0, 2, 1}));
    // Two facing triangles at equal distances keep their order, whichever comes first.
    EXPECT_EQ(orderOf({triangleAt(0, {0, 0, 5}, kDown), triangleAt(3, {0, 0, 0}, kUp)}),
              (std::vector<int>{0, 1}));
    // Nothing faces anything: the order stays.
    EXPECT_EQ(orderOf({triangleAt(0, {0, 0, 0}, kUp), triangleAt(3, {5, 0, 0}, kUp),
                       triangleAt(6, {9, 0, 0}, kUp)}),
              (std::vector<int>{0, 1, 2}));
}

TEST(PolygonOrderingTest, anUnpairedFirstPolygonStaysFirstAndLaterEqualsGoInFront) {
    // The first faces nothing; the other two face each other, 1 off each other's axis. Below
    // the head a polygon goes in front of one at an equal distance.
    EXPECT_EQ(orderOf({triangleAt(0, {50, 0, 0}, {1, 0, 0}), triangleAt(3, {1, 0, 5}, kDown),
                       triangleAt(6, {0, 0, 0}, kUp)}),
              (std::vector<int>{0, 2, 1}));
}

}  // namespace
}  // namespace tarvel
