#include "grouping/facing_index.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "geometry/frame_transform.h"
#include "geometry/portable_math.h"
#include "grouping/partner_search.h"
#include "runtime/worker_team.h"

namespace tarvel {

namespace {

// A group is tame when its centre's coordinates are zero or within [kCentreLow, kCentreHigh]
// and its normal's within [kNormalLow, kNormalHigh]: then every product and square the
// partner test and the tree form stays between about 1e-200 and 1e200, clear of overflow and
// of subnormals, so each keeps its full relative precision.
constexpr double kCentreLow = 1e-100;
constexpr double kCentreHigh = 1e100;
constexpr double kNormalLow = 1e-30;
constexpr double kNormalHigh = 1e30;

// A tame normal's reciprocal length fits a float, within 6e-8 of its own size; this margin
// of the cosine limit covers that for the quick test of an item's direction.
constexpr double kRoughCosineMargin = 1e-6;

// The margin of distances and heights: their rounding errors are a few units in the last place
// (2.2e-16 each) of the largest coordinate, and kRelativeSlack times it is thousands of times
// that. kSlackFloor keeps it above zero when every centre is at the origin; a wider margin
// only passes over fewer subtrees, it never changes a result.
constexpr double kRelativeSlack = 1e-12;
constexpr double kSlackFloor = 1e-200;

// The most searches a thread takes at a time when all groups look for partners: enough that
// the guesses and the cached nodes pay.
constexpr std::size_t kSearchesPerRun = 2048;

// A search for a group's partner starts in a subtree of up to this many items around the
// group's own leaf, since a partner mostly lies near its group.
constexpr std::uint32_t kStartItems = 32;

// A search from a guess where the partner is starts in the leaf nearest the guess: the guess
// is mostly close, and climbing from there to the root passes over what lies beyond the best's
// reach at one box test a level.
constexpr std::uint32_t kGuessStartItems = FacingTree::kLeafItems;

/// Where the axis of a group meets the plane of the last partner found, a likely place for the
/// group's own partner when the facing surface is smooth; false when the axis runs along the
/// plane.
bool guessAcross(const FacingQuery& q, const FacingItem& lastPartner, Vector3& where) {
    const Vector3& n = lastPartner.normal;
    const double along = dot(n, q.axis);
    const double t = dot(n, lastPartner.centre - q.origin) / along;
    where = q.origin + t * q.axis;
    return std::isfinite(where.x) && std::isfinite(where.y) && std::isfinite(where.z);
}

Vector3 unit(const Vector3& v) {
    return v / portableSqrt(dot(v, v));
}

/// Widens the cosine limit of the normals' angle. The cosine of the limit and a dot product of
/// unit vectors are each off by a few units in the last place (around 1e-16), so a normal the
/// exact angle test passes is never passed over.
constexpr double kCosineMargin = 1e-9;

/// A unit direction across `axis`: its cross product with the coordinate axis it leans on
/// least.
Vector3 acrossOf(const Vector3& axis) {
    const double x = std::fabs(axis.x);
    const double y = std::fabs(axis.y);
    const double z = std::fabs(axis.z);
    if (x <= y && x <= z) {
        return unit(cross(axis, Vector3(1, 0, 0)));
    }
    if (y <= z) {
        return unit(cross(axis, Vector3(0, 1, 0)));
    }
    return unit(cross(axis, Vector3(0, 0, 1)));
}

/// Zero, or a magnitude within [low, high]: neither NaN, infinite, nor near the ends of the
/// double range where squares and products lose their relative precision.
bool ordinary(double v, double low, double high) {
    const double a = std::fabs(v);
    return a == 0.0 || (a >= low && a <= high);
}

/// A group whose values keep every rounding error of the partner test far below the margin.
bool isTame(const FacingSite& g) {
    const Vector3& c = g.centre;
    const Vector3& n = g.normal;
    return ordinary(c.x, kCentreLow, kCentreHigh) && ordinary(c.y, kCentreLow, kCentreHigh) &&
           ordinary(c.z, kCentreLow, kCentreHigh) && ordinary(n.x, kNormalLow, kNormalHigh) &&
           ordinary(n.y, kNormalLow, kNormalHigh) && ordinary(n.z, kNormalLow, kNormalHigh);
}

/// A zero normal is parallel to everything, so such a group fails every partner test, as
/// candidate and as searcher alike.
bool neverFaces(const Vector3& n) {
    return portableSqrt(n.x * n.x + n.y * n.y + n.z * n.z) == 0.0;
}

// Where the build marks the groups before they find their places.
constexpr std::uint32_t kMarkTame = 0;
constexpr std::uint32_t kMarkWild = 1;
constexpr std::uint32_t kMarkSilent = 2;

// The curve's cells are at most this many times as long along one axis as along another.
constexpr double kLongestToShortestCell = 2.0;

// The groups a thread takes at a time while the index is built.
constexpr std::size_t kBuildGrain = std::size_t{1} << 15;

/// The box of the tame centres in one range of groups, and their largest coordinate.
struct CentreBox {
    Vector3 low, high;
    double scale = 0.0;
    bool any = false;

