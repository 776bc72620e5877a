#include "grouping/facing_search.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <limits>

#include "geometry/line_plane.h"
#include "geometry/paired_doubles.h"
#include "geometry/portable_math.h"
#include "grouping/partner_search.h"

namespace tarvel {

namespace {

#if !defined(TARVEL_PAIRED_DOUBLES)
/// The interval the offsets from `origin` of a box's points span along `e`, as the distance of
/// its nearest end from 0 (0 when it holds 0).
[[gnu::always_inline]] inline double gapAlong(const Vector3& low, const Vector3& high,
                                              const Vector3& e) {
    const double from = std::min(low.x * e.x, high.x * e.x) + std::min(low.y * e.y, high.y * e.y) +
                        std::min(low.z * e.z, high.z * e.z);
    const double to = std::max(low.x * e.x, high.x * e.x) + std::max(low.y * e.y, high.y * e.y) +
                      std::max(low.z * e.z, high.z * e.z);
    if (from > 0.0) {
        return from;
    }
    return to < 0.0 ? -to : 0.0;
}
#endif

// A centre's height above the group's plane, taken along the unit normal, is within a few
// units in the last place of the height the group's frame gives it (the frame's rotations turn
// the normal onto +Z); this relative margin of the offset's size is far above that.
constexpr double kHeightMargin = 1e-12;

}  // namespace

bool TreeSearch::facesAcrossTame(const FacingItem& candidate, double& distance) const {
    // The exact test, with its arc cosine and its frame transform worked out only where the
    // cheaper cosine and height cannot tell. Both groups are tame, so nothing here overflows
    // or is NaN.
    const Vector3& n = candidate.normal;
    const Vector3& m = q_.normal;
    const double length = portableSqrt(n.x * n.x + n.y * n.y + n.z * n.z);
    const double cosine = (n.x * m.x + n.y * m.y + n.z * m.z) / (length * q_.normalLength);
    if (!(cosine < q_.surelyPasses)) {
        if (cosine > q_.surelyMisses || n.angleBetween(m) < PI - q_.maxAngle) {
            return false;
        }
    }
    const Vector3 offset = candidate.centre - q_.origin;
    const double height = dot(offset, q_.axis);
    const double margin =
        kHeightMargin * (std::fabs(offset.x) + std::fabs(offset.y) + std::fabs(offset.z));
    if (!(height > margin)) {
        if (height < -margin || q_.frame().apply(candidate.centre, q_.origin).z < 0.0) {
            return false;
        }
    }
    distance = distanceToAxis(candidate.centre, q_.origin, q_.normal);
    return true;
}

[[gnu::always_inline]] inline bool TreeSearch::cannotPass(const FacingNode& node) const {
    if (node.alive == 0 || node.maxIndex < q_.first) {
        return true;
    }
    const Vector3& a = q_.axis;
    const double minCos = std::min(node.normalLow.x * a.x, node.normalHigh.x * a.x) +
                          std::min(node.normalLow.y * a.y, node.normalHigh.y * a.y) +
                          std::min(node.normalLow.z * a.z, node.normalHigh.z * a.z);
    if (minCos > q_.cosLimit) {
        return true;  // every normal here is too far from opposite
    }
    const Vector3 low = node.low - q_.origin;
    const Vector3 high = node.high - q_.origin;
    const double maxHeight = std::max(low.x * a.x, high.x * a.x) +
                             std::max(low.y * a.y, high.y * a.y) +
                             std::max(low.z * a.z, high.z * a.z);
    return maxHeight < -slack_;  // every centre here lies behind the group
}

[[gnu::always_inline]] inline double TreeSearch::lateralSquared(const Vector3& offset) const {
#if defined(TARVEL_PAIRED_DOUBLES)
    // Both dot products at once, their terms added in the same order.
    const __m128d ab =
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(_mm_set1_pd(offset.x), _mm_load_pd(acrossPairs_[0])),
                              _mm_mul_pd(_mm_set1_pd(offset.y), _mm_load_pd(acrossPairs_[1]))),
                   _mm_mul_pd(_mm_set1_pd(offset.z), _mm_load_pd(acrossPairs_[2])));
    const __m128d squares = _mm_mul_pd(ab, ab);
    return _mm_cvtsd_f64(squares) + _mm_cvtsd_f64(_mm_unpackhi_pd(squares, squares));
#else
    const double a = dot(offset, q_.across);
    const double b = dot(offset, q_.acrossToo);
    return a * a + b * b;
#endif
}

