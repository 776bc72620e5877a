#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "geometry/portable_math.h"
#include "geometry/vector3.h"
#include "grouping/no_item.h"
#include "runtime/resident_memory.h"

namespace tarvel {

/// A group as the tree sees it: its centre, its normal, the normal's reciprocal length (to
/// within float precision, for quick tests of direction) and its number in the list.
struct FacingItem {
    Vector3 centre;
    Vector3 normal;
    std::uint32_t index;
    float reciprocalLength;

    Vector3 unitNormal() const { return normal / portableSqrt(dot(normal, normal)); }
};

/// A subtree over the items [begin, end), bounding their centres, unit normals and numbers.
struct FacingNode {
    Vector3 low, high;              // box of the centres
    Vector3 normalLow, normalHigh;  // box of the unit normals
    std::uint32_t minIndex = 0, maxIndex = 0;
    std::uint32_t alive = 0;  // items in the subtree not removed
    std::uint32_t parent = kNone;
    std::uint32_t left = kNone, right = kNone;  // children, kNone for a leaf
    std::uint32_t begin = 0, end = 0;

    bool isLeaf() const { return left == kNone; }
};

/// A k-d tree over group centres that also bounds their normals. Items lie along a Morton curve
/// through the centres, so every node's run of items is spatially compact; nodes_[0] is the
/// root, and a parent always comes before its children.
class FacingTree {
public:
    /// The most items a leaf holds.
    static constexpr std::uint32_t kLeafItems = 16;

    /// An item's Morton code and its number.
    using CurvePlace = std::pair<std::uint64_t, std::uint32_t>;

    /// The code of a centre `offset` from the low corner of the box of all centres, whose
    /// size is `extent`.
    static std::uint64_t curveCode(const Vector3& offset, const Vector3& extent);
    /// Sorts `order` by code, and among equal codes by number, given numbers in ascending
    /// order. `scratch`, as long as `order`, is room for the passes of the sort; the sorted
    /// order ends in either, and the one returned.
    static std::span<CurvePlace> sortByCode(std::span<CurvePlace> order,
                                            std::span<CurvePlace> scratch);

    FacingTree() = default;
    /// The tree over items lying along the curve: `codes` holds their codes, ascending, with
    /// their numbers, which lie below `groupCount`. place(std::span<FacingItem>) is handed room
    /// for as many items as there are codes, and sets them, in the order of the codes.
    template <typename Place>
    FacingTree(std::span<const CurvePlace> codes, std::size_t groupCount, Place place)
        : items_(codes.size()) {
        place(std::span<FacingItem>(items_));
        build(codes, groupCount);
    }

    std::span<const FacingItem> items() const { return items_; }
    std::span<const FacingNode> nodes() const { return nodes_; }
    /// The leaf holding group `index`, or kNone when the group is not in the tree.
    std::uint32_t leafOf(std::uint32_t index) const { return leafOf_[index]; }

    /// A node of at most `items` items (a leaf where none is that small) whose box holds `p`,
    /// or the nearer box at each step down. The way down starts at the root, or at the lowest
    /// node above `from` (a node, or kNone) whose box holds p: a nearby node found last time
    /// keeps both ways short.
    std::uint32_t nodeNear(const Vector3& p, std::uint32_t items, std::uint32_t from) const;

    /// Counts group `index` out of the alive counts of its leaf and every node above it.
    void remove(std::uint32_t index);

private:
    /// Links and bounds the nodes over the items in place.
    void build(std::span<const CurvePlace> codes, std::size_t groupCount);
    /// Halves runs of the curve down to leaves.
    void splitRanges(std::span<const CurvePlace> codes);
    void boundLeaf(std::uint32_t at);
    void boundFromChildren(std::uint32_t at);

    ResidentVector<FacingItem> items_;  // in tree order
    ResidentVector<FacingNode> nodes_;
    ResidentVector<std::uint32_t> leafOf_;  // per group number
};

}  // namespace tarvel
