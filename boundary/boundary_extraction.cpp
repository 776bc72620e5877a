#include "boundary/boundary_extraction.h"

#include <algorithm>
#include <vector>

#include "grouping/key_index.h"
#include "host/selected_poly.h"

namespace tarvel {

namespace {

/// An edge of a member polygon, its ends numbered by point.
struct NumberedEdge {
    Vector3* firstPos;
    Vector3* secondPos;
    LWPntID firstId;
    LWPntID secondId;
    std::uint32_t firstPoint;
    std::uint32_t secondPoint;
    std::uint32_t key;  // the same for both directions of an edge
};

/// A member's arrays, gathered in one walk of the member chain.
struct Member {
    Vector3* positions;
    const LWPntID* ids;
    int count;
};

/// Every member edge in member order: each member's closing edge from its first point to its
/// last, then its edges in point order.
std::vector<NumberedEdge> memberEdges(const std::vector<Member>& members, std::size_t corners,
                                      KeyIndex& points, KeyIndex& keys) {
    // Number every corner's point, then every edge by its two point numbers, each in one pass
    // over all corners so that the table look-ups overlap.
    std::vector<std::uint64_t> cornerKeys;
    cornerKeys.reserve(corners);
    for (std::size_t m = 0; m < members.size(); ++m) {
        if (m + 8 < members.size()) {
            __builtin_prefetch(members[m + 8].ids);
        }
        for (int i = 0; i < members[m].count; ++i) {
            cornerKeys.push_back(keyOf(members[m].ids[i]));
        }
    }
    std::vector<std::uint32_t> numbers(cornerKeys.size());
    points.numberAll(cornerKeys.data(), cornerKeys.size(), numbers.data());

    std::vector<NumberedEdge> edges;
    edges.reserve(corners);
    std::vector<std::uint64_t> edgeKeys;
    edgeKeys.reserve(corners);
    std::size_t base = 0;
    auto add = [&](const Member& m, int i, int j) {
        const std::uint64_t pa = numbers[base + static_cast<std::size_t>(i)];
        const std::uint64_t pb = numbers[base + static_cast<std::size_t>(j)];
        edgeKeys.push_back(std::min(pa, pb) << 32 | std::max(pa, pb));
        edges.push_back({&m.positions[i], &m.positions[j], m.ids[i], m.ids[j],
                         static_cast<std::uint32_t>(pa), static_cast<std::uint32_t>(pb), 0});
    };
    for (const Member& m : members) {
        if (m.count <= 0) {
            continue;
        }
        add(m, 0, m.count - 1);
        for (int i = 0; i + 1 < m.count; ++i) {
            add(m, i, i + 1);
        }
        base += static_cast<std::size_t>(m.count);
    }
    std::vector<std::uint32_t> edgeNumbers(edgeKeys.size());
    keys.numberAll(edgeKeys.data(), edgeKeys.size(), edgeNumbers.data());
    for (std::size_t e = 0; e < edges.size(); ++e) {
        edges[e].key = edgeNumbers[e];
    }
    return edges;
}

}  // namespace

BoundaryPoint* extractBoundary(const PolyGroup& group) {
    std::vector<Member> members;
    std::size_t corners = 0;
    for (const SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        members.push_back({m->positions, m->pointIds, std::max(m->pointCount, 0)});
        corners += static_cast<std::size_t>(members.back().count);
    }
    KeyIndex points(corners);
    KeyIndex keys(corners);
    const std::vector<NumberedEdge> edges = memberEdges(members, corners, points, keys);

    // Copies of an edge cancel in pairs in list order, so an edge stays only where it occurs
    // an odd number of times, and then only its last copy.
    std::vector<std::uint32_t> copies(keys.size(), 0);
    std::vector<std::size_t> lastCopy(keys.size(), 0);
    for (std::size_t i = 0; i < edges.size(); ++i) {
        ++copies[edges[i].key];
        lastCopy[edges[i].key] = i;
    }

    // A null identifier never joins the list, as no host point has it.
    std::vector<bool> listed(points.size(), false);
    const std::uint32_t nullPoint = points.lookup(keyOf(static_cast<LWPntID>(nullptr)));
    if (nullPoint != KeyIndex::kAbsent) {
        listed[nullPoint] = true;
    }
    BoundaryPoint head;
    BoundaryPoint* last = &head;
    auto append = [&](Vector3* position, LWPntID id, std::uint32_t p) {
        if (listed[p]) {
            return;
        }
        listed[p] = true;
        auto* entry = new BoundaryPoint;
        entry->position = position;
        entry->pointId = id;
        last->next = entry;
        last = entry;
    };
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const NumberedEdge& e = edges[i];
        if (copies[e.key] % 2 == 1 && lastCopy[e.key] == i) {
            append(e.firstPos, e.firstId, e.firstPoint);
            append(e.secondPos, e.secondId, e.secondPoint);
        }
    }
    BoundaryPoint* first = head.next;
    head.next = nullptr;
    return first;
}

}  // namespace tarvel