[[gnu::always_inline]] inline double TreeSearch::nearestPossible(const FacingNode& node) const {
    // The box's offsets along each direction across the axis span an interval, and no centre
    // in the box is nearer than the nearest end of both intervals.
    const Vector3 low = node.low - q_.origin;
    const Vector3 high = node.high - q_.origin;
#if defined(TARVEL_PAIRED_DOUBLES)
    // gapAlong along both directions at once, operation for operation: the nearest end is the
    // larger of the interval's start, its end negated, and 0.
    __m128d from = _mm_setzero_pd();
    __m128d to = _mm_setzero_pd();
    const double lows[3] = {low.x, low.y, low.z};
    const double highs[3] = {high.x, high.y, high.z};
    for (int k = 0; k < 3; ++k) {
        const __m128d e = _mm_load_pd(acrossPairs_[k]);
        const __m128d l = _mm_mul_pd(_mm_set1_pd(lows[k]), e);
        const __m128d h = _mm_mul_pd(_mm_set1_pd(highs[k]), e);
        from = k == 0 ? _mm_min_pd(l, h) : _mm_add_pd(from, _mm_min_pd(l, h));
        to = k == 0 ? _mm_max_pd(l, h) : _mm_add_pd(to, _mm_max_pd(l, h));
    }
    const __m128d zero = _mm_setzero_pd();
    const __m128d gap = _mm_max_pd(_mm_max_pd(from, _mm_sub_pd(zero, to)), zero);
    const __m128d squares = _mm_mul_pd(gap, gap);
    return _mm_cvtsd_f64(squares) + _mm_cvtsd_f64(_mm_unpackhi_pd(squares, squares));
#else
    const double a = gapAlong(low, high, q_.across);
    const double b = gapAlong(low, high, q_.acrossToo);
    return a * a + b * b;
#endif
}

inline void TreeSearch::consider(const FacingItem& item) {
    const std::uint32_t j = item.index;
    if (j < q_.first || j == q_.index || removed_[j] != 0 ||
        dot(item.normal, q_.axis) * static_cast<double>(item.reciprocalLength) > q_.roughCosLimit ||
        dot(item.centre - q_.origin, q_.axis) < -slack_ ||
        (best_ != kNone && lateralSquared(item.centre - q_.origin) > reach_)) {
        return;
    }
    double d = 0.0;
    if (!facesAcrossTame(item, d)) {
        return;
    }
    if (best_ == kNone || d < bestDistance_ || (d == bestDistance_ && j < best_)) {
        best_ = j;
        bestDistance_ = d;
        reach_ = (d + slack_) * (d + slack_);
    }
}

void TreeSearch::searchLeaf(const FacingNode& leaf) {
    // The item nearest the axis first: when it passes, most of the others then lie beyond the
    // reach and need no exact test. Which item wins does not depend on the order. Each item's
    // distance from the axis is kept, so that once there is a best, the items beyond its reach
    // (which consider() would pass over, and which stay beyond it as the reach only shrinks)
    // are passed over at once, and a leaf wholly beyond it costs one pass.
    assert(leaf.end - leaf.begin <= kLeafItems);
    double lateral[kLeafItems];
    std::uint32_t nearest = 0;
    const std::uint32_t size = leaf.end - leaf.begin;
    for (std::uint32_t k = 0; k < size; ++k) {
        lateral[k] = lateralSquared(items_[leaf.begin + k].centre - q_.origin);
        if (lateral[k] < lateral[nearest]) {
            nearest = k;
        }
    }
    if (best_ != kNone && lateral[nearest] > reach_) {
        return;
    }
    consider(items_[leaf.begin + nearest]);
    for (std::uint32_t k = 0; k < size; ++k) {
        if (k != nearest && !(best_ != kNone && lateral[k] > reach_)) {
            consider(items_[leaf.begin + k]);
        }
    }
}

void TreeSearch::searchBelow(std::uint32_t root, double rootNearest) {
    stack_.assign(1, {root, rootNearest});
    while (!stack_.empty()) {
        const Pending top = stack_.back();
        stack_.pop_back();
        if (best_ != kNone && top.nearest > reach_) {
            continue;
        }
        const FacingNode& node = nodes_[top.node];
        if (cannotPass(node)) {
            continue;
        }
        if (node.isLeaf()) {
            searchLeaf(node);
            continue;
        }
        const double left = nearestPossible(nodes_[node.left]);
        const double right = nearestPossible(nodes_[node.right]);
        if (left <= right) {
            stack_.push_back({node.right, right});
            stack_.push_back({node.left, left});
        } else {
            stack_.push_back({node.left, left});
            stack_.push_back({node.right, right});
        }
    }
}

bool TreeSearch::searchStart(std::uint32_t start) {
    const FacingNode& node = nodes_[start];
    searchBelow(start, nearestPossible(node));
    // When the best lies farther off than the start is wide, the winner is likely elsewhere
    // and a search from the root finds it sooner.
    const Vector3 size = node.high - node.low;
    return best_ != kNone && reach_ <= dot(size, size);
}

