#include "grouping/facing_index.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>

#include "geometry/frame_transform.h"
#include "geometry/portable_math.h"
#include "grouping/partner_search.h"
#include "host/worker_team.h"

namespace tarvel {

namespace {

// A group is tame when its centre's coordinates are zero or within [kCentreLow, kCentreHigh]
// and its normal's within [kNormalLow, kNormalHigh]: then every product and square the
// partner test and the tree form stays between about 1e-200 and 1e200, clear of overflow and
// of subnormals, so each keeps its full relative precision.
constexpr double kCentreLow = 1e-100;
constexpr double kCentreHigh = 1e100;
constexpr double kNormalLow = 1e-50;
constexpr double kNormalHigh = 1e50;

// The margin of distances and heights: their rounding errors are a few units in the last place
// (2.2e-16 each) of the largest coordinate, and kRelativeSlack times it is thousands of times
// that. kSlackFloor keeps it above zero when every centre is at the origin; a wider margin
// only passes over fewer subtrees, it never changes a result.
constexpr double kRelativeSlack = 1e-12;
constexpr double kSlackFloor = 1e-200;

// The most searches a thread takes at a time when all groups look for partners: enough that
// the guesses and the cached nodes pay.
constexpr std::size_t kSearchesPerRun = 2048;

// A search starts in a subtree of about this many items around where the partner likely is.
constexpr std::uint32_t kStartItems = 32;

/// Where the axis of a group meets the plane of the last partner found, a likely place for the
/// group's own partner when the facing surface is smooth; false when the axis runs along the
/// plane.
bool guessAcross(const FacingQuery& q, const PolyGroup& lastPartner, Vector3& where) {
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
bool isTame(const PolyGroup& g) {
    const Vector3& c = g.centre;
    const Vector3& n = g.normal;
    return ordinary(c.x, kCentreLow, kCentreHigh) && ordinary(c.y, kCentreLow, kCentreHigh) &&
           ordinary(c.z, kCentreLow, kCentreHigh) && ordinary(n.x, kNormalLow, kNormalHigh) &&
           ordinary(n.y, kNormalLow, kNormalHigh) && ordinary(n.z, kNormalLow, kNormalHigh);
}

/// A zero normal is parallel to everything, so such a group fails every partner test, as
/// candidate and as searcher alike.
bool neverFaces(const PolyGroup& g) {
    const Vector3& n = g.normal;
    return portableSqrt(n.x * n.x + n.y * n.y + n.z * n.z) == 0.0;
}

bool sameBits(const Vector3& a, const Vector3& b) {
    return std::bit_cast<std::uint64_t>(a.x) == std::bit_cast<std::uint64_t>(b.x) &&
           std::bit_cast<std::uint64_t>(a.y) == std::bit_cast<std::uint64_t>(b.y) &&
           std::bit_cast<std::uint64_t>(a.z) == std::bit_cast<std::uint64_t>(b.z);
}

AlignFrame frameOf(const PolyGroup& g) {
    AlignFrame frame = g.buildAlignFrame();
    frame.computeAngles();
    return frame;
}

}  // namespace

double facingCosine(double maxAngle) {
    return portableCos(PI - maxAngle);
}

FacingQuery::FacingQuery(const PolyGroup& g, const FrameTransform& transform, std::uint32_t self,
                         std::uint32_t firstCandidate, double maxAngleLimit, double cosine)
    : group(&g),
      frame(&transform),
      origin(g.centre),
      axis(unit(g.normal)),
      across(acrossOf(axis)),
      acrossToo(cross(axis, across)),
      index(self),
      first(firstCandidate),
      maxAngle(maxAngleLimit),
      cosLimit(cosine + kCosineMargin),
      normalLength(portableSqrt(g.normal.x * g.normal.x + g.normal.y * g.normal.y +
                                g.normal.z * g.normal.z)),
      surelyPasses(cosine - kCosineMargin),
      surelyMisses(cosine + kCosineMargin) {}

FacingIndex::FacingIndex(std::vector<PolyGroup*> groups)
    : groups_(std::move(groups)), removed_(groups_.size(), 0) {
    assert(groups_.size() < kNone);
    double scale = 0.0;
    std::vector<FacingItem> tame;
    tame.reserve(groups_.size());  // no copies while it grows
    for (std::uint32_t i = 0; i < groups_.size(); ++i) {
        const PolyGroup& g = *groups_[i];
        if (neverFaces(g)) {
            continue;
        }
        if (isTame(g)) {
            tame.push_back({g.centre, unit(g.normal), i});
            scale = std::max(
                {scale, std::fabs(g.centre.x), std::fabs(g.centre.y), std::fabs(g.centre.z)});
        } else {
            wild_.push_back(i);
        }
    }
    slack_ = kRelativeSlack * scale + kSlackFloor;
    tree_ = FacingTree(std::move(tame), groups_.size());
    slotOf_.assign(groups_.size(), kNone);
    for (std::uint32_t k = 0; k < tree_.items().size(); ++k) {
        slotOf_[tree_.items()[k].index] = k;
    }
}

FacingIndex::FirstNearest FacingIndex::searchOneByOne(const FacingQuery& q) const {
    FirstNearest best;
    for (std::uint32_t j = q.first; j < groups_.size(); ++j) {
        double d = 0.0;
        if (j != q.index && removed_[j] == 0 &&
            facesAcross(*q.group, *q.frame, *groups_[j], q.maxAngle, d)) {
            best.offer(j, d);
        }
    }
    return best;
}

FacingIndex::FirstNearest FacingIndex::searchTreeAndWild(const FacingQuery& q,
                                                         std::vector<TreeSearch::Pending>& stack,
                                                         std::uint32_t start) const {
    // Tame candidates never give a NaN distance; the tree finds the first of the nearest.
    // Wild candidates are offered in order around it, which settles every NaN case: a NaN
    // distance wins only as the first candidate passing, and is never nearer after it.
    const FacingCandidates candidates{tree_, groups_, removed_, slack_};
    TreeSearch tree(candidates, q, stack);
    const std::uint32_t treeBest = tree.run(start);
    const double treeDistance = tree.bestDistance();
    assert(treeBest == kNone || !std::isnan(treeDistance));
    FirstNearest best;
    bool treeOffered = false;
    for (std::uint32_t j : wild_) {
        double d = 0.0;
        if (j < q.first || j == q.index || removed_[j] != 0 ||
            !facesAcross(*q.group, *q.frame, *groups_[j], q.maxAngle, d)) {
            continue;
        }
        if (!treeOffered && treeBest != kNone && treeBest < j) {
            best.offer(treeBest, treeDistance);
            treeOffered = true;
        }
        if (best.index == kNone && std::isnan(d) && treeBest != kNone && !treeOffered &&
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
    return best;
}

std::uint32_t FacingIndex::search(const FacingQuery& q, std::vector<TreeSearch::Pending>& stack,
                                  std::uint32_t start) const {
    const FirstNearest best =
        isTame(*q.group) ? searchTreeAndWild(q, stack, start) : searchOneByOne(q);
    if (best.index != kNone) {
        PolyGroup& searcher = *groups_[q.index];
        searcher.partner = groups_[best.index];
        searcher.partnerDistance = best.distance;
    }
    return best.index;
}

std::uint32_t FacingIndex::findPartner(std::uint32_t g, std::uint32_t first, double maxAngle) {
    assert(g < groups_.size() && groups_[g]->partner == nullptr);
    const PolyGroup& group = *groups_[g];
    if (neverFaces(group)) {
        return kNone;
    }
    const FrameTransform transform(frameOf(group));
    return search(FacingQuery(group, transform, g, first, maxAngle, facingCosine(maxAngle)),
                  stack_);
}

void FacingIndex::searchStretch(const std::vector<std::uint32_t>& order, std::size_t begin,
                                std::size_t end, double maxAngle, double cosine) const {
    // Neighbouring searches in the tree's order often share a normal (flat patches); the frame
    // of the last normal is kept. Their partners lie near each other on a smooth facing
    // surface, so each search starts where its axis meets the plane of the last partner found.
    std::vector<TreeSearch::Pending> stack;
    Vector3 lastNormal;
    FrameTransform transform{AlignFrame()};
    bool haveFrame = false;
    const PolyGroup* lastPartner = nullptr;
    std::uint32_t lastStart = kNone;
    for (std::size_t k = begin; k < end; ++k) {
        const std::uint32_t g = order[k];
        const PolyGroup& group = *groups_[g];
        if (neverFaces(group)) {
            continue;
        }
        if (!haveFrame || !sameBits(group.normal, lastNormal)) {
            transform = FrameTransform(frameOf(group));
            lastNormal = group.normal;
            haveFrame = true;
        }
        const FacingQuery query(group, transform, g, 0, maxAngle, cosine);
        Vector3 guess;
        std::uint32_t start = kNone;
        if (lastPartner != nullptr && guessAcross(query, *lastPartner, guess)) {
            start = tree_.nodeNear(guess, kStartItems, lastStart);
            lastStart = start;
        }
        const std::uint32_t found = search(query, stack, start);
        if (found != kNone && slotOf_[found] != kNone) {
            lastPartner = groups_[found];
        }
    }
}

void FacingIndex::findAllPartners(double maxAngle) {
    // Each search writes only its own group's partner and reads what no search changes, so
    // stretches of searches go to the team's threads and the result is the same for any
    // number of them. A stretch is a run of the tree's order, so that its neighbouring
    // searches share cached nodes, a normal and a guess where the partner is.
    const WorkerTeam team(groups_.size());
    std::vector<std::uint32_t> order;  // the tree's order, then the groups not in the tree
    order.reserve(groups_.size());
    for (const FacingItem& item : tree_.items()) {
        order.push_back(item.index);
    }
    for (std::uint32_t g = 0; g < groups_.size(); ++g) {
        if (tree_.leafOf(g) == kNone) {
            order.push_back(g);
        }
    }
    const double cosine = facingCosine(maxAngle);
    team.forRanges(order.size(), team.grainFor(order.size(), kSearchesPerRun),
                   [&](std::size_t begin, std::size_t end) {
                       searchStretch(order, begin, end, maxAngle, cosine);
                   });
}

void FacingIndex::remove(std::uint32_t g) {
    assert(g < groups_.size() && removed_[g] == 0);
    removed_[g] = 1;
    tree_.remove(g);
}

}  // namespace tarvel
