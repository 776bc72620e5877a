#include "grouping/facing_index.h"

#include <algorithm>
#include <cmath>

#include "grouping/partner_search.h"

namespace tarvel {

namespace {

constexpr std::uint32_t kLeafSize = 8;

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
    return ordinary(c.x, 1e-100, 1e100) && ordinary(c.y, 1e-100, 1e100) &&
           ordinary(c.z, 1e-100, 1e100) && ordinary(n.x, 1e-50, 1e50) &&
           ordinary(n.y, 1e-50, 1e50) && ordinary(n.z, 1e-50, 1e50);
}

/// A zero normal is parallel to everything, so such a group fails every partner test, as
/// candidate and as searcher alike.
bool neverFaces(const PolyGroup& g) {
    const Vector3& n = g.normal;
    return std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z) == 0.0;
}

Vector3 unit(const Vector3& v) {
    return v / std::sqrt(dot(v, v));
}

double lateral(const Vector3& p, const Vector3& origin, const Vector3& axis) {
    const Vector3 v = p - origin;
    const Vector3 w = v - dot(v, axis) * axis;
    return std::sqrt(dot(w, w));
}

}  // namespace

/// A subtree over the tame groups tame_[begin, end).
struct FacingIndex::Node {
    Vector3 low, high;              // box of the centres
    Vector3 normalLow, normalHigh;  // box of the unit normals
    std::int32_t minIndex = 0, maxIndex = 0;
    std::int32_t alive = 0;  // groups in the subtree not removed
    std::int32_t parent = -1;
    std::int32_t left = -1, right = -1;  // children, -1 for a leaf
    std::uint32_t begin = 0, end = 0;
};

struct FacingIndex::Query {
    Query(const PolyGroup& g, std::int32_t self, std::int32_t afterIndex, double maxAngleLimit)
        : group(&g),
          frame([&g] {
              AlignFrame f = g.buildAlignFrame();
              f.computeAngles();
              return f;
          }()),
          origin(g.centre),
          axis(unit(g.normal)),
          index(self),
          after(afterIndex),
          maxAngle(maxAngleLimit),
          // Normals whose cosine with the axis lies above this all miss the angle limit.
          cosLimit(std::cos(PI - maxAngleLimit) + 1e-9) {}

    const PolyGroup* group;
    FrameTransform frame;
    Vector3 origin;
    Vector3 axis;
    std::int32_t index;
    std::int32_t after;
    double maxAngle;
    double cosLimit;
};

FacingIndex::FacingIndex(std::vector<PolyGroup*> groups)
    : groups_(std::move(groups)), removed_(groups_.size(), 0), leafOf_(groups_.size(), -1) {
    double scale = 0.0;
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        const PolyGroup& g = *groups_[i];
        if (neverFaces(g)) {
            continue;
        }
        if (isTame(g)) {
            tame_.push_back(static_cast<std::int32_t>(i));
            scale = std::max(
                {scale, std::fabs(g.centre.x), std::fabs(g.centre.y), std::fabs(g.centre.z)});
        } else {
            wild_.push_back(static_cast<std::int32_t>(i));
        }
    }
    // Rounding errors of the distances are a few units in the last place of the coordinates;
    // this margin is a thousand times that.
    slack_ = 1e-12 * scale + 1e-200;
    build();
}

FacingIndex::~FacingIndex() = default;

