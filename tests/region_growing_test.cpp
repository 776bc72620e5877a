#include <gtest/gtest.h>
#include <pthread.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "boundary/boundary_extraction.h"
#include "grouping/grouped_polygons.h"
#include "grouping/poly_group.h"
#include "grouping/polygons_by_point.h"
#include "grouping/region_growing.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

using testing::makePoly;

/// A table of captured polygons, grouped as the activation groups them.
struct Grouping {
    explicit Grouping(std::vector<SelectedPoly*> polys) : table(std::move(polys)) {
        untaken = static_cast<std::int32_t>(table.size());
    }
    ~Grouping() { delete head; }

    void form() {
        formGroups(head, table.data(), static_cast<std::int32_t>(table.size()), untaken);
    }

    /// Member chains of every group, as indexes of the polygons' original slots.
    std::vector<std::vector<int>> chains(const std::vector<SelectedPoly*>& original) const {
        std::vector<std::vector<int>> out;
        for (const PolyGroup* g = head; g != nullptr; g = g->next) {
            out.emplace_back();
            for (const SelectedPoly* m = g->firstMember; m != nullptr; m = m->nextMember) {
                for (std::size_t i = 0; i < original.size(); ++i) {
                    if (original[i] == m) {
                        out.back().push_back(static_cast<int>(i));
                    }
                }
            }
        }
        return out;
    }

    std::vector<SelectedPoly*> table;
    PolyGroup* head = nullptr;
    std::int32_t untaken = 0;  // the activation's count of polygons no group has taken
};

using Chains = std::vector<std::vector<int>>;

/// A quad of the given point ids; positions do not matter to the grouping.
SelectedPoly* quad(std::initializer_list<int> ids, Vector3 normal = {0, 0, 1}) {
    return makePoly(ids, {{}, {}, {}, {}}, normal);
}

TEST(RegionGrowingTest, separatePatchesFormGroupsInTableOrder) {
    std::vector<SelectedPoly*> polys{quad({10, 11, 12, 13}), quad({0, 1, 2, 3}), quad({1, 4, 5, 2}),
                                     quad({11, 14, 15, 12})};
    Grouping g(polys);
    g.form();
    EXPECT_EQ(g.chains(polys), (Chains{{0, 3}, {1, 2}}));
    EXPECT_EQ(g.untaken, 0);
    for (SelectedPoly* slot : g.table) {
        EXPECT_EQ(slot, nullptr);
    }
}

TEST(RegionGrowingTest, closingEdgeFirstAndTakenPolygonsGoRightAfterTheSeed) {
    // Seed a,b,c,d = 0,1,2,3: N1 holds the closing edge d-a, N2 the first edge a-b.
    std::vector<SelectedPoly*> polys{quad({0, 1, 2, 3}), quad({0, 4, 5, 1}), quad({3, 6, 7, 0})};
    Grouping g(polys);
    g.form();
    EXPECT_EQ(g.chains(polys), (Chains{{0, 1, 2}}));  // seed, N2, N1
}

TEST(RegionGrowingTest, depthFirstThroughEachNeighbourBeforeTheNextEdge) {
    std::vector<SelectedPoly*> polys{quad({0, 1, 2, 3}), quad({1, 4, 5, 2}), quad({4, 6, 7, 5}),
                                     quad({3, 2, 8, 9}), quad({9, 8, 10, 11})};
    Grouping g(polys);
    g.form();
    // Edges of the seed: 3-0 (none), 0-1 (none), 1-2 -> poly 1, whose edges lead on to poly 2
    // before the seed's edge 2-3 reaches poly 3 and then poly 4.
    EXPECT_EQ(g.chains(polys), (Chains{{0, 4, 3, 2, 1}}));
}

TEST(RegionGrowingTest, edgeEndsNeedNotBeNeighboursInTheOtherPolygon) {
    // Poly 1 holds 0 and 2, the ends of the seed's triangle edge, only on its diagonal.
    std::vector<SelectedPoly*> polys{makePoly({0, 1, 2}, {{}, {}, {}}), quad({0, 5, 2, 6}),
                                     quad({2, 7, 8, 9})};
    Grouping g(polys);
    g.form();
    EXPECT_EQ(g.chains(polys), (Chains{{0, 1}, {2}}));  // a shared point alone is no edge
}

TEST(RegionGrowingTest, turningStripIsCutWhereItPassesSixtyDegreesFromTheSeed) {
    // Each quad turns 31 degrees from the last: the third is 62 degrees from the seed.
    std::vector<SelectedPoly*> polys;
    for (int i = 0; i < 4; ++i) {
        const double r = i * 31.0 * std::acos(-1.0) / 180.0;
        polys.push_back(
            quad({2 * i, 2 * i + 1, 2 * i + 3, 2 * i + 2}, {0, std::sin(r), std::cos(r)}));
    }
    Grouping g(polys);
    g.form();
    EXPECT_EQ(g.chains(polys), (Chains{{0, 1}, {2, 3}}));
}

TEST(RegionGrowingTest, sixtyDegreesTakenOnlyBelowTheComputedLimit) {
    const Vector3 seed(0, 0, 1);
    const Vector3 atNearestDouble(1.7320508075688774, 0, 1);  // acos(0.5): below PI / 3
    const Vector3 atLimit(1.7320508075688865, 0, 1);          // exactly PI / 3
    ASSERT_LT(seed.angleBetween(atNearestDouble), PI / 3);
    ASSERT_EQ(seed.angleBetween(atLimit), PI / 3);

    std::vector<SelectedPoly*> taken{quad({0, 1, 2, 3}, seed), quad({1, 4, 5, 2}, atNearestDouble)};
    Grouping a(taken);
    a.form();
    EXPECT_EQ(a.chains(taken), (Chains{{0, 1}}));

    std::vector<SelectedPoly*> refused{quad({0, 1, 2, 3}, seed), quad({1, 4, 5, 2}, atLimit)};
    Grouping b(refused);
    b.form();
    EXPECT_EQ(b.chains(refused), (Chains{{0}, {1}}));
}

