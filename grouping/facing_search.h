#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "geometry/frame_transform.h"
#include "geometry/paired_doubles.h"
#include "grouping/facing_tree.h"

namespace tarvel {

/// What one search looks for: the candidates numbered `first` and above, other than the
/// searching group itself, that pass the partner test for the group. Built by FacingIndex,
/// beside the tests that sort groups into tree and one-by-one candidates.
struct FacingQuery {
    /// `cosine` is the cosine of PI - maxAngleLimit (see facingCosine).
    FacingQuery(const Vector3& centre, const Vector3& normal, std::uint32_t self,
                std::uint32_t firstCandidate, double maxAngleLimit, double cosine);

    /// The transform of the group's frame, with its angles computed: worked out the first
    /// time it is asked for, since most searches never need it.
    const FrameTransform& frame() const;

    Vector3 origin;  // the group's centre
    Vector3 normal;  // the group's normal
    Vector3 axis;
    // Two unit directions across the axis: a point's distance from the axis is the length of
    // its offset along them.
    Vector3 across;
    Vector3 acrossToo;
    std::uint32_t index;  // the searching group's number
    std::uint32_t first;
    double maxAngle;
    // Unit normals whose cosine with the axis lies above this all miss the angle limit.
    double cosLimit;
    // The same for a normal's cosine taken with its reciprocal length to float precision.
    double roughCosLimit;
    // The length of the group's normal, as the angle between normals takes it.
    double normalLength;
    // The cosine between normals below which the angle surely passes the limit, and above
    // which it surely misses it; between the two the angle itself decides.
    double surelyPasses;
    double surelyMisses;

private:
    mutable std::optional<FrameTransform> frame_;
};

/// The cosine of PI - maxAngle, the smallest angle between facing normals.
double facingCosine(double maxAngle);

/// What a tree search reads: the tree, which groups are removed, and the margin for rounding
/// errors of distances and heights.
struct FacingCandidates {
    const FacingTree& tree;
    std::span<const std::uint8_t> removed;
    double slack;
};

/// One search of the tree for the first of the nearest candidates passing the partner test.
/// A subtree is passed over only when none of its items can pass the test or come as near the
/// group's axis as the best found, with the margin `slack` on every comparison.
class TreeSearch {
public:
    static constexpr std::uint32_t kLeafItems = FacingTree::kLeafItems;

    /// A subtree still to search, and its squared distance from the axis, at least.
    struct Pending {
        std::uint32_t node;
        double nearest;
    };

    /// `stack` is scratch space, kept by the caller so that searches reuse it.
    TreeSearch(const FacingCandidates& candidates, const FacingQuery& q,
               std::vector<Pending>& stack);

    /// Searches the whole tree, starting below node `start` when it is not kNone. Returns the
    /// group number found, or kNone; the lowest number among equally near ones.
    std::uint32_t run(std::uint32_t start);
    /// The distance of what run() found.
    double bestDistance() const { return bestDistance_; }

    /// Whether any tree candidate numbered below `below` passes the partner test.
    bool anyPassingBelow(std::uint32_t below);

private:
    /// Whether no item in the node can be a candidate passing the partner test.
    bool cannotPass(const FacingNode& node) const;
    /// Squared distance from the axis of an offset from the group's centre.
    double lateralSquared(const Vector3& offset) const;
    /// A lower bound of the squared distance from the axis of every centre in the node.
    double nearestPossible(const FacingNode& node) const;
    /// Tests one item exactly and keeps it when it is the best so far.
    void consider(const FacingItem& item);
    /// The partner test of a tame candidate, giving its distance when it passes.
    bool facesAcrossTame(const FacingItem& candidate, double& distance) const;
    /// Tests every item of a leaf.
    void searchLeaf(const FacingNode& leaf);
    /// Depth first below `root`, nearer child first.
    void searchBelow(std::uint32_t root, double rootNearest);
    /// Searches below `start`; whether the best found is near enough for climbing from there
    /// to pay.
    bool searchStart(std::uint32_t start);
    /// Searches every sibling on the way from `node` up to the root that may hold something
    /// as near as the best.
    void climbFrom(std::uint32_t node);
    /// Sets reachLow_ and reachHigh_ to a box holding every centre of the tree that lies
    /// within the reach of the group's axis and not behind the group.
    void boundReach();
    /// Whether the node's box lies wholly outside the one boundReach() found.
    bool beyondReach(const FacingNode& node) const;

    const FacingItem* items_;  // the tree's items, in tree order
    std::span<const FacingNode> nodes_;
    const std::uint8_t* removed_;
    double slack_;
    const FacingQuery& q_;
    std::vector<Pending>& stack_;
    std::uint32_t best_ = kNone;
    double bestDistance_ = 0.0;
    double reach_ = 0.0;  // (bestDistance_ + slack)^2, once there is a best
    // What boundReach() found: a subtree whose box lies wholly outside it holds nothing as
    // near as the best.
    Vector3 reachLow_;
    Vector3 reachHigh_;
#if defined(TARVEL_PAIRED_DOUBLES)
    // Per coordinate, that of q_.across and of q_.acrossToo side by side, so that both gaps
    // of a box are worked out together.
    alignas(16) double acrossPairs_[3][2];
#endif
};

inline TreeSearch::TreeSearch(const FacingCandidates& candidates, const FacingQuery& q,
                              std::vector<Pending>& stack)
    : items_(candidates.tree.items().data()),
      nodes_(candidates.tree.nodes()),
      removed_(candidates.removed.data()),
      slack_(candidates.slack),
      q_(q),
      stack_(stack)
#if defined(TARVEL_PAIRED_DOUBLES)
      ,
      acrossPairs_{
          {q.across.x, q.acrossToo.x}, {q.across.y, q.acrossToo.y}, {q.across.z, q.acrossToo.z}}
#endif
{
}

}  // namespace tarvel
