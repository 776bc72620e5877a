#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "grouping/no_item.h"
#include "runtime/resident_memory.h"

namespace tarvel {

/// The list that inserting groups one at a time with insertByDistance builds, kept as a
/// balanced tree over list positions so that each insertion takes logarithmic time instead of
/// a walk along the list.
///
/// An item with a partner goes in front of the head when the head's distance is strictly
/// greater, and otherwise in front of the first later item whose distance is not strictly
/// smaller (a NaN counts as not smaller), or last. An item without partner goes last.
class DistanceOrder {
public:
    /// The list holding `head` alone; `distance` is its partnerDistance.
    DistanceOrder(std::uint32_t head, double distance, std::size_t capacity);

    void insert(std::uint32_t item, bool hasPartner, double distance);

    /// The items in list order, kept while the order lives.
    std::span<const std::uint32_t> items();

private:
    struct Insertion {
        std::uint32_t item;
        bool hasPartner;
        double distance;
    };

    /// When every item after the head has a partner and no distance is NaN, the list after
    /// the head stays sorted, so one sort of the insertions gives it.
    bool sortable() const;
    ResidentVector<std::uint32_t> sortedItems() const;
    /// Otherwise the insertions are replayed into the tree.
    ResidentVector<std::uint32_t> replayedItems();
    void replay(const Insertion& insertion);

    std::uint32_t newNode(std::uint32_t item, double distance);
    void update(std::uint32_t node);
    /// Splits `tree` into the items before the first whose distance is not below `distance`,
    /// and the rest.
    void splitBefore(std::uint32_t tree, double distance, std::uint32_t& before,
                     std::uint32_t& rest);
    std::uint32_t merge(std::uint32_t left, std::uint32_t right);

    ResidentVector<Insertion> insertions_;
    ResidentVector<std::uint32_t> items_;  // what items() gave
    std::uint32_t head_;
    double headDistance_;
    std::uint32_t root_ = kNone;  // the items after the head
    // Per node: the item, its distance (NaN read as +infinity), the largest in its subtree.
    std::vector<std::uint32_t> item_, left_, right_, priority_;
    std::vector<double> key_, maxKey_;
    std::uint64_t random_ = 0x9E3779B97F4A7C15ULL;
};

}  // namespace tarvel