void FacingIndex::build() {
    if (tame_.empty()) {
        return;
    }
    nodes_.reserve(2 * tame_.size() / kLeafSize + 2);
    nodes_.push_back({});
    nodes_[0].end = static_cast<std::uint32_t>(tame_.size());
    std::vector<std::int32_t> pending{0};
    while (!pending.empty()) {
        const std::int32_t at = pending.back();
        pending.pop_back();
        Node node = nodes_[at];
        const PolyGroup& first = *groups_[tame_[node.begin]];
        node.low = node.high = first.centre;
        node.normalLow = node.normalHigh = unit(first.normal);
        node.minIndex = node.maxIndex = tame_[node.begin];
        for (std::uint32_t k = node.begin; k < node.end; ++k) {
            const PolyGroup& g = *groups_[tame_[k]];
            const Vector3 u = unit(g.normal);
            node.low = {std::min(node.low.x, g.centre.x), std::min(node.low.y, g.centre.y),
                        std::min(node.low.z, g.centre.z)};
            node.high = {std::max(node.high.x, g.centre.x), std::max(node.high.y, g.centre.y),
                         std::max(node.high.z, g.centre.z)};
            node.normalLow = {std::min(node.normalLow.x, u.x), std::min(node.normalLow.y, u.y),
                              std::min(node.normalLow.z, u.z)};
            node.normalHigh = {std::max(node.normalHigh.x, u.x), std::max(node.normalHigh.y, u.y),
                               std::max(node.normalHigh.z, u.z)};
            node.minIndex = std::min(node.minIndex, tame_[k]);
            node.maxIndex = std::max(node.maxIndex, tame_[k]);
        }
        node.alive = static_cast<std::int32_t>(node.end - node.begin);
        if (node.end - node.begin <= kLeafSize) {
            for (std::uint32_t k = node.begin; k < node.end; ++k) {
                leafOf_[static_cast<std::size_t>(tame_[k])] = at;
            }
            nodes_[at] = node;
            continue;
        }
        // Split at the median of the widest extent of the centres.
        const Vector3 extent = node.high - node.low;
        const int axis = extent.x >= extent.y && extent.x >= extent.z ? 0
                         : extent.y >= extent.z                       ? 1
                                                                      : 2;
        auto coordinate = [&](std::int32_t i) {
            const Vector3& c = groups_[static_cast<std::size_t>(i)]->centre;
            return axis == 0 ? c.x : axis == 1 ? c.y : c.z;
        };
        const std::uint32_t middle = node.begin + (node.end - node.begin) / 2;
        std::nth_element(
            tame_.begin() + node.begin, tame_.begin() + middle, tame_.begin() + node.end,
            [&](std::int32_t a, std::int32_t b) { return coordinate(a) < coordinate(b); });
        node.left = static_cast<std::int32_t>(nodes_.size());
        node.right = node.left + 1;
        nodes_[at] = node;
        Node left;
        left.parent = at;
        left.begin = node.begin;
        left.end = middle;
        Node right;
        right.parent = at;
        right.begin = middle;
        right.end = node.end;
        nodes_.push_back(left);
        nodes_.push_back(right);
        pending.push_back(node.left);
        pending.push_back(node.right);
    }
}

bool FacingIndex::skipNode(const Node& node, const Query& q) const {
    if (node.alive == 0 || node.maxIndex <= q.after) {
        return true;
    }
    const Vector3& a = q.axis;
    const double minCos = std::min(node.normalLow.x * a.x, node.normalHigh.x * a.x) +
                          std::min(node.normalLow.y * a.y, node.normalHigh.y * a.y) +
                          std::min(node.normalLow.z * a.z, node.normalHigh.z * a.z);
    if (minCos > q.cosLimit) {
        return true;  // every normal here is too far from opposite
    }
    const Vector3 low = node.low - q.origin;
    const Vector3 high = node.high - q.origin;
    const double maxHeight = std::max(low.x * a.x, high.x * a.x) +
                             std::max(low.y * a.y, high.y * a.y) +
                             std::max(low.z * a.z, high.z * a.z);
    return maxHeight < -slack_;  // every centre here lies behind the group
}

std::int32_t FacingIndex::searchTree(const Query& q, double& bestDistance) const {
    std::int32_t best = -1;
    if (nodes_.empty()) {
        return best;
    }
    // A lower bound of a node's distance from the axis: that of its box's bounding sphere.
    auto nearestPossible = [&](const Node& node) {
        const Vector3 centre = (node.low + node.high) * 0.5;
        const Vector3 half = (node.high - node.low) * 0.5;
        return lateral(centre, q.origin, q.axis) - std::sqrt(dot(half, half));
    };
    std::vector<std::int32_t> stack{0};
    while (!stack.empty()) {
        const Node& node = nodes_[static_cast<std::size_t>(stack.back())];
        stack.pop_back();
        if (skipNode(node, q) || (best >= 0 && nearestPossible(node) > bestDistance + slack_)) {
            continue;
        }
        if (node.left >= 0) {
            const Node& left = nodes_[static_cast<std::size_t>(node.left)];
            const Node& right = nodes_[static_cast<std::size_t>(node.right)];
            const bool leftFirst = nearestPossible(left) <= nearestPossible(right);
            stack.push_back(leftFirst ? node.right : node.left);
            stack.push_back(leftFirst ? node.left : node.right);
            continue;
        }
        for (std::uint32_t k = node.begin; k < node.end; ++k) {
            const std::int32_t j = tame_[k];
            if (j <= q.after || j == q.index || removed_[static_cast<std::size_t>(j)] != 0) {
                continue;
            }
            const PolyGroup& candidate = *groups_[static_cast<std::size_t>(j)];
            if (best >= 0 && lateral(candidate.centre, q.origin, q.axis) > bestDistance + slack_) {
                continue;
            }
            double d = 0.0;
            if (!facesAcross(*q.group, q.frame, candidate, q.maxAngle, d)) {
                continue;
            }
            if (best < 0 || d < bestDistance || (d == bestDistance && j < best)) {
                best = j;
                bestDistance = d;
            }
        }
    }
    return best;
}

