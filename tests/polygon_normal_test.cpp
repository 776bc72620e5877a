#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "mesh/mesh.h"
#include "standin/polygon_normal.h"

namespace tarvel::standin {
namespace {

TEST(PolygonNormalTest, newellsMethodGivesTheUnitNormal) {
    const std::vector<Point> positions = {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}, {0, 2, 0}, {0, 2, 2}};
    Point normal;
    EXPECT_TRUE(newellNormal(std::vector<std::int32_t>{0, 1, 2, 3}, positions, normal));
    EXPECT_EQ(normal, (Point{0.0, 0.0, 1.0}));
    // Clockwise seen from +z, with a repeated point: the normal turns round.
    EXPECT_TRUE(newellNormal(std::vector<std::int32_t>{0, 3, 3, 2, 1}, positions, normal));
    EXPECT_EQ(normal, (Point{0.0, 0.0, -1.0}));
    // The plane x = 0 tilted: (0, -1, 1) over its length, divided, not multiplied by 1/length.
    EXPECT_TRUE(newellNormal(std::vector<std::int32_t>{0, 1, 4}, positions, normal));
    EXPECT_EQ(normal, (Point{0.0, -4.0 / std::sqrt(32.0), 4.0 / std::sqrt(32.0)}));
}

TEST(PolygonNormalTest, degeneratePolygonsGiveTheZeroVectorAndFailure) {
    const std::vector<Point> positions = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    Point normal{9, 9, 9};
    EXPECT_FALSE(newellNormal(std::vector<std::int32_t>{0, 1}, positions, normal));
    EXPECT_EQ(normal, (Point{0, 0, 0}));
    normal = {9, 9, 9};
    EXPECT_FALSE(newellNormal(std::vector<std::int32_t>{0, 1, 2}, positions, normal));  // a line
    EXPECT_EQ(normal, (Point{0, 0, 0}));
    EXPECT_FALSE(newellNormal(std::vector<std::int32_t>{}, positions, normal));
}

}  // namespace
}  // namespace tarvel::standin
