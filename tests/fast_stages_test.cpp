// The fast forms of the partner search, the distance ordering, the frame transform and the
// angle matching against the straightforward procedures, over many generated inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "boundary/point_matching.h"
#include "geometry/frame_transform.h"
#include "grouping/distance_order.h"
#include "grouping/facing_index.h"
#include "grouping/partner_search.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();
const double kInf = std::numeric_limits<double>::infinity();

TEST(FrameTransformTest, matchesTheFrameBitForBit) {
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> any(-3, 3);
    std::vector<Vector3> normals{{0, 0, 1},  {0, 0, -1},    {0, 1, 0}, {0, -1, 0}, {1, 0, 0},
                                 {-1, 0, 0}, {-0.0, 0, -1}, {1, 1, 0}, {0, 0, 0},  {1e-300, 0, 1}};
    for (int i = 0; i < 300; ++i) {
        normals.push_back({any(random), any(random), any(random)});
    }
    for (const Vector3& n : normals) {
        AlignFrame frame = AlignFrame::fromNormal(n);
        frame.computeAngles();
        const FrameTransform fast(frame);
        for (int k = 0; k < 20; ++k) {
            Vector3 p(any(random), any(random), any(random));
            const Vector3 origin =
                k % 3 == 0 ? Vector3() : Vector3(any(random), any(random), any(random));
            const Vector3 q = fast.apply(p, origin);
            frame.transformPoints(&p, origin, 1);
            EXPECT_EQ(std::signbit(p.x), std::signbit(q.x));
            EXPECT_EQ(p, q) << n.x << " " << n.y << " " << n.z;
        }
    }
}

/// The order DistanceOrder gives for groups 0..n-1 against the list insertByDistance builds.
void expectSameOrder(std::vector<PolyGroup>& groups, const std::string& what) {
    const auto n = groups.size();
    DistanceOrder fast(0, groups[0].partnerDistance, n);
    PolyGroup* head = &groups[0];
    for (std::size_t i = 1; i < n; ++i) {
        fast.insert(static_cast<std::uint32_t>(i), groups[i].partner != nullptr,
                    groups[i].partnerDistance);
        head = insertByDistance(head, &groups[i]);
    }
    std::vector<std::uint32_t> expected;
    for (const PolyGroup* g = head; g != nullptr; g = g->next) {
        expected.push_back(static_cast<std::uint32_t>(g - groups.data()));
    }
    EXPECT_EQ(fast.items(), expected) << what;
    for (PolyGroup& g : groups) {
        g.partner = nullptr;
        g.next = nullptr;
    }
}

TEST(DistanceOrderTest, reproducesInsertionByDistance) {
    std::mt19937_64 random(11);
    const std::vector<double> values{0.0, 0.5, 1.0, 1.0, 2.0, 3.0, kNan};
    for (int round = 0; round < 400; ++round) {
        const int n = 1 + static_cast<int>(random() % 40);
        std::vector<PolyGroup> groups(static_cast<std::size_t>(n));
        PolyGroup partner;
        for (PolyGroup& g : groups) {
            if (random() % 4 != 0) {
                g.partner = &partner;
                g.partnerDistance =
                    values[random() % (round % 2 == 0 ? values.size() - 1 : values.size())];
            }
        }
        expectSameOrder(groups, "round " + std::to_string(round));
    }
}

TEST(DistanceOrderTest, sortsDistancesOfEveryMagnitudeAndBothZeros) {
    // Every group paired and no NaN: the order comes from one sort by the distances' bits.
    std::mt19937_64 random(12);
    const std::vector<double> values{-0.0, 0.0, 5e-324, 1e-310, 1e-20, 0.5,
                                     1.0,  1.0, 3.0,    7e15,   1e300, kInfinity};
    for (int round = 0; round < 60; ++round) {
        const std::size_t n = 1 + random() % (round < 50 ? 60 : 5000);
        std::vector<PolyGroup> groups(n);
        PolyGroup partner;
        for (PolyGroup& g : groups) {
            g.partner = &partner;
            g.partnerDistance = round % 3 == 0 ? values[random() % values.size()]
                                               : static_cast<double>(random() % 1000) * 0.125;
        }
        expectSameOrder(groups, "round " + std::to_string(round));
    }
}

