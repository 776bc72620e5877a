#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <span>
#include <vector>

#include "grouping/facing_tree.h"

namespace tarvel {
namespace {

bool within(const Vector3& p, const Vector3& low, const Vector3& high) {
    return p.x >= low.x && p.y >= low.y && p.z >= low.z && p.x <= high.x && p.y <= high.y &&
           p.z <= high.z;
}

/// Items numbered from a shuffled subset of [0, groupCount); `spread` 0 puts every centre at
/// one place.
std::vector<FacingItem> randomItems(std::mt19937_64& random, std::size_t count,
                                    std::uint32_t groupCount, double spread) {
    std::vector<std::uint32_t> numbers(groupCount);
    for (std::uint32_t i = 0; i < groupCount; ++i) {
        numbers[i] = i;
    }
    std::shuffle(numbers.begin(), numbers.end(), random);
    std::uniform_real_distribution<double> coordinate(-spread, spread);
    std::uniform_real_distribution<double> component(-1.0, 1.0);
    std::vector<FacingItem> items;
    for (std::size_t k = 0; k < count; ++k) {
        items.push_back({{coordinate(random), coordinate(random), coordinate(random)},
                         {component(random), component(random), component(random)},
                         numbers[k],
                         1.0f});
    }
    return items;
}

/// The tree over `items`, laid along the curve as the index lays them.
FacingTree treeOver(const std::vector<FacingItem>& items, std::uint32_t groupCount) {
    Vector3 low = items[0].centre;
    Vector3 high = low;
    for (const FacingItem& item : items) {
        low = {std::min(low.x, item.centre.x), std::min(low.y, item.centre.y),
               std::min(low.z, item.centre.z)};
        high = {std::max(high.x, item.centre.x), std::max(high.y, item.centre.y),
                std::max(high.z, item.centre.z)};
    }
    std::vector<FacingTree::CurvePlace> codes;
    for (std::uint32_t k = 0; k < items.size(); ++k) {
        codes.push_back({FacingTree::curveCode(items[k].centre - low, high - low), k});
    }
    std::vector<FacingTree::CurvePlace> scratch(codes.size());
    const std::span<const FacingTree::CurvePlace> sorted = FacingTree::sortByCode(codes, scratch);
    return FacingTree(sorted, groupCount, [&](std::span<FacingItem> along) {
        for (std::size_t at = 0; at < sorted.size(); ++at) {
            along[at] = items[sorted[at].second];
        }
    });
}

/// Every node's box, normal box, numbers and count hold what lies below it; children split
/// their parent's run and come after it; each item's leaf is the one holding it.
void expectWellFormed(const FacingTree& tree, const std::vector<FacingItem>& given,
                      std::uint32_t groupCount) {
    const auto& items = tree.items();
    const auto& nodes = tree.nodes();
    ASSERT_EQ(items.size(), given.size());
    std::multiset<std::uint32_t> before;
    std::multiset<std::uint32_t> after;
    for (std::size_t k = 0; k < items.size(); ++k) {
        before.insert(given[k].index);
        after.insert(items[k].index);
    }
    EXPECT_EQ(before, after);
    ASSERT_FALSE(nodes.empty());
    EXPECT_EQ(nodes[0].begin, 0u);
    EXPECT_EQ(nodes[0].end, items.size());
    for (std::uint32_t at = 0; at < nodes.size(); ++at) {
        const FacingNode& node = nodes[at];
        ASSERT_LT(node.begin, node.end);
        EXPECT_EQ(node.alive, node.end - node.begin);
        if (!node.isLeaf()) {
            const FacingNode& left = nodes[node.left];
            const FacingNode& right = nodes[node.right];
            EXPECT_GT(node.left, at);
            EXPECT_EQ(left.parent, at);
            EXPECT_EQ(right.parent, at);
            EXPECT_EQ(left.begin, node.begin);
            EXPECT_EQ(left.end, right.begin);
            EXPECT_EQ(right.end, node.end);
        } else {
            EXPECT_LE(node.end - node.begin, 16u);
        }
        for (std::uint32_t k = node.begin; k < node.end; ++k) {
            const FacingItem& item = items[k];
            EXPECT_TRUE(within(item.centre, node.low, node.high)) << "node " << at;
            EXPECT_TRUE(within(item.unitNormal(), node.normalLow, node.normalHigh))
                << "node " << at;
            EXPECT_GE(item.index, node.minIndex);
            EXPECT_LE(item.index, node.maxIndex);
            if (node.isLeaf()) {
                EXPECT_EQ(tree.leafOf(item.index), at);
            }
        }
    }
    std::uint32_t outside = 0;
    for (std::uint32_t g = 0; g < groupCount; ++g) {
        outside += tree.leafOf(g) == kNone ? 1 : 0;
    }
    EXPECT_EQ(outside, groupCount - items.size());
}

TEST(FacingTreeTest, theCurveOrderIsByCodeThenByNumber) {
    // Codes that agree in their top bits and differ only far below, as centres crowded into
    // one cell give; codes that differ only at the top; repeated codes; and the highest code,
    // which groups outside the tree get.
    std::mt19937_64 random(5);
    for (const std::uint64_t spread : {std::uint64_t{0xFFFF}, ~std::uint64_t{0} >> 1,
                                       std::uint64_t{7} << 60, std::uint64_t{3}}) {
        std::vector<FacingTree::CurvePlace> codes;
        for (std::uint32_t k = 0; k < 5000; ++k) {
            const std::uint64_t code =
                k % 97 == 0 ? ~std::uint64_t{0} : (std::uint64_t{1} << 62) | (random() & spread);
            codes.push_back({code, k});
        }
        std::vector<FacingTree::CurvePlace> expected = codes;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<FacingTree::CurvePlace> scratch(codes.size());
        const auto sorted = FacingTree::sortByCode(codes, scratch);
        EXPECT_TRUE(std::equal(sorted.begin(), sorted.end(), expected.begin(), expected.end()))
            << std::hex << spread;
    }
}

TEST(FacingTreeTest, nodesBoundWhatLiesBelowThem) {
    std::mt19937_64 random(11);
    for (double spread : {0.0, 1e-6, 1.0, 1e6}) {
        for (std::size_t count : {1u, 16u, 17u, 100u, 2000u}) {
            const std::vector<FacingItem> items = randomItems(random, count, 2500, spread);
            const FacingTree tree = treeOver(items, 2500);
            expectWellFormed(tree, items, 2500);
        }
    }
}

TEST(FacingTreeTest, removalCountsAGroupOutOfEveryNodeAboveIt) {
    std::mt19937_64 random(12);
    const std::vector<FacingItem> items = randomItems(random, 300, 400, 10.0);
    FacingTree tree = treeOver(items, 400);
    const std::uint32_t gone = items[17].index;
    std::vector<std::uint32_t> path;
    for (std::uint32_t at = tree.leafOf(gone); at != kNone; at = tree.nodes()[at].parent) {
        path.push_back(at);
    }
    ASSERT_EQ(path.back(), 0u);
    tree.remove(gone);
    for (std::uint32_t at = 0; at < tree.nodes().size(); ++at) {
        const FacingNode& node = tree.nodes()[at];
        const bool onPath = std::find(path.begin(), path.end(), at) != path.end();
        EXPECT_EQ(node.alive, node.end - node.begin - (onPath ? 1 : 0)) << "node " << at;
    }
}

}  // namespace
}  // namespace tarvel
