#pragma once

#include <cstdint>
#include <vector>

#include "grouping/poly_group.h"

namespace tarvel {

/// Finds partners among many groups without testing every group against every other.
///
/// The groups are numbered in list order. A search for group g over the candidates numbered
/// above `after` gives exactly the partner and distance that applying considerPartner to each
/// of those candidates in order would leave (ties to the lowest number, and the same NaN
/// rules). Groups with ordinary coordinates sit in a k-d tree over their centres that also
/// bounds their normals; a subtree is passed over only when no group in it can pass the
/// partner test or come as near as the best found, with a margin far above rounding error.
/// Groups with non-finite or extreme values are tested one by one.
class FacingIndex {
public:
    /// `groups` in list order, with final normals and centres. Not owned; must outlive this.
    explicit FacingIndex(std::vector<PolyGroup*> groups);
    ~FacingIndex();
    FacingIndex(const FacingIndex&) = delete;
    FacingIndex& operator=(const FacingIndex&) = delete;

    /// Sets group `g`'s partner and partnerDistance from the candidates numbered above `after`
    /// that are not removed, and returns the partner's number or -1. Group g itself never is
    /// a candidate, and g must have no partner yet.
    std::int32_t findPartner(std::int32_t g, std::int32_t after, double maxAngle);

    /// findPartner for every group over all the others (after = -1), with nothing removed.
    /// The searches go in the tree's order, so that neighbouring searches share cached nodes.
    void findAllPartners(double maxAngle);

    /// Takes a group out of the candidates.
    void remove(std::int32_t g);

private:
    struct Node;
    struct Item;
    struct Query;

    void build();
    /// `hint`, an item to look at first, or -1. Returns the group number found, or -1.
    std::int32_t search(const Query& q, std::int32_t hint = -1);
    std::int32_t searchTree(const Query& q, double& bestDistance, std::int32_t hint);
    bool anyPassingBelow(const Query& q, std::int32_t below);
    bool skipNode(const Node& node, const Query& q) const;

    std::vector<PolyGroup*> groups_;
    std::vector<std::uint8_t> removed_;
    std::vector<Item> items_;           // the tame groups, in tree order
    std::vector<std::int32_t> wild_;    // group numbers tested one by one, ascending
    std::vector<std::int32_t> leafOf_;  // per group: its leaf node, or -1
    std::vector<Node> nodes_;
    std::vector<std::int32_t> slotOf_;  // per group: its place in items_, or -1
    struct Pending {
        std::int32_t node;
        double nearest;  // the node's squared distance from the axis, at least
    };
    std::vector<Pending> stack_;  // reused by every search
    double slack_ = 0.0;
};

}  // namespace tarvel
