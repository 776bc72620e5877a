#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "boundary/angular_order.h"
#include "tests/boundary_lists.h"

namespace tarvel {
namespace {

using testing::ids;
using testing::Loop;

TEST(AngularOrderTest, sortsClockwiseFromPlusYStably) {
    const double pi = std::acos(-1.0);
    Loop loop(
        {{-0.5, 0.5, 0}, {-0.5, -0.5, 0}, {0.5, -0.5, 0}, {0.5, 0.5, 0}, {0, 0.1, 0}, {0, 0.4, 0}});
    loop.head = sortByAngle(loop.head);
    EXPECT_EQ(ids(loop.head), (std::vector<int>{4, 5, 3, 2, 1, 0}));
    EXPECT_EQ(loop.head->angle, 0.0);
    EXPECT_DOUBLE_EQ(loop.head->next->next->angle, pi / 4);
    EXPECT_DOUBLE_EQ(loop.head->next->next->next->next->next->angle, 2.0 * PI - pi / 4);
}

TEST(AngularOrderTest, anAlreadySortedListKeepsItsOrder) {
    Loop loop({{0, 1, 0}, {1, 0, 0}, {0, -1, 0}, {-1, 0, 0}});
    loop.head = sortByAngle(loop.head);
    EXPECT_EQ(ids(loop.head), (std::vector<int>{0, 1, 2, 3}));
}

TEST(AngularOrderTest, aPointAtTheCentreGoesToTheFrontWhenItsTurnComes) {
    // The NaN entry jumps to the front; while it heads the list every later entry does too.
    Loop loop({{0.5, 0.5, 0}, {0, 0, 0}, {-0.5, -0.5, 0}, {0, 0.5, 0}});
    loop.head = sortByAngle(loop.head);
    EXPECT_EQ(ids(loop.head), (std::vector<int>{3, 2, 1, 0}));
    EXPECT_TRUE(std::isnan(loop.head->next->next->angle));
}

}  // namespace
}  // namespace tarvel
