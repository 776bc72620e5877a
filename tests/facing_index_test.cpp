// The partner search through the facing index against the straightforward search of every
// group, over many generated layers of groups.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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

}  // namespace
}  // namespace tarvel
