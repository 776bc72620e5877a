#include <gtest/gtest.h>

#include <vector>

#include "boundary/box_projection.h"
#include "tests/boundary_lists.h"

namespace tarvel {
namespace {

using testing::Loop;

TEST(BoxProjectionTest, eachAxisIsScaledByItsOwnExtent) {
    Loop square({{8, 3, 1}, {12, 3, 1}, {12, 7, 1}, {8, 7, 1}});
    normaliseToBox(square.head);
    EXPECT_EQ(
        square.positions,
        (std::vector<Vector3>{{-0.5, -0.5, 1}, {0.5, -0.5, 1}, {0.5, 0.5, 1}, {-0.5, 0.5, 1}}));
    Loop wide({{0, 0, 0}, {4, 0, 0}, {4, 1, 0}, {0, 1, 0}});
    normaliseToBox(wide.head);
    EXPECT_EQ(wide.positions, (std::vector<Vector3>{
                                  {-0.5, -0.5, 0}, {0.5, -0.5, 0}, {0.5, 0.5, 0}, {-0.5, 0.5, 0}}));
}

TEST(BoxProjectionTest, aFlatAxisIsCentredNotDivided) {
    Loop line({{2, 5, 0}, {6, 5, 0}, {4, 5, 0}});
    normaliseToBox(line.head);
    EXPECT_EQ(line.positions, (std::vector<Vector3>{{-0.5, 0, 0}, {0.5, 0, 0}, {0, 0, 0}}));
    Loop single({{3, 4, 0}});
    normaliseToBox(single.head);
    EXPECT_EQ(single.positions, (std::vector<Vector3>{{0, 0, 0}}));
}

}  // namespace
}  // namespace tarvel