/// Groups with the given normals and centres, in a vector that owns them.
struct Groups {
    std::vector<std::unique_ptr<PolyGroup>> owned;
    std::vector<PolyGroup*> list() const {
        std::vector<PolyGroup*> out;
        for (const auto& g : owned) {
            out.push_back(g.get());
        }
        return out;
    }
    void add(Vector3 normal, Vector3 centre) {
        owned.push_back(std::make_unique<PolyGroup>());
        owned.back()->normal = normal;
        owned.back()->centre = centre;
    }
    void clearPartners() {
        for (auto& g : owned) {
            g->partner = nullptr;
            g->partnerDistance = 0.0;
        }
    }
};

/// Facing layers on a coarse lattice, so that distances tie often, with some tilted, zero and
/// non-finite values mixed in when `wild` is set.
Groups facingLayers(std::mt19937_64& random, int count, bool wild) {
    Groups groups;
    std::uniform_int_distribution<int> cell(0, 4);
    std::uniform_real_distribution<double> tilt(-0.4, 0.4);
    const std::vector<double> oddValues{kNan, kInf, -kInf, 1e200, 1e-200, 0.0};
    for (int i = 0; i < count; ++i) {
        const bool up = random() % 2 == 0;
        Vector3 normal(0, 0, up ? 1.0 : -1.0);
        if (random() % 3 == 0) {
            normal = normal + Vector3(tilt(random), tilt(random), 0);
        }
        Vector3 centre(cell(random), cell(random), up ? 0.0 : 3.0 + cell(random) % 2);
        if (wild && random() % 6 == 0) {
            const double odd = oddValues[random() % oddValues.size()];
            switch (random() % 4) {
                case 0:
                    centre.x = odd;
                    break;
                case 1:
                    normal.z = odd;
                    break;
                case 2:
                    normal = Vector3();
                    break;
                default:
                    centre.z = odd;
                    break;
            }
        }
        groups.add(normal, centre);
    }
    return groups;
}

void expectSamePartner(const PolyGroup& fast, const PolyGroup& literal, const std::string& where) {
    EXPECT_EQ(fast.partner, literal.partner) << where;
    if (fast.partner != nullptr && literal.partner != nullptr) {
        EXPECT_TRUE(fast.partnerDistance == literal.partnerDistance ||
                    (std::isnan(fast.partnerDistance) && std::isnan(literal.partnerDistance)))
            << where;
    }
}

TEST(FacingIndexTest, everyGroupFindsWhatTheFullSearchFinds) {
    std::mt19937_64 random(3);
    for (int round = 0; round < 120; ++round) {
        Groups groups = facingLayers(random, round == 0 ? 700 : 2 + round % 60, round % 2 == 1);
        const std::vector<PolyGroup*> list = groups.list();
        std::vector<PolyGroup*> literalPartner;
        std::vector<double> literalDistance;
        for (PolyGroup* g : list) {
            AlignFrame frame = g->buildAlignFrame();
            frame.computeAngles();
            for (PolyGroup* candidate : list) {
                considerPartner(*g, frame, *candidate, PI / 4);
            }
            literalPartner.push_back(g->partner);
            literalDistance.push_back(g->partnerDistance);
        }
        groups.clearPartners();
        FacingIndex index(list);
        for (std::size_t i = 0; i < list.size(); ++i) {
            index.findPartner(static_cast<std::uint32_t>(i), 0, PI / 4);
            PolyGroup expected;
            expected.partner = literalPartner[i];
            expected.partnerDistance = literalDistance[i];
            expectSamePartner(*list[i], expected,
                              "round " + std::to_string(round) + " group " + std::to_string(i));
            expected.partner = nullptr;
        }
        groups.clearPartners();
    }
}

