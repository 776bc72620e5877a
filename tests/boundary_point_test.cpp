#include <gtest/gtest.h>

#include "boundary/boundary_point.h"
#include "tests/boundary_lists.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

using testing::Loop;
using testing::pointId;

TEST(BoundaryListTest, countAndContainsFromAnyEntry) {
    Loop list({{}, {}, {}, {}});
    EXPECT_EQ(entryCount(list.head), 4);
    EXPECT_EQ(entryCount(list.head->next->next), 2);
    EXPECT_EQ(entryCount(nullptr), 0);
    EXPECT_TRUE(containsPoint(list.head, pointId(2)));
    EXPECT_FALSE(containsPoint(list.head->next->next->next, pointId(1)));
    EXPECT_FALSE(containsPoint(nullptr, pointId(0)));
}

}  // namespace
}  // namespace tarvel
