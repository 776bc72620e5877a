#include "grouping/facing_tree.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstddef>
#include <span>
#include <utility>
#include <vector>

#include "geometry/paired_doubles.h"
#include "runtime/worker_team.h"

namespace tarvel {

namespace {

constexpr std::uint32_t kLeafSize = FacingTree::kLeafItems;
constexpr double kCellsPerAxis = 2097151.0;  // 21 bits per axis: three make a 63-bit code

Vector3 lower(const Vector3& a, const Vector3& b) {
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::min(a.z, b.z)};
}

Vector3 upper(const Vector3& a, const Vector3& b) {
    return {std::max(a.x, b.x), std::max(a.y, b.y), std::max(a.z, b.z)};
}

/// The cell, 0 to kCellsPerAxis, of an offset into a span of `size`.
std::uint64_t cell(double offset, double size) {
    const double t = size > 0.0 ? offset / size * kCellsPerAxis : 0.0;
    return static_cast<std::uint64_t>(std::clamp(t, 0.0, kCellsPerAxis));
}

/// Moves bit i of the low 21 bits to bit 3i.
std::uint64_t spread(std::uint64_t v) {
    v &= 0x1FFFFF;
    v = (v | v << 32) & 0x1F00000000FFFFULL;
    v = (v | v << 16) & 0x1F0000FF0000FFULL;
    v = (v | v << 8) & 0x100F00F00F00F00FULL;
    v = (v | v << 4) & 0x10C30C30C30C30C3ULL;
    v = (v | v << 2) & 0x1249249249249249ULL;
    return v;
}

/// Where the run [begin, end) of ascending codes splits: where the highest bit in which its
/// ends differ turns from 0 to 1 (so that a split never joins distant parts of the curve), or
/// in the middle where all codes agree.
std::uint32_t splitPoint(std::span<const FacingTree::CurvePlace> codes, std::uint32_t begin,
                         std::uint32_t end) {
    const std::uint64_t differ = codes[begin].first ^ codes[end - 1].first;
    if (differ == 0) {
        return begin + (end - begin) / 2;
    }
    const std::uint64_t bit = std::uint64_t{1} << (63 - std::countl_zero(differ));
    std::uint32_t lo = begin;
    std::uint32_t hi = end - 1;  // codes[hi] has the bit, codes[begin] has not
    while (lo + 1 < hi) {
        const std::uint32_t mid = lo + (hi - lo) / 2;
        ((codes[mid].first & bit) != 0 ? hi : lo) = mid;
    }
    assert(begin < hi && hi < end);  // both halves hold items
    return hi;
}

}  // namespace

std::uint64_t FacingTree::curveCode(const Vector3& offset, const Vector3& extent) {
    return spread(cell(offset.x, extent.x)) | spread(cell(offset.y, extent.y)) << 1 |
           spread(cell(offset.z, extent.z)) << 2;
}

// By the codes' top 33 bits, 11 at a time from the lowest of them: as std::sort would order the
// pairs when the numbers come in ascending order. The bits below are left to the runs that
// agree on all of those, which are short unless the centres crowd far below the cells' size.
std::span<FacingTree::CurvePlace> FacingTree::sortByCode(std::span<CurvePlace> order,
                                                         std::span<CurvePlace> scratch) {
    assert(scratch.size() == order.size());
    constexpr int kDigitBits = 11;
    constexpr int kDigits = 3;
    constexpr std::size_t kBuckets = std::size_t{1} << kDigitBits;
    std::uint64_t used = 0;
    for (const auto& entry : order) {
        used |= entry.first;
    }
    const int width = 64 - std::countl_zero(used);
    const int lowest = std::max(0, width - kDigits * kDigitBits);
    std::span<CurvePlace> from = order;
    std::span<CurvePlace> to = scratch;
    std::vector<std::uint32_t> start(kBuckets);
    for (int shift = lowest; shift < width; shift += kDigitBits) {
        std::fill(start.begin(), start.end(), 0);
        for (const auto& entry : from) {
            ++start[(entry.first >> shift) & (kBuckets - 1)];
        }
        std::uint32_t sum = 0;
        for (std::uint32_t& s : start) {
            const std::uint32_t n = s;
            s = sum;
            sum += n;
        }
        for (const auto& entry : from) {
            to[start[(entry.first >> shift) & (kBuckets - 1)]++] = entry;
        }
        std::swap(from, to);
    }
    if (lowest == 0) {
        return from;
    }
    for (auto run = from.begin(); run != from.end();) {
        const std::uint64_t top = run->first >> lowest;
        auto end = run + 1;
        while (end != from.end() && end->first >> lowest == top) {
            ++end;
        }
        if (end - run > 1) {
            std::sort(run, end);  // by code, then by number
        }
        run = end;
    }
    return from;
}

void FacingTree::build(std::span<const CurvePlace> codes, std::size_t groupCount) {
    leafOf_.assign(groupCount, kNone);
    assert(groupCount < kNone && items_.size() <= groupCount && codes.size() == items_.size());
    if (items_.empty()) {
        return;
    }
    splitRanges(codes);
    // The leaves first, each on its own, shared out to the team; then the other nodes bottom
    // up, since children come after their parent.
    const WorkerTeam team(items_.size());
    team.forRanges(nodes_.size(), team.grainFor(nodes_.size(), 8192),
                   [this](std::size_t begin, std::size_t end) {
                       for (std::size_t at = begin; at < end; ++at) {
                           if (nodes_[at].isLeaf()) {
                               boundLeaf(static_cast<std::uint32_t>(at));
                           }
                       }
                   });
    for (std::size_t at = nodes_.size(); at-- > 0;) {
        if (!nodes_[at].isLeaf()) {
            boundFromChildren(static_cast<std::uint32_t>(at));
        }
    }
}

