#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "grouping/poly_group.h"
#include "runtime/record_arena.h"
#include "tests/address_sanitizer.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

using testing::makePoly;

/// A member whose destruction would show: groups never destroy their members, which live in
/// the run's arena until the run ends.
int destroyedProbes = 0;
class ProbePoly : public SelectedPoly {
public:
    ~ProbePoly() override { ++destroyedProbes; }
};

SelectedPoly* probe() {
    return testing::testRecords().create<ProbePoly>();
}

PolyGroup* groupAt(double distance, bool paired) {
    auto* g = new PolyGroup;
    g->partnerDistance = distance;
    if (paired) {
        g->partner = new PolyGroup;
    }
    return g;
}

std::vector<double> distances(const PolyGroup* head) {
    std::vector<double> out;
    for (; head != nullptr; head = head->next) {
        out.push_back(head->partner != nullptr ? head->partnerDistance : -1.0);
    }
    return out;
}

TEST(PolyGroupTest, centreIsTheMeanOfMemberCentroids) {
    PolyGroup one;
    one.firstMember = makePoly({0, 1, 2}, {{0, 0, 0}, {2, 0, 0}, {2, 2, 0}});
    computeCentre(one);
    EXPECT_EQ(one.centre, Vector3(4.0 / 3.0, 2.0 / 3.0, 0));

    // Two triangles and a quad: each centroid counts once, whatever its point count. A member
    // without points adds (0, 0, 0) and still counts.
    PolyGroup three;
    three.firstMember = makePoly({0, 1, 2}, {{0, 0, 0}, {3, 0, 0}, {0, 3, 0}});
    three.firstMember->nextMember =
        makePoly({3, 4, 5, 6}, {{4, 0, 0}, {6, 0, 0}, {6, 2, 0}, {4, 2, 0}});
    three.firstMember->nextMember->nextMember = makePoly({}, {});
    computeCentre(three);
    EXPECT_EQ(three.centre, Vector3(6.0 / 3.0, 2.0 / 3.0, 0));

    PolyGroup empty;
    computeCentre(empty);
    EXPECT_EQ(empty.centre, Vector3());
}

TEST(PolyGroupTest, seedNormalCountsTwiceAfterSumming) {
    PolyGroup g;
    g.firstMember = makePoly({0}, {{0, 0, 0}}, {0, 0, 1});
    g.firstMember->nextMember = makePoly({1}, {{0, 0, 0}}, {0, 1, 0});
    g.normal = g.firstMember->normal;
    addMemberNormals(g);
    EXPECT_EQ(g.normal, Vector3(0, 1, 2));
}

TEST(PolyGroupTest, summingInOneWalkGivesTheBitsOfTheTwoWalks) {
    // Negative zeros, rounding in the sums and the division, and a member without points.
    const auto fill = [](PolyGroup& g) {
        g.firstMember = makePoly({0, 1, 2}, {{-0.0, 0.1, 1e16}, {0.2, -0.0, 1}, {0.3, 0.7, -1}},
                                 {-0.0, 0.1, 0.3});
        g.firstMember->nextMember = makePoly({}, {}, {0.2, -0.0, 1e-17});
        g.firstMember->nextMember->nextMember =
            makePoly({3, 4}, {{1.0 / 3, -0.0, 2}, {0.1, -0.0, 3}}, {1, 1e16, -0.0});
        g.normal = g.firstMember->normal;
    };
    PolyGroup apart;
    fill(apart);
    addMemberNormals(apart);
    computeCentre(apart);
    PolyGroup together;
    fill(together);
    sumMembers(together);
    const auto bits = [](const Vector3& v) {
        return std::vector<std::uint64_t>{std::bit_cast<std::uint64_t>(v.x),
                                          std::bit_cast<std::uint64_t>(v.y),
                                          std::bit_cast<std::uint64_t>(v.z)};
    };
    EXPECT_EQ(bits(together.normal), bits(apart.normal));
    EXPECT_EQ(bits(together.centre), bits(apart.centre));
    PolyGroup one;
    one.firstMember = makePoly({0}, {{-0.0, 0, 0}}, {0, 0, 1});
    sumMembers(one);
    EXPECT_FALSE(std::signbit(one.centre.x));  // added to (0, 0, 0), as computeCentre does
}

TEST(PolyGroupTest, insertByDistanceGoesBeforeEqualsExceptAtTheHead) {
    PolyGroup* head = groupAt(5, true);
    head->next = groupAt(7, true);
    head = insertByDistance(head, groupAt(6, true));
    EXPECT_EQ(distances(head), (std::vector<double>{5, 6, 7}));
    head = insertByDistance(head, groupAt(5, true));  // equal to the head: goes second
    EXPECT_EQ(distances(head), (std::vector<double>{5, 5, 6, 7}));
    head = insertByDistance(head, groupAt(4, true));
    EXPECT_EQ(distances(head), (std::vector<double>{4, 5, 5, 6, 7}));
    delete head;
}