bool FacingIndex::anyPassingBelow(const Query& q, std::int32_t below) const {
    if (nodes_.empty()) {
        return false;
    }
    std::vector<std::int32_t> stack{0};
    while (!stack.empty()) {
        const Node& node = nodes_[static_cast<std::size_t>(stack.back())];
        stack.pop_back();
        if (skipNode(node, q) || node.minIndex >= below) {
            continue;
        }
        if (node.left >= 0) {
            stack.push_back(node.left);
            stack.push_back(node.right);
            continue;
        }
        for (std::uint32_t k = node.begin; k < node.end; ++k) {
            const std::int32_t j = tame_[k];
            double d = 0.0;
            if (j > q.after && j < below && j != q.index &&
                removed_[static_cast<std::size_t>(j)] == 0 &&
                facesAcross(*q.group, q.frame, *groups_[static_cast<std::size_t>(j)], q.maxAngle,
                            d)) {
                return true;
            }
        }
    }
    return false;
}

std::int32_t FacingIndex::findPartner(std::int32_t g, std::int32_t after, double maxAngle) {
    PolyGroup& group = *groups_[static_cast<std::size_t>(g)];
    if (neverFaces(group)) {
        return -1;
    }
    const Query q(group, g, after, maxAngle);
    std::int32_t best = -1;
    double bestDistance = 0.0;
    auto offer = [&](std::int32_t j, double d) {
        // considerPartner's rule: the first one passing, then only what is strictly nearer.
        if (best < 0 || bestDistance > d) {
            best = j;
            bestDistance = d;
        }
    };

    if (!isTame(group)) {
        for (std::size_t j = static_cast<std::size_t>(std::max(after + 1, 0)); j < groups_.size();
             ++j) {
            double d = 0.0;
            if (static_cast<std::int32_t>(j) != g && removed_[j] == 0 &&
                facesAcross(group, q.frame, *groups_[j], maxAngle, d)) {
                offer(static_cast<std::int32_t>(j), d);
            }
        }
    } else {
        // Tame candidates never give a NaN distance; the tree finds the first of the nearest.
        // Wild candidates are offered in order around it, which settles every NaN case: a
        // NaN distance wins only as the first candidate passing, and is never nearer after it.
        double treeDistance = 0.0;
        const std::int32_t treeBest = searchTree(q, treeDistance);
        bool treeOffered = false;
        for (std::int32_t j : wild_) {
            double d = 0.0;
            if (j <= after || j == g || removed_[static_cast<std::size_t>(j)] != 0 ||
                !facesAcross(group, q.frame, *groups_[static_cast<std::size_t>(j)], maxAngle, d)) {
                continue;
            }
            if (!treeOffered && treeBest >= 0 && treeBest < j) {
                offer(treeBest, treeDistance);
                treeOffered = true;
            }
            if (best < 0 && std::isnan(d) && treeBest >= 0 && !treeOffered &&
                anyPassingBelow(q, j)) {
                // A tame candidate before j passes, so j is not the first to pass; a NaN
                // distance after the first never replaces anything.
                continue;
            }
            offer(j, d);
        }
        if (!treeOffered && treeBest >= 0) {
            offer(treeBest, treeDistance);
        }
    }
    if (best >= 0) {
        group.partner = groups_[static_cast<std::size_t>(best)];
        group.partnerDistance = bestDistance;
    }
    return best;
}

void FacingIndex::remove(std::int32_t g) {
    removed_[static_cast<std::size_t>(g)] = 1;
    for (std::int32_t at = leafOf_[static_cast<std::size_t>(g)]; at >= 0;
         at = nodes_[static_cast<std::size_t>(at)].parent) {
        --nodes_[static_cast<std::size_t>(at)].alive;
    }
}

}  // namespace tarvel
