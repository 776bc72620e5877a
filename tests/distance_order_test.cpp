// The distance ordering against insertion by distance into a linked list.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "grouping/distance_order.h"
#include "grouping/poly_group.h"

namespace tarvel {
namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();
const double kInfinity = std::numeric_limits<double>::infinity();

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
    const auto items = fast.items();
    EXPECT_EQ(std::vector<std::uint32_t>(items.begin(), items.end()), expected) << what;
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
    // Every group paired and no NaN: the order comes from one sort by the distances.
    std::mt19937_64 random(12);
    const std::vector<double> values{-0.0, 0.0, 5e-324, 1e-310, 1e-20, 0.5,
                                     1.0,  1.0, 3.0,    7e15,   1e300, kInfinity};
    for (int round = 0; round < 60; ++round) {
        const std::size_t n = 1 + random() % (round < 50 ? 60 : 5000);
        std::vector<PolyGroup> groups(n);
        PolyGroup partner;
        for (PolyGroup& g : groups) {
            g.partner = &partner;
            // Spread over every magnitude; a few values repeated; or crowded within a
            // millionth, where only the low bits of the fraction tell them apart.
            g.partnerDistance =
                round % 3 == 0 ? values[random() % values.size()]
                : round % 3 == 1
                    ? static_cast<double>(random() % 1000) * 0.125
                    : std::ldexp(1.0 + std::ldexp(static_cast<double>(random() % 64), -45),
                                 static_cast<int>(random() % 3));
        }
        expectSameOrder(groups, "round " + std::to_string(round));
    }
}

}  // namespace
}  // namespace tarvel
