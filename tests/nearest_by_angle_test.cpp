#include <gtest/gtest.h>

#include <cmath>

#include "boundary/nearest_by_angle.h"
#include "tests/boundary_lists.h"

namespace tarvel {
namespace {

using testing::Angles;

TEST(NearestAngleTest, tiesGoToTheEarlierAndTheWayRoundCounts) {
    Angles two({1.0, 2.0});
    EXPECT_EQ(nearestByAngle(two.head, 1.5), two.at(0));
    Angles wrap({0.5, 6.0});
    EXPECT_EQ(nearestByAngle(wrap.head, 0.0), wrap.at(1));  // past the end: 0.283 against 0.5
    Angles start({0.1, 2.0, 4.0});
    EXPECT_EQ(nearestByAngle(start.head, 5.5), start.at(0));  // before the start: 0.883
    Angles top({2.0 * PI});
    EXPECT_EQ(nearestByAngle(top.head, 0.0), top.at(0));
    Angles withNan({1.0, std::nan(""), 3.0});
    // A NaN distance is taken, and then so is the next candidate, compared with a NaN best.
    EXPECT_EQ(nearestByAngle(withNan.head, 1.0), withNan.at(2));
}

}  // namespace
}  // namespace tarvel
