#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "boundary/angular_order.h"
#include "boundary/boundary_extraction.h"
#include "boundary/box_projection.h"
#include "boundary/point_matching.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

using testing::makePoly;
using testing::pointId;

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

/// The point numbers of a list, in list order.
std::vector<int> ids(const BoundaryPoint* entry) {
    std::vector<int> out;
    for (; entry != nullptr; entry = entry->next) {
        out.push_back(static_cast<int>(reinterpret_cast<std::uintptr_t>(entry->pointId) - 1));
    }
    return out;
}

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

TEST(BoundaryListTest, countAndContainsFromAnyEntry) {
    Group one({square(0, 1, 2, 3)});
    PointList list(extractBoundary(one.group));
    EXPECT_EQ(count(list.get()), 4);
    EXPECT_EQ(count(list->next->next), 2);
    EXPECT_EQ(count(nullptr), 0);
    EXPECT_TRUE(contains(list.get(), pointId(2)));
    EXPECT_FALSE(contains(list->next->next->next, pointId(1)));
    EXPECT_FALSE(contains(nullptr, pointId(0)));
}

/// A list of points at the given positions (ids 0, 1, ...), positions owned alongside.
struct Loop {
    explicit Loop(std::vector<Vector3> at) : positions(std::move(at)) {
        BoundaryPoint** link = &head;
        for (std::size_t i = 0; i < positions.size(); ++i) {
            *link = new BoundaryPoint;
            (*link)->position = &positions[i];
            (*link)->pointId = pointId(i);
            link = &(*link)->next;
        }
    }
    ~Loop() { delete head; }
    std::vector<Vector3> positions;
    BoundaryPoint* head = nullptr;
};

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

/// A sorted list with the given angles, positions unused.
struct Angles {
    explicit Angles(std::vector<double> angles, int firstId = 0) {
        BoundaryPoint** link = &head;
        for (double a : angles) {
            *link = new BoundaryPoint;
            (*link)->angle = a;
            (*link)->pointId = pointId(static_cast<std::uintptr_t>(firstId++));
            link = &(*link)->next;
        }
    }
    ~Angles() { delete head; }
    BoundaryPoint* at(int i) const {
        BoundaryPoint* e = head;
        while (i-- > 0) {
            e = e->next;
        }
        return e;
    }
    BoundaryPoint* head = nullptr;
};

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

TEST(MatchLoopsTest, everyFirstEntryLinksAndUnchosenSecondEntriesLinkBack) {
    Angles first({0.0, 0.1, 3.0, 3.1});
    Angles second({0.05, 1.5, 3.05}, 10);
    matchLoops(first.head, second.head);
    EXPECT_EQ(first.at(0)->match, second.at(0));
    EXPECT_EQ(first.at(1)->match, second.at(0));
    EXPECT_EQ(first.at(2)->match, second.at(2));
    EXPECT_EQ(first.at(3)->match, second.at(2));
    EXPECT_EQ(second.at(0)->match, nullptr);
    EXPECT_EQ(second.at(1)->match, first.at(1));  // 1.5 links back to 0.1
    EXPECT_EQ(second.at(2)->match, nullptr);
    EXPECT_EQ(second.at(1)->matched, 0);
    EXPECT_EQ(second.at(2)->matched, 1);

    Angles wrapFirst({0.8, 2.4, 3.9, 5.5});
    Angles wrapSecond({0.1, 2.0, 4.0}, 10);
    matchLoops(wrapFirst.head, wrapSecond.head);
    EXPECT_EQ(wrapFirst.at(3)->match, wrapSecond.at(0));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(wrapSecond.at(i)->match, nullptr);
    }
}

}  // namespace
}  // namespace tarvel
