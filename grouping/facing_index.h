#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "geometry/vector3.h"
#include "grouping/facing_search.h"
#include "grouping/facing_tree.h"

namespace tarvel {

class WorkerTeam;

/// A group's centre and normal, as the partner test reads them.
struct FacingSite {
    Vector3 centre;
    Vector3 normal;
};

/// Finds partners among many groups without testing every group against every other.
///
/// The groups are numbered in list order. A search for group g over the candidates numbered
/// `first` and above gives exactly the partner and distance that applying considerPartner to
/// each of those candidates in order would leave (ties to the lowest number, and the same NaN
/// rules). Groups with ordinary coordinates sit in a FacingTree, which keeps their centres and
/// normals; a subtree is passed over only when no group in it can pass the partner test or
/// come as near as the best found, with a margin far above rounding error. Groups with
/// non-finite or extreme values are tested one by one.
class FacingIndex {
public:
    /// The site of group g; called from several threads at once, and more than once per group,
    /// so it must give the same bits every time.
    using SiteSource = std::function<FacingSite(std::uint32_t g)>;

    /// What a search found: the partner's number (kNone for none) and its distance.
    struct Found {
        std::uint32_t index = kNone;
        double distance = 0.0;
    };

    /// The groups numbered 0 to count - 1, fewer than 2^31 of them.
    FacingIndex(std::uint32_t count, const SiteSource& siteOf);
    FacingIndex(const FacingIndex&) = delete;
    FacingIndex& operator=(const FacingIndex&) = delete;

    /// Group g's partner and its distance from the candidates numbered `first` and above that
    /// are not removed. Group g itself never is a candidate.
    Found nearestFacing(std::uint32_t g, std::uint32_t first, double maxAngle);

    /// nearestFacing for every group over all the others (first = 0), with nothing removed, into
    /// `found` by group number (one entry per group, every one written). The searches go in the
    /// tree's order, so that neighbouring searches share cached nodes, in stretches shared out to
    /// worker threads for a large selection.
    void nearestFacingForEach(double maxAngle, std::span<Found> found) const;

    /// Takes a group out of the candidates.
    void remove(std::uint32_t g);

private:
    // where_ of a group outside the tree: this bit and its place in others_.
    static constexpr std::uint32_t kOutside = 0x80000000u;

    /// A group outside the tree: never facing (a zero normal), or wild.
    struct Outsider {
        FacingSite site;
        bool faces;
    };

    /// considerPartner's rule over offered candidates: the first one passing, then only what
    /// is strictly nearer.
    struct FirstNearest {
        Found found;
        void offer(std::uint32_t j, double d) {
            if (found.index == kNone || found.distance > d) {
                found = {j, d};
            }
        }
    };

    FacingSite site(std::uint32_t g) const;
    /// Whether group g can face anything (its normal is not zero).
    bool faces(std::uint32_t g) const {
        return (where_[g] & kOutside) == 0 || others_[where_[g] & ~kOutside].faces;
    }

    /// Sorts the groups into the tree's items, along the curve, and the others.
    void build(const SiteSource& siteOf);
    /// Each tame group's item at its place along the curve.
    void placeItems(const SiteSource& siteOf, const WorkerTeam& team,
                    std::span<FacingItem> items) const;

    /// `start`, a node of the tree to search first, or kNone. `stack` is the calling thread's
    /// scratch space.
    Found search(const FacingQuery& q, std::vector<TreeSearch::Pending>& stack,
                 std::uint32_t start = kNone) const;
    /// The search of a wild group: every candidate in turn.
    Found searchOneByOne(const FacingQuery& q) const;
    /// The search of a tame group: the tree, then the wild candidates around its result.
    Found searchTreeAndWild(const FacingQuery& q, std::vector<TreeSearch::Pending>& stack,
                            std::uint32_t start) const;
    /// The searches of the groups order[begin] to order[end - 1], into `found`.
    void searchStretch(std::span<const std::uint32_t> order, std::size_t begin, std::size_t end,
                       double maxAngle, double cosine, std::span<Found> found) const;

    std::uint32_t count_ = 0;
    ResidentVector<std::uint8_t> removed_;
    ResidentVector<std::uint32_t> where_;  // per group: its place in the tree's order, or kOutside
    std::vector<Outsider> others_;         // the groups outside the tree, ascending
    std::vector<std::uint32_t> wild_;      // the numbers of the wild ones, ascending
    FacingTree tree_;                      // the tame groups
    std::vector<TreeSearch::Pending> stack_;  // reused by every nearestFacing
    double slack_ = 0.0;
};

}  // namespace tarvel
