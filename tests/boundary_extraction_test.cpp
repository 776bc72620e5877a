#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "boundary/boundary_extraction.h"
#include "tests/boundary_lists.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

using testing::ids;
using testing::makePoly;

using PointList = std::unique_ptr<BoundaryPoint>;

/// A group whose members are the given polygons, in chain order.
struct Group {
    explicit Group(std::initializer_list<SelectedPoly*> members) {
        SelectedPoly** link = &group.firstMember;
        for (SelectedPoly* m : members) {
            *link = m;
            link = &m->nextMember;
        }
    }
    PolyGroup group;
};

SelectedPoly* square(int a, int b, int c, int d) {
    return makePoly({a, b, c, d}, {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}});
}

TEST(BoundaryExtractionTest, pointsComeInTheOrderTheirEdgesNameThem) {
    Group one({square(0, 1, 2, 3)});
    PointList list(extractBoundary(one.group));
    EXPECT_EQ(ids(list.get()), (std::vector<int>{0, 3, 1, 2}));
    // Positions point into the member that named the point first.
    EXPECT_EQ(list->next->position, &one.group.firstMember->positions[3]);
}

TEST(BoundaryExtractionTest, sharedEdgesCancelInEitherDirection) {
    Group same({square(0, 1, 2, 3), square(1, 4, 5, 2)});  // b-c against c-b
    EXPECT_EQ(ids(PointList(extractBoundary(same.group)).get()),
              (std::vector<int>{0, 3, 1, 2, 4, 5}));
    Group ring({square(0, 1, 5, 4), square(1, 2, 6, 5), square(2, 3, 7, 6), square(3, 0, 4, 7)});
    // Every quad shares its side edges; outer (0-3) and inner (4-7) loops stay, in one list.
    EXPECT_EQ(ids(PointList(extractBoundary(ring.group)).get()),
              (std::vector<int>{0, 1, 5, 4, 2, 6, 3, 7}));
}

TEST(BoundaryExtractionTest, copiesCancelInPairsAndAnOddOneRemains) {
    // Three triangles share the edge 0-1; the first two copies cancel, the last stays.
    Group three({makePoly({0, 1, 2}, {{}, {}, {}}), makePoly({1, 0, 3}, {{}, {}, {}}),
                 makePoly({0, 1, 4}, {{}, {}, {}})});
    EXPECT_EQ(ids(PointList(extractBoundary(three.group)).get()),
              (std::vector<int>{0, 2, 1, 3, 4}));
}

TEST(BoundaryExtractionTest, aFanCancelsEveryEdgeAtItsHub) {
    // Forty triangles round point 0: every edge through the hub is shared and goes, the rim
    // stays in order.
    PolyGroup fan;
    SelectedPoly** link = &fan.firstMember;
    for (int i = 1; i <= 40; ++i) {
        *link = makePoly({0, i, i % 40 + 1}, {{}, {}, {}});
        link = &(*link)->nextMember;
    }
    std::vector<int> rim;
    for (int i = 1; i <= 40; ++i) {
        rim.push_back(i);
    }
    EXPECT_EQ(ids(PointList(extractBoundary(fan)).get()), rim);
}

TEST(BoundaryExtractionTest, degenerateGroupsYieldNothingOrOnePoint) {
    Group segment({makePoly({0, 1}, {{}, {}})});
    EXPECT_EQ(extractBoundary(segment.group), nullptr);
    Group twins({square(0, 1, 2, 3), square(0, 1, 2, 3)});
    EXPECT_EQ(extractBoundary(twins.group), nullptr);
    Group dot({makePoly({7}, {{}})});
    EXPECT_EQ(ids(PointList(extractBoundary(dot.group)).get()), (std::vector<int>{7}));
    Group empty({makePoly({}, {})});
    EXPECT_EQ(extractBoundary(empty.group), nullptr);
}

}  // namespace
}  // namespace tarvel