void TreeSearch::boundReach() {
    // The centres within the reach lie within its radius of the part of the axis that runs in
    // front of the group through the tree's box (widened by that radius): that part is found
    // by cutting the axis with the box's three slabs, and the box sought is the part's own,
    // widened by the radius. The radius and the part carry margins of a few slacks, far above
    // the rounding errors of this arithmetic and of the offsets across the axis.
    const double margin = 4.0 * slack_;
    const double radius = portableSqrt(reach_) + margin;
    const FacingNode& root = nodes_[0];
    const Vector3& o = q_.origin;
    const Vector3& a = q_.axis;
    double from = -slack_ - margin;
    double to = std::numeric_limits<double>::infinity();
    const double lows[3] = {root.low.x - radius - o.x, root.low.y - radius - o.y,
                            root.low.z - radius - o.z};
    const double highs[3] = {root.high.x + radius - o.x, root.high.y + radius - o.y,
                             root.high.z + radius - o.z};
    const double along[3] = {a.x, a.y, a.z};
    for (int k = 0; k < 3; ++k) {
        if (along[k] != 0.0) {
            const double enter = (along[k] > 0.0 ? lows[k] : highs[k]) / along[k];
            const double leave = (along[k] > 0.0 ? highs[k] : lows[k]) / along[k];
            from = std::max(from, enter - margin);
            to = std::min(to, leave + margin);
        }
    }
    if (!(from <= to)) {
        // Nothing of the tree lies in front of the group within the reach.
        reachLow_ = Vector3(std::numeric_limits<double>::infinity());
        reachHigh_ = Vector3(-std::numeric_limits<double>::infinity());
        return;
    }
    const Vector3 start = o + from * a;
    const Vector3 end = o + to * a;
    reachLow_ = Vector3(std::min(start.x, end.x) - radius, std::min(start.y, end.y) - radius,
                        std::min(start.z, end.z) - radius);
    reachHigh_ = Vector3(std::max(start.x, end.x) + radius, std::max(start.y, end.y) + radius,
                         std::max(start.z, end.z) + radius);
}

[[gnu::always_inline]] inline bool TreeSearch::beyondReach(const FacingNode& node) const {
    return node.low.x > reachHigh_.x || node.high.x < reachLow_.x || node.low.y > reachHigh_.y ||
           node.high.y < reachLow_.y || node.low.z > reachHigh_.z || node.high.z < reachLow_.z;
}

void TreeSearch::climbFrom(std::uint32_t node) {
    boundReach();
    std::uint32_t at = node;
    for (std::uint32_t parent = nodes_[node].parent; parent != kNone;
         at = parent, parent = nodes_[parent].parent) {
        const FacingNode& up = nodes_[parent];
        const std::uint32_t sibling = up.left == at ? up.right : up.left;
        const FacingNode& other = nodes_[sibling];
        if (beyondReach(other)) {
            continue;  // every centre in it lies beyond the reach, or behind the group
        }
        const double nearest = nearestPossible(other);
        if (best_ == kNone || nearest <= reach_) {
            searchBelow(sibling, nearest);
        }
    }
}

std::uint32_t TreeSearch::run(std::uint32_t start) {
    if (nodes_.empty()) {
        return kNone;
    }
    // Starting where the partner likely is gives a near best at once, and with it the search
    // passes over most of the tree. Every sibling on the way up from the start to the root is
    // then searched unless it cannot hold anything as near: together they are the whole tree,
    // so the result is the same as from the root.
    if (start != kNone) {
        assert(start < nodes_.size());
        if (searchStart(start)) {
            climbFrom(start);
            return best_;
        }
    }
    searchBelow(0, 0.0);
    return best_;
}

bool TreeSearch::anyPassingBelow(std::uint32_t below) {
    if (nodes_.empty()) {
        return false;
    }
    stack_.assign(1, {0, 0.0});
    while (!stack_.empty()) {
        const FacingNode& node = nodes_[stack_.back().node];
        stack_.pop_back();
        if (cannotPass(node) || node.minIndex >= below) {
            continue;
        }
        if (!node.isLeaf()) {
            stack_.push_back({node.left, 0.0});
            stack_.push_back({node.right, 0.0});
            continue;
        }
        for (std::uint32_t k = node.begin; k < node.end; ++k) {
            const FacingItem& item = items_[k];
            const std::uint32_t j = item.index;
            double d = 0.0;
            if (j >= q_.first && j < below && j != q_.index && removed_[j] == 0 &&
                facesAcross(q_.origin, q_.normal, q_.frame(), item.centre, item.normal, q_.maxAngle,
                            d)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace tarvel