TEST(RegionGrowingTest, onlyTheLowestIndexedHolderOfAnEdgeIsTried) {
    // Polys 1 and 2 both hold the seed's edge 1-2; 1 fails the angle test, so 2 is not tried
    // from that edge and forms its own group with 1 left for a third.
    std::vector<SelectedPoly*> polys{quad({0, 1, 2, 3}), quad({1, 4, 5, 2}, {0, 0, -1}),
                                     quad({1, 6, 7, 2})};
    Grouping g(polys);
    g.form();
    EXPECT_EQ(g.chains(polys), (Chains{{0}, {1}, {2}}));
}

TEST(RegionGrowingTest, degeneratePolygonsFollowTheirOwnEdges) {
    // One point: its edge a-a finds any polygon holding a. Two points: one edge, looked at
    // twice. No points: no edge. A zero normal passes every test as seed and as neighbour.
    std::vector<SelectedPoly*> polys{makePoly({0}, {{}}, {0, 0, 0}), quad({0, 1, 2, 3}, {0, 0, -1}),
                                     makePoly({}, {}), makePoly({1, 2}, {{}, {}}, {0, 1, 0})};
    Grouping g(polys);
    g.form();
    EXPECT_EQ(g.chains(polys), (Chains{{0, 3, 1}, {2}}));
}

TEST(RegionGrowingTest, keptMembersFollowTheChainsAndGiveTheSameBoundaries) {
    // Soups of quads, triangles and degenerate polygons over a few points, with repeated and
    // null identifiers and normals that split them into groups: the growth's numbers must give
    // each group the boundary that numbering its own points gives.
    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::vector<SelectedPoly*> polys;
        const int points = 4 + static_cast<int>(random() % 12);
        for (int p = 0; p < 40; ++p) {
            const int n = static_cast<int>(random() % 6);
            std::vector<int> ids;
            for (int k = 0; k < n; ++k) {
                ids.push_back(static_cast<int>(random() % static_cast<unsigned>(points)));
            }
            SelectedPoly* poly =
                makePoly({}, {}, random() % 4 == 0 ? Vector3(0, 0, -1) : Vector3(0, 0, 1));
            poly->pointCount = n;
            poly->pointIds = testing::testRecords().array<LWPntID>(ids.size());
            poly->positions = testing::testRecords().array<Vector3>(ids.size());
            for (int k = 0; k < n; ++k) {
                // Point 0 stands for a null identifier, which no host point has.
                poly->pointIds[k] =
                    ids[k] == 0 ? nullptr : testing::pointId(static_cast<std::uintptr_t>(ids[k]));
            }
            polys.push_back(poly);
        }
        Grouping g(polys);
        const GroupedPolygons kept = formGroups(
            g.head, g.table.data(), static_cast<std::int32_t>(g.table.size()), g.untaken);
        ASSERT_FALSE(kept.empty());
        for (const PolyGroup* group = g.head; group != nullptr; group = group->next) {
            const auto members = kept.membersOf(*group);
            std::size_t k = 0;
            for (const SelectedPoly* m = group->firstMember; m != nullptr; m = m->nextMember) {
                ASSERT_LT(k, members.size());
                EXPECT_EQ(&kept.polygons().record(members[k++]), m);
            }
            EXPECT_EQ(k, members.size());
            std::unique_ptr<BoundaryPoint> own(extractBoundary(*group));
            std::unique_ptr<BoundaryPoint> numbered(extractBoundary(*group, &kept));
            const BoundaryPoint* a = own.get();
            const BoundaryPoint* b = numbered.get();
            for (; a != nullptr && b != nullptr; a = a->next, b = b->next) {
                EXPECT_EQ(a->pointId, b->pointId) << "round " << round;
                EXPECT_EQ(a->position, b->position) << "round " << round;
            }
            EXPECT_TRUE(a == nullptr && b == nullptr) << "round " << round;
        }
    }
}

TEST(RegionGrowingTest, nothingCapturedFormsOneEmptyGroup) {
    Grouping g({});
    g.form();
    ASSERT_NE(g.head, nullptr);
    EXPECT_EQ(g.head->firstMember, nullptr);
    EXPECT_EQ(listLength(g.head), 1);
}

void* growLongStrip(void* result) {
    constexpr int kQuads = 4000;
    std::vector<SelectedPoly*> polys;
    for (int i = 0; i < kQuads; ++i) {
        polys.push_back(quad({2 * i, 2 * i + 1, 2 * i + 3, 2 * i + 2}));
    }
    Grouping g(polys);
    g.form();
    *static_cast<int*>(result) = listLength(g.head) == 1 ? kQuads : 0;
    return nullptr;
}

TEST(RegionGrowingTest, aLongStripGrowsOnASmallStack) {
    // Depth-first growth along a strip is as deep as the strip is long; it must not be the
    // call stack that holds it.
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    int grown = 0;
    ASSERT_EQ(pthread_create(&thread, &attr, growLongStrip, &grown), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    EXPECT_EQ(grown, 4000);
}

}  // namespace
}  // namespace tarvel
