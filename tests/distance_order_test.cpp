// The distance ordering against insertion by distance into a linked list.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "grouping/distance_order.h"
#include "grouping/poly_group.h"

namespace tarvel {
namespace {

const double kNan = std::numeric_limits<double>::quiet_NaN();

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
        DistanceOrder fast(0, groups[0].partnerDistance, groups.size());
        PolyGroup* head = &groups[0];
        for (int i = 1; i < n; ++i) {
            fast.insert(static_cast<std::uint32_t>(i), groups[i].partner != nullptr,
                        groups[i].partnerDistance);
            head = insertByDistance(head, &groups[static_cast<std::size_t>(i)]);
        }
        std::vector<std::uint32_t> expected;
        for (const PolyGroup* g = head; g != nullptr; g = g->next) {
            expected.push_back(static_cast<std::uint32_t>(g - groups.data()));
        }
        EXPECT_EQ(fast.items(), expected) << "round " << round;
        for (PolyGroup& g : groups) {
            g.partner = nullptr;
            g.next = nullptr;
        }
    }
}

}  // namespace
}  // namespace tarvel
