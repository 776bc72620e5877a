#pragma once

#include <cstdint>
#include <vector>

#include "grouping/facing_search.h"
#include "grouping/facing_tree.h"
#include "grouping/poly_group.h"

namespace tarvel {

/// Finds partners among many groups without testing every group against every other.
///
/// The groups are numbered in list order. A search for group g over the candidates numbered
/// `first` and above gives exactly the partner and distance that applying considerPartner to
/// each of those candidates in order would leave (ties to the lowest number, and the same NaN
/// rules). Groups with ordinary coordinates sit in a FacingTree; a subtree is passed over only
/// when no group in it can pass the partner test or come as near as the best found, with a
/// margin far above rounding error. Groups with non-finite or extreme values are tested one
/// by one.
class FacingIndex {
public:
    static constexpr std::uint32_t kNone = FacingTree::kNone;

    /// `groups` in list order, with final normals and centres; fewer than kNone of them. Not
    /// owned; must outlive this.
    explicit FacingIndex(std::vector<PolyGroup*> groups);
    FacingIndex(const FacingIndex&) = delete;
    FacingIndex& operator=(const FacingIndex&) = delete;

    /// Sets group `g`'s partner and partnerDistance from the candidates numbered `first` and
    /// above that are not removed, and returns the partner's number or kNone. Group g itself
    /// never is a candidate, and g must have no partner yet.
    std::uint32_t findPartner(std::uint32_t g, std::uint32_t first, double maxAngle);

    /// findPartner for every group over all the others (first = 0), with nothing removed.
    /// The searches go in the tree's order, so that neighbouring searches share cached nodes,
    /// in runs shared out to worker threads for a large selection.
    void findAllPartners(double maxAngle);

    /// Takes a group out of the candidates.
    void remove(std::uint32_t g);

private:
    /// considerPartner's rule over offered candidates: the first one passing, then only what
    /// is strictly nearer.
    struct FirstNearest {
        std::uint32_t index = kNone;
        double distance = 0.0;
        void offer(std::uint32_t j, double d) {
            if (index == kNone || distance > d) {
                index = j;
                distance = d;
            }
        }
    };

    /// `start`, a node of the tree to search first, or kNone. Sets the
    /// searching group's partner (its own, which no other search writes) and returns the group
    /// number found, or kNone. `stack` is the calling thread's scratch space.
    std::uint32_t search(const FacingQuery& q, std::vector<TreeSearch::Pending>& stack,
                         std::uint32_t start = kNone) const;
    /// findPartner for the groups order[begin] to order[end - 1], over all the others.
    void searchStretch(const std::vector<std::uint32_t>& order, std::size_t begin, std::size_t end,
                       double maxAngle, double cosine) const;
    /// The search of a wild group: every candidate in turn.
    FirstNearest searchOneByOne(const FacingQuery& q) const;
    /// The search of a tame group: the tree, then the wild candidates around its result.
    FirstNearest searchTreeAndWild(const FacingQuery& q, std::vector<TreeSearch::Pending>& stack,
                                   std::uint32_t start) const;

    std::vector<PolyGroup*> groups_;
    std::vector<std::uint8_t> removed_;
    std::vector<std::uint32_t> wild_;         // group numbers tested one by one, ascending
    FacingTree tree_;                         // the tame groups
    std::vector<std::uint32_t> slotOf_;       // per group: its place in the tree's order, or kNone
    std::vector<TreeSearch::Pending> stack_;  // reused by every findPartner
    double slack_ = 0.0;
};

}  // namespace tarvel