TEST(PolyGroupTest, unpairedGroupsAreAppendedAndPassedOver) {
    PolyGroup* head = groupAt(5, true);
    head = insertByDistance(head, groupAt(0, false));
    head = insertByDistance(head, groupAt(7, true));
    EXPECT_EQ(distances(head), (std::vector<double>{5, -1, 7}));
    delete head;
}

TEST(PolyGroupTest, sortingSequencesGiveTheStableAscendingOrder) {
    // Inserted in this order, as the polygon ordering does with partner distances.
    auto sorted = [](std::vector<double> order) {
        PolyGroup* head = groupAt(order[0], true);
        for (std::size_t i = 1; i < order.size(); ++i) {
            head = insertByDistance(head, groupAt(order[i], true));
        }
        std::vector<double> out = distances(head);
        delete head;
        return out;
    };
    EXPECT_EQ(sorted({5, 3, 3, 4}), (std::vector<double>{3, 3, 4, 5}));
    EXPECT_EQ(sorted({5, 3, 3, 4, 3}), (std::vector<double>{3, 3, 3, 4, 5}));
}

TEST(PolyGroupTest, keepPairedDropsUnpairedGroupsAndLeavesTheirMembers) {
    destroyedProbes = 0;
    PolyGroup* head = groupAt(0, false);
    head->firstMember = probe();
    head->next = groupAt(2, true);
    head->next->next = groupAt(0, false);
    head->next->next->firstMember = probe();
    head->next->next->next = groupAt(3, true);
    head = keepPaired(head);
    EXPECT_EQ(distances(head), (std::vector<double>{2, 3}));
    EXPECT_EQ(destroyedProbes, 0);
    delete head;

    PolyGroup* none = groupAt(0, false);
    none->next = groupAt(0, false);
    EXPECT_EQ(keepPaired(none), nullptr);
    EXPECT_EQ(keepPaired(nullptr), nullptr);
    EXPECT_EQ(listLength(nullptr), 0);
}

TEST(PolyGroupTest, destroyingTheHeadFreesEveryGroupAndPartnerOnce) {
    destroyedProbes = 0;
    auto* head = new PolyGroup;
    PolyGroup* g = head;
    for (int i = 0; i < 4; ++i) {
        g->firstMember = probe();
        g->firstMember->nextMember = probe();
        g->partner = new PolyGroup;
        g->partner->firstMember = probe();
        g->partner->partner = new PolyGroup;  // a partner's own partner goes too
        g->partner->partner->firstMember = probe();
        g->partner->next = new PolyGroup;
        g->partner->next->firstMember = probe();
        g->next = i < 3 ? new PolyGroup : nullptr;
        g = g->next;
    }
    delete head;  // the sanitizer build checks that every group went, once
    EXPECT_EQ(destroyedProbes, 0);
}

TEST(PolyGroupTest, aMillionGroupsAreDestroyedWithoutRecursion) {
    auto* head = new PolyGroup;
    PolyGroup* g = head;
    for (int i = 1; i < 1'000'000; ++i) {
        g->next = new PolyGroup;
        g = g->next;
    }
    EXPECT_EQ(listLength(head), 1'000'000);
    delete head;
}

TEST(PolyGroupTest, groupsMadeWhileARunArenaIsNamedLiveInItAndGoWithIt) {
    RecordArena arena;
    EXPECT_EQ(RunArena::current(), nullptr);
    constexpr int kGroups = 10000;
    {
        const RunArena named(arena);
        EXPECT_EQ(RunArena::current(), &arena);
        PolyGroup* head = groupAt(0, false);
        PolyGroup* g = head;
        for (int i = 1; i < kGroups; ++i) {
            g->next = groupAt(i, i % 2 == 0);
            g = g->next;
        }
        // Freeing groups one by one (here the unpaired ones) and as a list frees nothing
        // while the arena is named: it holds them all (but under the address sanitizer, which
        // keeps them on the heap so that it sees each one freed).
        head = keepPaired(head);
        EXPECT_EQ(listLength(head), kGroups / 2 - 1);
        delete head;
        EXPECT_EQ(arena.reserved() >= kGroups * sizeof(PolyGroup), !testing::kAddressSanitized);
    }
    EXPECT_EQ(RunArena::current(), nullptr);
    // Outside a run a group is the heap's again.
    const std::size_t reserved = arena.reserved();
    delete groupAt(1, true);
    EXPECT_EQ(arena.reserved(), reserved);
}

}  // namespace
}  // namespace tarvel