    void add(const Vector3& c) {
        low = any ? Vector3(std::min(low.x, c.x), std::min(low.y, c.y), std::min(low.z, c.z)) : c;
        high =
            any ? Vector3(std::max(high.x, c.x), std::max(high.y, c.y), std::max(high.z, c.z)) : c;
        scale = std::max({scale, std::fabs(c.x), std::fabs(c.y), std::fabs(c.z)});
        any = true;
    }
    void add(const CentreBox& other) {
        if (other.any) {
            add(other.low);
            add(other.high);
        }
    }
};

/// Marks each group in `where` as tame, wild or silent, shared out over the team, and returns
/// the box of the tame centres.
CentreBox markSites(const FacingIndex::SiteSource& siteOf, const WorkerTeam& team,
                    ResidentVector<std::uint32_t>& where) {
    const std::size_t count = where.size();
    std::vector<CentreBox> boxes((count + kBuildGrain - 1) / kBuildGrain);
    team.forRanges(count, kBuildGrain, [&](std::size_t begin, std::size_t end) {
        CentreBox& box = boxes[begin / kBuildGrain];
        for (std::size_t g = begin; g < end; ++g) {
            const FacingSite s = siteOf(static_cast<std::uint32_t>(g));
            if (neverFaces(s.normal)) {
                where[g] = kMarkSilent;
            } else if (isTame(s)) {
                where[g] = kMarkTame;
                box.add(s.centre);
            } else {
                where[g] = kMarkWild;
            }
        }
    });
    CentreBox all;
    for (const CentreBox& box : boxes) {
        all.add(box);
    }
    return all;
}

}  // namespace

const FrameTransform& FacingQuery::frame() const {
    if (!frame_) {
        AlignFrame aligned = AlignFrame::fromNormal(normal);
        aligned.computeAngles();
        frame_.emplace(aligned);
    }
    return *frame_;
}

double facingCosine(double maxAngle) {
    return portableCos(PI - maxAngle);
}

FacingQuery::FacingQuery(const Vector3& centre, const Vector3& groupNormal, std::uint32_t self,
                         std::uint32_t firstCandidate, double maxAngleLimit, double cosine)
    : origin(centre),
      normal(groupNormal),
      axis(unit(groupNormal)),
      across(acrossOf(axis)),
      acrossToo(cross(axis, across)),
      index(self),
      first(firstCandidate),
      maxAngle(maxAngleLimit),
      cosLimit(cosine + kCosineMargin),
      roughCosLimit(cosine + kRoughCosineMargin),
      normalLength(portableSqrt(groupNormal.x * groupNormal.x + groupNormal.y * groupNormal.y +
                                groupNormal.z * groupNormal.z)),
      surelyPasses(cosine - kCosineMargin),
      surelyMisses(cosine + kCosineMargin) {}

FacingIndex::FacingIndex(std::uint32_t count, const SiteSource& siteOf)
    : count_(count), removed_(count, 0), where_(count) {
    assert(count < kOutside);
    build(siteOf);
}

void FacingIndex::build(const SiteSource& siteOf) {
    // Three passes over the sites, each shared out to the team: sorting the groups into tame,
    // wild and silent ones with the box of the tame centres; the tame centres' places along
    // the curve; and the tree's items, laid out along the curve.
    const WorkerTeam team(count_);
    const CentreBox all = markSites(siteOf, team, where_);
    slack_ = kRelativeSlack * all.scale + kSlackFloor;
    for (std::uint32_t g = 0; g < count_; ++g) {
        if (where_[g] != kMarkTame) {
            if (where_[g] == kMarkWild) {
                wild_.push_back(g);
            }
            others_.push_back({siteOf(g), where_[g] == kMarkWild});
            where_[g] = kOutside | static_cast<std::uint32_t>(others_.size() - 1);
        }
    }

    // The groups outside the tree get the highest code, so that they sort last. Each axis of
    // the curve's cells is scaled by its side of the box, but by no less than a quarter of the
    // longest side: a thin layer of centres then splits across its breadth first, and its
    // boxes stay about as deep as they are wide. Scaling a thin side to the full range would
    // split the layer into sheets first, and the axis of a search across the layer, as a
    // facing partner's mostly is, would pierce every sheet's boxes down to a leaf.
    const Vector3 box = all.high - all.low;
    const double shortest = std::max({box.x, box.y, box.z}) / kLongestToShortestCell;
    const Vector3 extent(std::max(box.x, shortest), std::max(box.y, shortest),
                         std::max(box.z, shortest));
    ResidentVector<FacingTree::CurvePlace> codes(count_);
    team.forRanges(count_, kBuildGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t g = begin; g < end; ++g) {
            const auto number = static_cast<std::uint32_t>(g);
            codes[g] = {(where_[g] & kOutside) != 0
                            ? ~std::uint64_t{0}
                            : FacingTree::curveCode(siteOf(number).centre - all.low, extent),
                        number};
        }
    });
    ResidentVector<FacingTree::CurvePlace> scratch(count_);
    const std::span<const FacingTree::CurvePlace> sorted =
        FacingTree::sortByCode(codes, scratch).first(count_ - others_.size());
    // The room the sort ended outside of is given back before the tree takes room of its own.
    ResidentVector<FacingTree::CurvePlace>().swap(sorted.data() == codes.data() ? scratch : codes);

    // Each tame group's place along the curve; then the items, made group after group, so that
    // the groups' records are read in the order they lie in and only the writes scatter.
    team.forRanges(sorted.size(), kBuildGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t k = begin; k < end; ++k) {
            where_[sorted[k].second] = static_cast<std::uint32_t>(k);
        }
    });
    tree_ = FacingTree(sorted, count_,
                       [&](std::span<FacingItem> items) { placeItems(siteOf, team, items); });
}

