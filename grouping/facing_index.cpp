#include "grouping/facing_index.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "geometry/frame_transform.h"
#include "geometry/portable_math.h"
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
    return portableSqrt(n.x * n.x + n.y * n.y + n.z * n.z) == 0.0;
}

Vector3 unit(const Vector3& v) {
    return v / portableSqrt(dot(v, v));
}

Vector3 lower(const Vector3& a, const Vector3& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
}

Vector3 upper(const Vector3& a, const Vector3& b) {
    return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
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

/// A subtree over the items [begin, end).
struct FacingIndex::Node {
    Vector3 low, high;              // box of the centres
    Vector3 normalLow, normalHigh;  // box of the unit normals
    std::int32_t minIndex = 0, maxIndex = 0;
    std::int32_t alive = 0;  // groups in the subtree not removed
    std::int32_t parent = -1;
    std::int32_t left = -1, right = -1;  // children, -1 for a leaf
    std::uint32_t begin = 0, end = 0;
};

/// A tame group as the tree sees it.
struct FacingIndex::Item {
    Vector3 centre;
    Vector3 unitNormal;
    std::int32_t index;
};

struct FacingIndex::Query {
    Query(const PolyGroup& g, const FrameTransform& transform, std::int32_t self,
          std::int32_t afterIndex, double maxAngleLimit)
        : group(&g),
          frame(&transform),
          origin(g.centre),
          axis(unit(g.normal)),
          across(
              unit(std::fabs(axis.x) <= std::fabs(axis.y) && std::fabs(axis.x) <= std::fabs(axis.z)
                       ? cross(axis, Vector3(1, 0, 0))
                   : std::fabs(axis.y) <= std::fabs(axis.z) ? cross(axis, Vector3(0, 1, 0))
                                                            : cross(axis, Vector3(0, 0, 1)))),
          acrossToo(cross(axis, across)),
          index(self),
          after(afterIndex),
          maxAngle(maxAngleLimit),
          // Normals whose cosine with the axis lies above this all miss the angle limit.
          cosLimit(portableCos(PI - maxAngleLimit) + 1e-9) {}

    const PolyGroup* group;
    const FrameTransform* frame;
    Vector3 origin;
    Vector3 axis;
    // Two unit directions across the axis: a point's distance from the axis is the length of
    // its offset along them.
    Vector3 across;
    Vector3 acrossToo;
    std::int32_t index;
    std::int32_t after;
    double maxAngle;
    double cosLimit;
};

namespace {

/// The squared distance from the axis of an offset from the axis point.
template <typename Query>
double lateralSquared(const Vector3& offset, const Query& q) {
    const double a = dot(offset, q.across);
    const double b = dot(offset, q.acrossToo);
    return a * a + b * b;
}

}  // namespace

FacingIndex::FacingIndex(std::vector<PolyGroup*> groups)
    : groups_(std::move(groups)), removed_(groups_.size(), 0), leafOf_(groups_.size(), -1) {
    double scale = 0.0;
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        const PolyGroup& g = *groups_[i];
        if (neverFaces(g)) {
            continue;
        }
        if (isTame(g)) {
            items_.push_back({g.centre, unit(g.normal), static_cast<std::int32_t>(i)});
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
    slotOf_.assign(groups_.size(), -1);
    for (std::size_t k = 0; k < items_.size(); ++k) {
        slotOf_[static_cast<std::size_t>(items_[k].index)] = static_cast<std::int32_t>(k);
    }
}

FacingIndex::~FacingIndex() = default;

void FacingIndex::build() {
    if (items_.empty()) {
        return;
    }
    // Lay the items along a Morton curve through their centres, so that every run of the
    // order is spatially compact, then halve runs down to leaves.
    Vector3 low = items_[0].centre;
    Vector3 high = low;
    for (const Item& item : items_) {
        low = lower(low, item.centre);
        high = upper(high, item.centre);
    }
    const Vector3 extent = high - low;
    auto cell = [](double offset, double size) {
        constexpr double kCells = 2097151.0;  // 21 bits per axis
        const double t = size > 0.0 ? offset / size * kCells : 0.0;
        return static_cast<std::uint64_t>(std::clamp(t, 0.0, kCells));
    };
    auto spread = [](std::uint64_t v) {  // bit i moves to bit 3i
        v &= 0x1FFFFF;
        v = (v | v << 32) & 0x1F00000000FFFFULL;
        v = (v | v << 16) & 0x1F0000FF0000FFULL;
        v = (v | v << 8) & 0x100F00F00F00F00FULL;
        v = (v | v << 4) & 0x10C30C30C30C30C3ULL;
        v = (v | v << 2) & 0x1249249249249249ULL;
        return v;
    };
    std::vector<std::pair<std::uint64_t, std::uint32_t>> order(items_.size());
    for (std::size_t k = 0; k < items_.size(); ++k) {
        const Vector3 offset = items_[k].centre - low;
        order[k] = {spread(cell(offset.x, extent.x)) | spread(cell(offset.y, extent.y)) << 1 |
                        spread(cell(offset.z, extent.z)) << 2,
                    static_cast<std::uint32_t>(k)};
    }
    std::sort(order.begin(), order.end());
    std::vector<Item> sorted;
    sorted.reserve(items_.size());
    for (const auto& entry : order) {
        sorted.push_back(items_[entry.second]);
    }
    items_ = std::move(sorted);
    auto codeAt = [&order](std::uint32_t k) { return order[k].first; };

    // Ranges top down, each split where its codes' highest differing bit turns from 0 to 1 (so
    // that a split never joins distant parts of the curve), or in the middle where all codes
    // agree. A parent always comes before its children in nodes_.
    nodes_.reserve(2 * items_.size() / kLeafSize + 2);
    nodes_.push_back({});
    nodes_[0].end = static_cast<std::uint32_t>(items_.size());
    for (std::size_t at = 0; at < nodes_.size(); ++at) {
        const std::uint32_t begin = nodes_[at].begin;
        const std::uint32_t end = nodes_[at].end;
        if (end - begin <= kLeafSize) {
            continue;
        }
        std::uint32_t middle = begin + (end - begin) / 2;
        const std::uint64_t differ = codeAt(begin) ^ codeAt(end - 1);
        if (differ != 0) {
            const std::uint64_t bit = std::uint64_t{1} << (63 - std::countl_zero(differ));
            std::uint32_t lo = begin;
            std::uint32_t hi = end - 1;  // codeAt(hi) has the bit, codeAt(begin) has not
            while (lo + 1 < hi) {
                const std::uint32_t mid = lo + (hi - lo) / 2;
                ((codeAt(mid) & bit) != 0 ? hi : lo) = mid;
            }
            middle = hi;
        }
        const auto self = static_cast<std::int32_t>(at);
        nodes_[at].left = static_cast<std::int32_t>(nodes_.size());
        nodes_[at].right = nodes_[at].left + 1;
        Node left;
        left.parent = self;
        left.begin = begin;
        left.end = middle;
        Node right;
        right.parent = self;
        right.begin = middle;
        right.end = end;
        nodes_.push_back(left);
        nodes_.push_back(right);
    }
    // Bounds bottom up.
    for (std::size_t at = nodes_.size(); at-- > 0;) {
        Node& node = nodes_[at];
        if (node.left >= 0) {
            const Node& a = nodes_[static_cast<std::size_t>(node.left)];
            const Node& b = nodes_[static_cast<std::size_t>(node.right)];
            node.low = lower(a.low, b.low);
            node.high = upper(a.high, b.high);
            node.normalLow = lower(a.normalLow, b.normalLow);
            node.normalHigh = upper(a.normalHigh, b.normalHigh);
            node.minIndex = std::min(a.minIndex, b.minIndex);
            node.maxIndex = std::max(a.maxIndex, b.maxIndex);
            node.alive = a.alive + b.alive;
            continue;
        }
        const Item& first = items_[node.begin];
        node.low = node.high = first.centre;
        node.normalLow = node.normalHigh = first.unitNormal;
        node.minIndex = node.maxIndex = first.index;
        for (std::uint32_t k = node.begin; k < node.end; ++k) {
            const Item& item = items_[k];
            node.low = lower(node.low, item.centre);
            node.high = upper(node.high, item.centre);
            node.normalLow = lower(node.normalLow, item.unitNormal);
            node.normalHigh = upper(node.normalHigh, item.unitNormal);
            node.minIndex = std::min(node.minIndex, item.index);
            node.maxIndex = std::max(node.maxIndex, item.index);
            leafOf_[static_cast<std::size_t>(item.index)] = static_cast<std::int32_t>(at);
        }
        node.alive = static_cast<std::int32_t>(node.end - node.begin);
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

std::int32_t FacingIndex::searchTree(const Query& q, double& bestDistance, std::int32_t hint) {
    std::int32_t best = -1;
    if (nodes_.empty()) {
        return best;
    }
    // Squared distances from the axis, compared with the best so far plus the margin.
    double reach = 0.0;
    auto consider = [&](const Item& item) {
        const std::int32_t j = item.index;
        if (j <= q.after || j == q.index || removed_[static_cast<std::size_t>(j)] != 0 ||
            dot(item.unitNormal, q.axis) > q.cosLimit ||
            dot(item.centre - q.origin, q.axis) < -slack_ ||
            (best >= 0 && lateralSquared(item.centre - q.origin, q) > reach)) {
            return;
        }
        double d = 0.0;
        if (!facesAcross(*q.group, *q.frame, *groups_[static_cast<std::size_t>(j)], q.maxAngle,
                         d)) {
            return;
        }
        if (best < 0 || d < bestDistance || (d == bestDistance && j < best)) {
            best = j;
            bestDistance = d;
            reach = (d + slack_) * (d + slack_);
        }
    };
    // A lower bound of a node's squared distance from the axis: the box's offsets along each
    // direction across the axis span an interval, and no centre in the box is nearer than the
    // nearest end of both intervals.
    auto nearestPossible = [&](const Node& node) {
        const Vector3 low = node.low - q.origin;
        const Vector3 high = node.high - q.origin;
        auto gap = [&](const Vector3& e) {
            const double from = std::min(low.x * e.x, high.x * e.x) +
                                std::min(low.y * e.y, high.y * e.y) +
                                std::min(low.z * e.z, high.z * e.z);
            const double to = std::max(low.x * e.x, high.x * e.x) +
                              std::max(low.y * e.y, high.y * e.y) +
                              std::max(low.z * e.z, high.z * e.z);
            return from > 0.0 ? from : to < 0.0 ? -to : 0.0;
        };
        const double a = gap(q.across);
        const double b = gap(q.acrossToo);
        return a * a + b * b;
    };
    // Depth first below `root`, nearer child first.
    auto searchBelow = [&](std::int32_t root, double rootNearest) {
        stack_.assign(1, {root, rootNearest});
        while (!stack_.empty()) {
            const Pending top = stack_.back();
            stack_.pop_back();
            if (best >= 0 && top.nearest > reach) {
                continue;
            }
            const Node& node = nodes_[static_cast<std::size_t>(top.node)];
            if (skipNode(node, q)) {
                continue;
            }
            if (node.left >= 0) {
                const double left = nearestPossible(nodes_[static_cast<std::size_t>(node.left)]);
                const double right = nearestPossible(nodes_[static_cast<std::size_t>(node.right)]);
                if (left <= right) {
                    stack_.push_back({node.right, right});
                    stack_.push_back({node.left, left});
                } else {
                    stack_.push_back({node.left, left});
                    stack_.push_back({node.right, right});
                }
                continue;
            }
            for (std::uint32_t k = node.begin; k < node.end; ++k) {
                consider(items_[k]);
            }
        }
    };
    if (hint < 0) {
        searchBelow(0, 0.0);
        return best;
    }
    // A good first candidate (a neighbour's partner) lets the search pass over most of the
    // tree. Starting from its leaf, every sibling on the way up to the root is searched unless
    // it cannot hold anything as near: together they are the whole tree, so the result is the
    // same as from the root.
    std::int32_t at =
        leafOf_[static_cast<std::size_t>(items_[static_cast<std::size_t>(hint)].index)];
    const Node& leaf = nodes_[static_cast<std::size_t>(at)];
    if (!skipNode(leaf, q)) {
        consider(items_[static_cast<std::size_t>(hint)]);
        for (std::uint32_t k = leaf.begin; k < leaf.end; ++k) {
            consider(items_[k]);
        }
    }
    // When the best lies farther off than the leaf is wide, the winner is likely elsewhere and
    // a search from the root finds it sooner.
    const Vector3 size = leaf.high - leaf.low;
    if (best < 0 || reach > dot(size, size)) {
        searchBelow(0, 0.0);
        return best;
    }
    for (std::int32_t parent = leaf.parent; parent >= 0;
         at = parent, parent = nodes_[static_cast<std::size_t>(parent)].parent) {
        const Node& up = nodes_[static_cast<std::size_t>(parent)];
        const std::int32_t sibling = up.left == at ? up.right : up.left;
        const double nearest = nearestPossible(nodes_[static_cast<std::size_t>(sibling)]);
        if (best < 0 || nearest <= reach) {
            searchBelow(sibling, nearest);
        }
    }
    return best;
}

bool FacingIndex::anyPassingBelow(const Query& q, std::int32_t below) {
    if (nodes_.empty()) {
        return false;
    }
    stack_.assign(1, {0, 0.0});
    while (!stack_.empty()) {
        const Node& node = nodes_[static_cast<std::size_t>(stack_.back().node)];
        stack_.pop_back();
        if (skipNode(node, q) || node.minIndex >= below) {
            continue;
        }
        if (node.left >= 0) {
            stack_.push_back({node.left, 0.0});
            stack_.push_back({node.right, 0.0});
            continue;
        }
        for (std::uint32_t k = node.begin; k < node.end; ++k) {
            const std::int32_t j = items_[k].index;
            double d = 0.0;
            if (j > q.after && j < below && j != q.index &&
                removed_[static_cast<std::size_t>(j)] == 0 &&
                facesAcross(*q.group, *q.frame, *groups_[static_cast<std::size_t>(j)], q.maxAngle,
                            d)) {
                return true;
            }
        }
    }
    return false;
}

std::int32_t FacingIndex::search(const Query& q, std::int32_t hint) {
    const PolyGroup& group = *q.group;
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
        for (std::size_t j = static_cast<std::size_t>(std::max(q.after + 1, 0)); j < groups_.size();
             ++j) {
            double d = 0.0;
            if (static_cast<std::int32_t>(j) != q.index && removed_[j] == 0 &&
                facesAcross(group, *q.frame, *groups_[j], q.maxAngle, d)) {
                offer(static_cast<std::int32_t>(j), d);
            }
        }
    } else {
        // Tame candidates never give a NaN distance; the tree finds the first of the nearest.
        // Wild candidates are offered in order around it, which settles every NaN case: a
        // NaN distance wins only as the first candidate passing, and is never nearer after it.
        double treeDistance = 0.0;
        const std::int32_t treeBest = searchTree(q, treeDistance, hint);
        bool treeOffered = false;
        for (std::int32_t j : wild_) {
            double d = 0.0;
            if (j <= q.after || j == q.index || removed_[static_cast<std::size_t>(j)] != 0 ||
                !facesAcross(group, *q.frame, *groups_[static_cast<std::size_t>(j)], q.maxAngle,
                             d)) {
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
        PolyGroup& searcher = *groups_[static_cast<std::size_t>(q.index)];
        searcher.partner = groups_[static_cast<std::size_t>(best)];
        searcher.partnerDistance = bestDistance;
    }
    return best;
}

std::int32_t FacingIndex::findPartner(std::int32_t g, std::int32_t after, double maxAngle) {
    const PolyGroup& group = *groups_[static_cast<std::size_t>(g)];
    if (neverFaces(group)) {
        return -1;
    }
    const FrameTransform transform(frameOf(group));
    return search(Query(group, transform, g, after, maxAngle));
}

void FacingIndex::findAllPartners(double maxAngle) {
    // Neighbouring searches in the tree's order often share a normal (flat patches); the frame
    // of the last normal is kept.
    Vector3 lastNormal;
    FrameTransform transform{AlignFrame()};
    bool haveFrame = false;
    std::int32_t hint = -1;  // the last partner found, a likely near candidate for the next
    auto searchFrom = [&](std::int32_t g) {
        const PolyGroup& group = *groups_[static_cast<std::size_t>(g)];
        if (neverFaces(group)) {
            return;
        }
        if (!haveFrame || !sameBits(group.normal, lastNormal)) {
            transform = FrameTransform(frameOf(group));
            lastNormal = group.normal;
            haveFrame = true;
        }
        const std::int32_t found = search(Query(group, transform, g, -1, maxAngle), hint);
        if (found >= 0 && slotOf_[static_cast<std::size_t>(found)] >= 0) {
            hint = slotOf_[static_cast<std::size_t>(found)];
        }
    };
    for (const Item& item : items_) {
        searchFrom(item.index);
    }
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        if (leafOf_[g] < 0) {
            searchFrom(static_cast<std::int32_t>(g));
        }
    }
}

void FacingIndex::remove(std::int32_t g) {
    removed_[static_cast<std::size_t>(g)] = 1;
    for (std::int32_t at = leafOf_[static_cast<std::size_t>(g)]; at >= 0;
         at = nodes_[static_cast<std::size_t>(at)].parent) {
        --nodes_[static_cast<std::size_t>(at)].alive;
    }
}

}  // namespace tarvel
