// The partner search through the facing index against the straightforward search of every
// group, over many generated layers of groups.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "grouping/facing_index.h"
#include "grouping/partner_search.h"
#include "tests/fixtures.h"

namespace tarvel {
namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

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

/// The index over the groups of `list`, in list order.
FacingIndex indexOver(const std::vector<PolyGroup*>& list) {
    return FacingIndex(static_cast<std::uint32_t>(list.size()), [&list](std::uint32_t g) {
        return FacingSite{list[g]->centre, list[g]->normal};
    });
}

/// What the index found, as the group's partner link and distance.
void takeFound(const std::vector<PolyGroup*>& list, std::size_t g, FacingIndex::Found found) {
    list[g]->partner = found.index == kNone ? nullptr : list[found.index];
    list[g]->partnerDistance = found.distance;
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
        FacingIndex index = indexOver(list);
        for (std::size_t i = 0; i < list.size(); ++i) {
            takeFound(list, i, index.nearestFacing(static_cast<std::uint32_t>(i), 0, PI / 4));
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

/// Groups around a random axis whose normals lie within a few units in the last place of the
/// angle limit and whose centres lie on, just off or well off each other's planes: where the
/// cheap cosine and height tests must hand over to the exact ones.
Groups atTheLimits(std::mt19937_64& random, int count) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    const Vector3 tilted(unit(random), unit(random), unit(random));
    const Vector3 axis = tilted / std::sqrt(dot(tilted, tilted));
    const Vector3 across = cross(axis, Vector3(0.3, -0.7, 0.2));
    const Vector3 side = across / std::sqrt(dot(across, across));
    const double heights[] = {0.0, 1e-15, -1e-15, 1e-9, -1e-9, 0.5, 2.0};
    Groups groups;
    for (int i = 0; i < count; ++i) {
        const Vector3 base = Vector3(std::round(unit(random) * 3), std::round(unit(random) * 3), 0);
        if (random() % 2 == 0) {
            groups.add(axis, base);
            continue;
        }
        // A normal turned from straight back by about the limit, a few ulps either way: the
        // angle between the normals is then close to PI - PI / 4.
        const double limitTurn = std::numbers::pi - (PI - PI / 4);
        const double turn =
            limitTurn + static_cast<double>(static_cast<int>(random() % 9) - 4) * 2e-16;
        const Vector3 normal = -1.0 * std::cos(turn) * axis + std::sin(turn) * side;
        groups.add(normal, base + heights[random() % 7] * axis);
    }
    return groups;
}

/// Checks that searching for every group's partner at once finds what the full search of
/// every candidate finds for each.
void expectAllSearchesFindWhatTheFullSearchFinds(Groups& groups, int round) {
    const std::vector<PolyGroup*> list = groups.list();
    std::vector<PolyGroup> literal(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        AlignFrame frame = list[i]->buildAlignFrame();
        frame.computeAngles();
        for (PolyGroup* candidate : list) {
            considerPartner(*list[i], frame, *candidate, PI / 4);
        }
        literal[i].partner = list[i]->partner;
        literal[i].partnerDistance = list[i]->partnerDistance;
    }
    groups.clearPartners();
    std::vector<FacingIndex::Found> found(list.size());
    indexOver(list).nearestFacingForEach(PI / 4, found);
    for (std::size_t i = 0; i < list.size(); ++i) {
        takeFound(list, i, found[i]);
        expectSamePartner(*list[i], literal[i],
                          "round " + std::to_string(round) + " group " + std::to_string(i));
        literal[i].partner = nullptr;
    }
    groups.clearPartners();
}

TEST(FacingIndexTest, allSearchesAtTheLimitsFindWhatTheFullSearchFinds) {
    std::mt19937_64 random(11);
    for (int round = 0; round < 60; ++round) {
        Groups groups = atTheLimits(random, 20 + round * 7);
        expectAllSearchesFindWhatTheFullSearchFinds(groups, round);
    }
}

/// Groups scattered through a slab about a random direction (or, every third round, a
/// coordinate axis), facing along it both ways, most of them tilted: partners lie at every
/// distance from a group's axis, and the tree is deep enough that searches climb many levels
/// from where they start. In the rounds along a coordinate axis, the untilted groups' own axes
/// have two components that are exactly zero.
Groups scatteredAcross(std::mt19937_64& random, int count, int round) {
    std::uniform_real_distribution<double> unit(-1.0, 1.0);
    Vector3 axis(0, 0, round % 2 == 0 ? 1.0 : -1.0);
    if (round % 3 != 0) {
        const Vector3 tilted(unit(random), unit(random), unit(random));
        axis = tilted / std::sqrt(dot(tilted, tilted));
    }
    const Vector3 across = cross(axis, Vector3(0.3, -0.7, 0.2));
    const Vector3 side = across / std::sqrt(dot(across, across));
    const Vector3 sideToo = cross(axis, side);
    const double spread = 20.0 + round * 5.0;
    Groups groups;
    for (int i = 0; i < count; ++i) {
        const double sign = random() % 2 == 0 ? 1.0 : -1.0;
        const double tilt = i % 4 == 0 ? 0.0 : 0.3;
        const Vector3 normal =
            sign * axis + tilt * unit(random) * side + tilt * unit(random) * sideToo;
        const Vector3 centre = spread * unit(random) * side + spread * unit(random) * sideToo +
                               (sign > 0 ? 0.0 : 4.0 + unit(random)) * axis;
        groups.add(normal, centre);
    }
    return groups;
}

TEST(FacingIndexTest, searchesThatClimbFarFindWhatTheFullSearchFinds) {
    std::mt19937_64 random(23);
    for (int round = 0; round < 6; ++round) {
        Groups groups = scatteredAcross(random, 900, round);
        expectAllSearchesFindWhatTheFullSearchFinds(groups, round);
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
        FacingIndex index = indexOver(list);
        std::vector<bool> taken(list.size(), false);
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (taken[i]) {
                continue;
            }
            const FacingIndex::Found found = index.nearestFacing(
                static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(i + 1), PI / 4);
            takeFound(list, i, found);
            const std::uint32_t p = found.index;
            if (p != kNone) {
                taken[p] = true;
                index.remove(p);
            }
            EXPECT_EQ(list[i]->partner, literal[i]) << "round " << round << " group " << i;
        }
        groups.clearPartners();
    }
}

}  // namespace
}  // namespace tarvel