TEST(FacingIndexTest, pairingInListOrderWithRemovalsMatchesTheListWalk) {
    std::mt19937_64 random(5);
    for (int round = 0; round < 120; ++round) {
        Groups groups = facingLayers(random, 3 + round % 50, round % 3 == 0);
        const std::vector<PolyGroup*> list = groups.list();
        // The walk along a linked list, as the pairing does it.
        for (std::size_t i = 0; i + 1 < list.size(); ++i) {
            list[i]->next = list[i + 1];
        }
        std::vector<PolyGroup*> literal(list.size(), nullptr);
        for (PolyGroup* g = list[0]; g != nullptr; g = g->next) {
            findPartner(*g, *g, PI / 4);
        }
        for (std::size_t i = 0; i < list.size(); ++i) {
            literal[i] = list[i]->partner;
            list[i]->next = nullptr;
        }
        groups.clearPartners();
        FacingIndex index(list);
        std::vector<bool> taken(list.size(), false);
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (taken[i]) {
                continue;
            }
            const std::uint32_t p = index.findPartner(static_cast<std::uint32_t>(i),
                                                      static_cast<std::uint32_t>(i + 1), PI / 4);
            if (p != FacingIndex::kNone) {
                taken[p] = true;
                index.remove(p);
            }
            EXPECT_EQ(list[i]->partner, literal[i]) << "round " << round << " group " << i;
        }
        groups.clearPartners();
    }
}

/// A list with these angles, ids from 0.
struct AngleList {
    explicit AngleList(const std::vector<double>& angles) {
        BoundaryPoint** link = &head;
        for (double a : angles) {
            *link = new BoundaryPoint;
            (*link)->angle = a;
            entries.push_back(*link);
            link = &(*link)->next;
        }
    }
    ~AngleList() { delete head; }
    BoundaryPoint* head = nullptr;
    std::vector<BoundaryPoint*> entries;
};

TEST(MatchLoopsTest, searchByHalvesMatchesTheFullScan) {
    std::mt19937_64 random(13);
    const double top = 2.0 * PI;
    const std::vector<double> special{0.0, top, 1e-17, 2e-17, top - 1e-15, PI, 1.0, 1.0};
    for (int round = 0; round < 3000; ++round) {
        auto sortedAngles = [&](int n) {
            std::vector<double> a;
            for (int i = 0; i < n; ++i) {
                a.push_back(random() % 3 == 0
                                ? special[random() % special.size()]
                                : std::uniform_real_distribution<double>(0, top)(random));
            }
            std::sort(a.begin(), a.end());
            if (round % 10 == 0 && n > 1) {
                a[random() % a.size()] = kNan;  // a centre point somewhere in the list
            }
            return a;
        };
        const std::vector<double> firstAngles = sortedAngles(1 + static_cast<int>(random() % 12));
        const std::vector<double> secondAngles = sortedAngles(1 + static_cast<int>(random() % 12));
        AngleList first(firstAngles);
        AngleList second(secondAngles);
        matchLoops(first.head, second.head);

        std::vector<BoundaryPoint*> expectedFirst;
        std::vector<bool> chosen(secondAngles.size(), false);
        for (BoundaryPoint* r : first.entries) {
            BoundaryPoint* m = nearestByAngle(second.head, r->angle);
            expectedFirst.push_back(m);
            chosen[static_cast<std::size_t>(
                std::find(second.entries.begin(), second.entries.end(), m) -
                second.entries.begin())] = true;
        }
        for (std::size_t i = 0; i < first.entries.size(); ++i) {
            EXPECT_EQ(first.entries[i]->match, expectedFirst[i]) << "round " << round;
        }
        for (std::size_t i = 0; i < second.entries.size(); ++i) {
            BoundaryPoint* expected =
                chosen[i] ? nullptr : nearestByAngle(first.head, second.entries[i]->angle);
            EXPECT_EQ(second.entries[i]->match, expected) << "round " << round;
        }
    }
}

}  // namespace
}  // namespace tarvel