void FacingTree::splitRanges(std::span<const CurvePlace> codes) {
    // Ranges top down, each halved at its split point until it fits a leaf. Leaves hold from
    // one item to kLeafSize, so the nodes are counted first and take exactly their room.
    std::size_t count = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pending{
        {0, static_cast<std::uint32_t>(items_.size())}};
    while (!pending.empty()) {
        const auto [begin, end] = pending.back();
        pending.pop_back();
        ++count;
        if (end - begin > kLeafSize) {
            const std::uint32_t middle = splitPoint(codes, begin, end);
            pending.push_back({begin, middle});
            pending.push_back({middle, end});
        }
    }
    nodes_.reserve(count);
    nodes_.push_back({});
    nodes_[0].end = static_cast<std::uint32_t>(items_.size());
    for (std::uint32_t at = 0; at < nodes_.size(); ++at) {
        const std::uint32_t begin = nodes_[at].begin;
        const std::uint32_t end = nodes_[at].end;
        if (end - begin <= kLeafSize) {
            continue;
        }
        const std::uint32_t middle = splitPoint(codes, begin, end);
        nodes_[at].left = static_cast<std::uint32_t>(nodes_.size());
        nodes_[at].right = nodes_[at].left + 1;
        FacingNode left;
        left.parent = at;
        left.begin = begin;
        left.end = middle;
        FacingNode right;
        right.parent = at;
        right.begin = middle;
        right.end = end;
        nodes_.push_back(left);
        nodes_.push_back(right);
    }
}

void FacingTree::boundLeaf(std::uint32_t at) {
    FacingNode& node = nodes_[at];
    const FacingItem& first = items_[node.begin];
    node.low = node.high = first.centre;
    node.normalLow = node.normalHigh = first.unitNormal();
    node.minIndex = node.maxIndex = first.index;
    for (std::uint32_t k = node.begin; k < node.end; ++k) {
        const FacingItem& item = items_[k];
        node.low = lower(node.low, item.centre);
        node.high = upper(node.high, item.centre);
        const Vector3 unitNormal = item.unitNormal();
        node.normalLow = lower(node.normalLow, unitNormal);
        node.normalHigh = upper(node.normalHigh, unitNormal);
        node.minIndex = std::min(node.minIndex, item.index);
        node.maxIndex = std::max(node.maxIndex, item.index);
        leafOf_[item.index] = at;
    }
    node.alive = node.end - node.begin;
}

void FacingTree::boundFromChildren(std::uint32_t at) {
    FacingNode& node = nodes_[at];
    const FacingNode& a = nodes_[node.left];
    const FacingNode& b = nodes_[node.right];
    node.low = lower(a.low, b.low);
    node.high = upper(a.high, b.high);
    node.normalLow = lower(a.normalLow, b.normalLow);
    node.normalHigh = upper(a.normalHigh, b.normalHigh);
    node.minIndex = std::min(a.minIndex, b.minIndex);
    node.maxIndex = std::max(a.maxIndex, b.maxIndex);
    node.alive = a.alive + b.alive;
}

std::uint32_t FacingTree::nodeNear(const Vector3& p, std::uint32_t items,
                                   std::uint32_t from) const {
    if (nodes_.empty()) {
        return kNone;
    }
    // Squared distance from p to a node's box of centres: 0 inside it.
#if defined(TARVEL_PAIRED_DOUBLES)
    // x and y side by side, operation for operation as below.
    static_assert(offsetof(Vector3, y) == offsetof(Vector3, x) + sizeof(double),
                  "x and y are loaded together");
    const __m128d pxy = _mm_loadu_pd(&p.x);
    auto gap = [&](const FacingNode& node) {
        const __m128d zero = _mm_setzero_pd();
        const __m128d below = _mm_sub_pd(_mm_loadu_pd(&node.low.x), pxy);
        const __m128d above = _mm_sub_pd(pxy, _mm_loadu_pd(&node.high.x));
        const __m128d out = _mm_max_pd(_mm_max_pd(below, above), zero);
        const __m128d squares = _mm_mul_pd(out, out);
        const double z = std::max({node.low.z - p.z, p.z - node.high.z, 0.0});
        return _mm_cvtsd_f64(squares) + _mm_cvtsd_f64(_mm_unpackhi_pd(squares, squares)) + z * z;
    };
#else
    auto gap = [&](const FacingNode& node) {
        const Vector3 below = node.low - p;
        const Vector3 above = p - node.high;
        const Vector3 out(std::max({below.x, above.x, 0.0}), std::max({below.y, above.y, 0.0}),
                          std::max({below.z, above.z, 0.0}));
        return dot(out, out);
    };
#endif
    std::uint32_t at = from == kNone ? 0 : from;
    while (at != 0 && gap(nodes_[at]) > 0.0) {
        at = nodes_[at].parent;
    }
    while (!nodes_[at].isLeaf() && nodes_[at].end - nodes_[at].begin > items) {
        const FacingNode& node = nodes_[at];
        at = gap(nodes_[node.right]) < gap(nodes_[node.left]) ? node.right : node.left;
    }
    return at;
}

void FacingTree::remove(std::uint32_t index) {
    for (std::uint32_t at = leafOf_[index]; at != kNone; at = nodes_[at].parent) {
        assert(nodes_[at].alive > 0);
        --nodes_[at].alive;
    }
}

}  // namespace tarvel