void FacingIndex::placeItems(const SiteSource& siteOf, const WorkerTeam& team,
                             std::span<FacingItem> items) const {
    team.forRanges(count_, kBuildGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t g = begin; g < end; ++g) {
            const std::uint32_t at = where_[g];
            if ((at & kOutside) == 0) {
                const FacingSite s = siteOf(static_cast<std::uint32_t>(g));
                const double length = portableSqrt(dot(s.normal, s.normal));
                items[at] = {s.centre, s.normal, static_cast<std::uint32_t>(g),
                             static_cast<float>(1.0 / length)};
            }
        }
    });
}

FacingSite FacingIndex::site(std::uint32_t g) const {
    const std::uint32_t at = where_[g];
    if ((at & kOutside) != 0) {
        return others_[at & ~kOutside].site;
    }
    const FacingItem& item = tree_.items()[at];
    return {item.centre, item.normal};
}

FacingIndex::Found FacingIndex::searchOneByOne(const FacingQuery& q) const {
    FirstNearest best;
    for (std::uint32_t j = q.first; j < count_; ++j) {
        double d = 0.0;
        if (j == q.index || removed_[j] != 0) {
            continue;
        }
        const FacingSite candidate = site(j);
        if (facesAcross(q.origin, q.normal, q.frame(), candidate.centre, candidate.normal,
                        q.maxAngle, d)) {
            best.offer(j, d);
        }
    }
    return best.found;
}

FacingIndex::Found FacingIndex::searchTreeAndWild(const FacingQuery& q,
                                                  std::vector<TreeSearch::Pending>& stack,
                                                  std::uint32_t start) const {
    // Tame candidates never give a NaN distance; the tree finds the first of the nearest.
    // Wild candidates are offered in order around it, which settles every NaN case: a NaN
    // distance wins only as the first candidate passing, and is never nearer after it.
    const FacingCandidates candidates{tree_, removed_, slack_};
    TreeSearch tree(candidates, q, stack);
    const std::uint32_t treeBest = tree.run(start);
    const double treeDistance = tree.bestDistance();
    assert(treeBest == kNone || !std::isnan(treeDistance));
    FirstNearest best;
    bool treeOffered = false;
    for (std::uint32_t j : wild_) {
        double d = 0.0;
        if (j < q.first || j == q.index || removed_[j] != 0) {
            continue;
        }
        const FacingSite candidate = site(j);
        if (!facesAcross(q.origin, q.normal, q.frame(), candidate.centre, candidate.normal,
                         q.maxAngle, d)) {
            continue;
        }
        if (!treeOffered && treeBest != kNone && treeBest < j) {
            best.offer(treeBest, treeDistance);
            treeOffered = true;
        }
        if (best.found.index == kNone && std::isnan(d) && treeBest != kNone && !treeOffered &&
            tree.anyPassingBelow(j)) {
            // A tame candidate before j passes, so j is not the first to pass; a NaN
            // distance after the first never replaces anything.
            continue;
        }
        best.offer(j, d);
    }
    if (!treeOffered && treeBest != kNone) {
        best.offer(treeBest, treeDistance);
    }
    return best.found;
}

