#include <gtest/gtest.h>

#include <cmath>

#include "grouping/pairing.h"
#include "grouping/partner_search.h"
#include "grouping/polygon_ordering.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

using testing::makePoly;

/// A list of measured groups, each given as its normal and centre.
struct GroupList {
    explicit GroupList(std::initializer_list<std::pair<Vector3, Vector3>> groups) {
        PolyGroup** link = &head;
        for (const auto& [normal, centre] : groups) {
            *link = new PolyGroup;
            (*link)->normal = normal;
            (*link)->centre = centre;
            all.push_back(*link);
            link = &(*link)->next;
        }
    }
    ~GroupList() { delete head; }

    /// Runs the pairing and pruning as the activation does.
    void pairAndPrune() {
        pairGroups(head);
        head = keepPaired(head);
    }

    PolyGroup* head = nullptr;
    std::vector<PolyGroup*> all;  // in the original order; not owning
};

const Vector3 kUp(0, 0, 1);
const Vector3 kDown(0, 0, -1);

Vector3 tiltedFromUp(double degrees) {
    const double r = degrees * std::acos(-1.0) / 180.0;
    return {std::sin(r), 0, std::cos(r)};
}

TEST(PartnerSearchTest, facingPatchesPairButBackToBackOrSameWayDoNot) {
    GroupList facing({{kUp, {0, 0, 0}}, {kDown, {0, 0, 5}}});
    facing.pairAndPrune();
    ASSERT_EQ(facing.head, facing.all[0]);
    EXPECT_EQ(facing.head->partner, facing.all[1]);
    EXPECT_EQ(facing.head->next, nullptr);

    GroupList backToBack({{kUp, {0, 0, 0}}, {kDown, {0, 0, -5}}});
    backToBack.pairAndPrune();
    EXPECT_EQ(backToBack.head, nullptr);

    GroupList sameWay({{kUp, {0, 0, 0}}, {kUp, {0, 0, 5}}});
    sameWay.pairAndPrune();
    EXPECT_EQ(sameWay.head, nullptr);
}

TEST(PartnerSearchTest, aCandidateOnThePlaneIsInFront) {
    GroupList onPlane({{kUp, {0, 0, 0}}, {kDown, {3, 0, 0}}});
    onPlane.pairAndPrune();
    ASSERT_NE(onPlane.head, nullptr);
    EXPECT_EQ(onPlane.head->partnerDistance, 3.0);
}

TEST(PartnerSearchTest, twoGroupsNeedJustOverNinetyDegreesThreeNeedAHundredAndThirtyFive) {
    // The third group faces away from both and pairs with nothing.
    const std::pair<Vector3, Vector3> bystander{{0, -1, 0}, {0, -50, 0}};
    for (double degrees : {100.0, 120.0}) {
        GroupList two({{kUp, {0, 0, 0}}, {tiltedFromUp(degrees), {0, 0, 5}}});
        two.pairAndPrune();
        EXPECT_NE(two.head, nullptr) << degrees;
        GroupList three({{kUp, {0, 0, 0}}, {tiltedFromUp(degrees), {0, 0, 5}}, bystander});
        three.pairAndPrune();
        EXPECT_EQ(three.head, nullptr) << degrees;
    }
    GroupList perpendicular({{kUp, {0, 0, 0}}, {{1, 0, 0}, {0, 0, 5}}});
    perpendicular.pairAndPrune();
    EXPECT_EQ(perpendicular.head, nullptr);

    // The angle computes to the double nearest 3 pi / 4, which lies below PI - PI / 4.
    const Vector3 at135(1, 0, -1);
    ASSERT_EQ(kUp.angleBetween(at135), 3 * std::acos(-1.0) / 4);
    GroupList three({{kUp, {0, 0, 0}}, {at135, {0, 0, 5}}, bystander});
    three.pairAndPrune();
    EXPECT_EQ(three.head, nullptr);
    GroupList two({{kUp, {0, 0, 0}}, {at135, {0, 0, 5}}});
    two.pairAndPrune();
    EXPECT_NE(two.head, nullptr);
}

TEST(PartnerSearchTest, nearestToTheAxisWinsAndTiesGoToTheFirst) {
    GroupList nearer({{kUp, {0, 0, 0}}, {kDown, {3, 0, 2}}, {kDown, {1, 0, 9}}});
    nearer.pairAndPrune();
    ASSERT_EQ(nearer.head, nearer.all[0]);
    EXPECT_EQ(nearer.head->partner, nearer.all[2]);
    EXPECT_EQ(nearer.head->partnerDistance, 1.0);
    // The skipped second group had nothing after it left, so it is gone.
    EXPECT_EQ(nearer.head->next, nullptr);

    GroupList tie({{kUp, {0, 0, 0}}, {kDown, {2, 0, 2}}, {kDown, {0, 2, 4}}});
    tie.pairAndPrune();
    ASSERT_NE(tie.head, nullptr);
    EXPECT_EQ(tie.all[0]->partner, tie.all[1]);
}

TEST(PartnerSearchTest, aTakenPartnerLeavesTheListAndNeverSearches) {
    // G1 faces G2 and G3 and takes G3 (nearer its axis); G2 then has no candidate after it.
    GroupList list({{kUp, {0, 0, 0}}, {kDown, {4, 0, 5}}, {kDown, {0, 0, 5}}, {kUp, {9, 9, -30}}});
    pairGroups(list.head);
    EXPECT_EQ(list.all[0]->partner, list.all[2]);
    EXPECT_EQ(list.all[2]->next, nullptr);
    EXPECT_EQ(list.all[0]->next, list.all[1]);
    // G2 faces G4 (below it, pointing up), which is after it and leaves the list in turn.
    EXPECT_EQ(list.all[1]->partner, list.all[3]);
    EXPECT_EQ(list.all[1]->next, nullptr);
}

TEST(PartnerSearchTest, aZeroNormalNeverPairs) {
    GroupList list({{Vector3(), {0, 0, 0}}, {kDown, {0, 0, 5}}});
    list.pairAndPrune();
    EXPECT_EQ(list.head, nullptr);
}

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
