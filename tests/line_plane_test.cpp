#include <gtest/gtest.h>

#include "geometry/line_plane.h"
#include "geometry/vector3.h"

namespace tarvel {
namespace {

TEST(LinePlaneTest, distanceIsLateralWhateverTheAxisLength) {
    EXPECT_EQ(distanceToAxis({3, 4, 10}, {0, 0, 0}, {0, 0, 1}), 5.0);
    EXPECT_EQ(distanceToAxis({3, 4, 10}, {0, 0, 0}, {0, 0, 5}), 5.0);
    EXPECT_EQ(distanceToAxis({3, 4, 10}, {0, 0, 0}, {0, 0, -1}), 5.0);
    EXPECT_EQ(distanceToAxis({0, 0, -7}, {0, 0, 0}, {0, 0, 1}), 0.0);
}

TEST(LinePlaneTest, noSingleIntersectionGivesTheFixedPoint) {
    EXPECT_EQ(intersectLinePlane({0, 0, 1}, {0, 0, 2}, {1, 1, 0}, {0, 0, -1}), Vector3(1, 1, 2));
    EXPECT_EQ(intersectLinePlane({0, 0, 1}, {9, 9, 9}, {3, 3, 3}, {1, 0, 0}), Vector3(-1));
    EXPECT_EQ(distanceToAxis({-1, -1, 1}, {0, 0, 0}, {0, 0, 0}), 2.0);
}

}  // namespace
}  // namespace tarvel