FacingIndex::Found FacingIndex::search(const FacingQuery& q,
                                       std::vector<TreeSearch::Pending>& stack,
                                       std::uint32_t start) const {
    return (where_[q.index] & kOutside) == 0 ? searchTreeAndWild(q, stack, start)
                                             : searchOneByOne(q);
}

FacingIndex::Found FacingIndex::nearestFacing(std::uint32_t g, std::uint32_t first,
                                              double maxAngle) {
    assert(g < count_);
    if (!faces(g)) {
        return {};
    }
    // The search starts in the subtree of up to kStartItems items around the group's own leaf.
    std::uint32_t start = kNone;
    if ((where_[g] & kOutside) == 0) {
        const std::span<const FacingNode> nodes = tree_.nodes();
        start = tree_.leafOf(g);
        for (std::uint32_t up = nodes[start].parent;
             up != kNone && nodes[up].end - nodes[up].begin <= kStartItems; up = nodes[up].parent) {
            start = up;
        }
    }
    const FacingSite s = site(g);
    return search(FacingQuery(s.centre, s.normal, g, first, maxAngle, facingCosine(maxAngle)),
                  stack_, start);
}

void FacingIndex::searchStretch(std::span<const std::uint32_t> order, std::size_t begin,
                                std::size_t end, double maxAngle, double cosine,
                                std::span<Found> found) const {
    // Neighbouring searches in the tree's order find partners near each other on a smooth
    // facing surface, so each search starts where its axis meets the plane of the last partner
    // found.
    std::vector<TreeSearch::Pending> stack;
    const FacingItem* lastPartner = nullptr;
    std::uint32_t lastStart = kNone;
    for (std::size_t k = begin; k < end; ++k) {
        const std::uint32_t g = order[k];
        if (!faces(g)) {
            found[g] = {};
            continue;
        }
        const FacingSite s = site(g);
        const FacingQuery query(s.centre, s.normal, g, 0, maxAngle, cosine);
        Vector3 guess;
        std::uint32_t start = kNone;
        if (lastPartner != nullptr && guessAcross(query, *lastPartner, guess)) {
            start = tree_.nodeNear(guess, kGuessStartItems, lastStart);
            lastStart = start;
        }
        found[g] = search(query, stack, start);
        const std::uint32_t partner = found[g].index;
        if (partner != kNone && (where_[partner] & kOutside) == 0) {
            lastPartner = &tree_.items()[where_[partner]];
        }
    }
}

void FacingIndex::nearestFacingForEach(double maxAngle, std::span<Found> found) const {
    assert(found.size() == count_);
    // Each search writes only its own group's result and reads what no search changes, so
    // stretches of searches go to the team's threads and the result is the same for any
    // number of them. A stretch is a run of the tree's order, so that its neighbouring
    // searches share cached nodes, a normal and a guess where the partner is.
    const WorkerTeam team(count_);
    ResidentVector<std::uint32_t> order;  // the tree's order, then the groups outside it
    order.reserve(count_);
    for (const FacingItem& item : tree_.items()) {
        order.push_back(item.index);
    }
    for (std::uint32_t g = 0; g < count_; ++g) {
        if ((where_[g] & kOutside) != 0) {
            order.push_back(g);
        }
    }
    const double cosine = facingCosine(maxAngle);
    team.forRanges(order.size(), team.grainFor(order.size(), kSearchesPerRun),
                   [&](std::size_t begin, std::size_t end) {
                       searchStretch(order, begin, end, maxAngle, cosine, found);
                   });
}

void FacingIndex::remove(std::uint32_t g) {
    assert(g < count_ && removed_[g] == 0);
    removed_[g] = 1;
    if ((where_[g] & kOutside) == 0) {
        tree_.remove(g);
    }
}

}  // namespace tarvel
