#include "boundary/boundary_extraction.h"

#include <algorithm>
#include <cassert>
#include <span>
#include <vector>

#include "grouping/grouped_polygons.h"
#include "grouping/key_index.h"
#include "runtime/repeated_blocks.h"
#include "runtime/selected_poly.h"

namespace tarvel {

namespace {

/// A member's arrays, gathered in one walk of the member chain.
struct Member {
    Vector3* positions;
    const LWPntID* ids;
    int count;
    std::size_t firstCorner;  // where the member's corners start among all corners
};

/// Calls visit(member, i, j) for every member edge in member order: each member's closing edge
/// from its first point to its last, then its edges in point order.
template <typename Visit>
void forEachEdge(const RepeatedVector<Member>& members, Visit visit) {
    for (const Member& m : members) {
        if (m.count <= 0) {
            continue;
        }
        visit(m, 0, m.count - 1);
        for (int i = 0; i + 1 < m.count; ++i) {
            visit(m, i, i + 1);
        }
    }
}

/// Which edges remain once copies cancel. Copies of an edge cancel in pairs in list order, so
/// an edge remains only where it occurs an odd number of times, and then only its last copy.
/// Edges are bucketed by their lower point number, so that copies meet in a small bucket.
RepeatedVector<bool> remainingEdges(std::span<const std::uint32_t> lower,
                                    std::span<const std::uint32_t> upper, std::size_t points) {
    assert(lower.size() == upper.size());
    const std::size_t edges = lower.size();
    // A large group's arrays are large blocks, taken in ahead (runtime/resident_memory.h).
    RepeatedVector<std::uint32_t> start(points + 1, 0);
    for (std::uint32_t p : lower) {
        ++start[p + 1];
    }
    for (std::size_t p = 0; p < points; ++p) {
        start[p + 1] += start[p];
    }
    RepeatedVector<std::uint32_t> bucket(edges);
    RepeatedVector<std::uint32_t> fill(start.begin(), start.end() - 1);
    for (std::size_t e = 0; e < edges; ++e) {
        bucket[fill[lower[e]]++] = static_cast<std::uint32_t>(e);  // ascending within a bucket
    }
    RepeatedVector<bool> remains(edges, false);
    RepeatedVector<std::uint32_t> run;
    auto byUpper = [&upper](std::uint32_t a, std::uint32_t b) { return upper[a] < upper[b]; };
    for (std::size_t p = 0; p < points; ++p) {
        if (start[p + 1] - start[p] == 1) {
            remains[bucket[start[p]]] = true;
            continue;
        }
        run.assign(bucket.begin() + start[p], bucket.begin() + start[p + 1]);
        // Copies next to each other, in list order; buckets are mostly tiny.
        if (run.size() <= 16) {
            for (std::size_t i = 1; i < run.size(); ++i) {
                for (std::size_t k = i; k > 0 && byUpper(run[k], run[k - 1]); --k) {
                    std::swap(run[k], run[k - 1]);
                }
            }
        } else {
            std::stable_sort(run.begin(), run.end(), byUpper);
        }
        for (std::size_t i = 0; i < run.size();) {
            std::size_t j = i;
            while (j < run.size() && upper[run[j]] == upper[run[i]]) {
                ++j;
            }
            if ((j - i) % 2 == 1) {
                remains[run[j - 1]] = true;
            }
            i = j;
        }
    }
    return remains;
}

/// The boundary list, built point by point. Until it is released the list belongs to the
/// builder, so that a failed allocation part way frees what was built.
class ListBuilder {
public:
    ListBuilder() = default;
    ListBuilder(const ListBuilder&) = delete;
    ListBuilder& operator=(const ListBuilder&) = delete;

    void add(Vector3* position, LWPntID id) {
        auto* entry = new BoundaryPoint;
        entry->position = position;
        entry->pointId = id;
        last_->next = entry;
        last_ = entry;
    }
    BoundaryPoint* release() {
        BoundaryPoint* first = head_.next;
        head_.next = nullptr;
        return first;
    }

private:
    BoundaryPoint head_;
    BoundaryPoint* last_ = &head_;
};

/// Every corner's point numbered, and the table that numbered them.
struct CornerNumbers {
    KeyIndex points;
    RepeatedVector<std::uint32_t> numbers;  // per corner, in member order
};

/// Numbers every corner's point, in one pass so that the table look-ups overlap.
CornerNumbers numberCorners(const RepeatedVector<Member>& members, std::size_t corners) {
    RepeatedVector<std::uint64_t> cornerKeys;
    cornerKeys.reserve(corners);
    for (std::size_t m = 0; m < members.size(); ++m) {
        if (m + 8 < members.size()) {
            __builtin_prefetch(members[m + 8].ids);
        }
        for (int i = 0; i < members[m].count; ++i) {
            cornerKeys.push_back(keyOf(members[m].ids[i]));
        }
    }
    CornerNumbers out{KeyIndex(corners / KeyIndex::kRepeats),
                      RepeatedVector<std::uint32_t>(corners)};
    out.points.numberAll(cornerKeys.data(), corners, out.numbers.data());
    return out;
}

/// Which edges remain once copies cancel, in forEachEdge's order.
RepeatedVector<bool> remainingMemberEdges(const RepeatedVector<Member>& members,
                                          const CornerNumbers& corners) {
    // Each edge as its two point numbers, lower first.
    RepeatedVector<std::uint32_t> lower;
    RepeatedVector<std::uint32_t> upper;
    lower.reserve(corners.numbers.size());
    upper.reserve(corners.numbers.size());
    forEachEdge(members, [&](const Member& m, int i, int j) {
        const std::uint32_t a = corners.numbers[m.firstCorner + static_cast<std::size_t>(i)];
        const std::uint32_t b = corners.numbers[m.firstCorner + static_cast<std::size_t>(j)];
        lower.push_back(std::min(a, b));
        upper.push_back(std::max(a, b));
    });
    return remainingEdges(lower, upper, corners.points.size());
}

/// The points of the remaining edges, each once, in the order the edges first reach them.
BoundaryPoint* listPoints(const RepeatedVector<Member>& members, const CornerNumbers& corners,
                          const RepeatedVector<bool>& remains) {
    // A null identifier never joins the list, as no host point has it.
    RepeatedVector<bool> listed(corners.points.size(), false);
    const std::uint32_t nullPoint = corners.points.lookup(keyOf(static_cast<LWPntID>(nullptr)));
    if (nullPoint != KeyIndex::kAbsent) {
        listed[nullPoint] = true;
    }
    ListBuilder list;
    auto append = [&](const Member& m, int i) {
        const std::uint32_t p = corners.numbers[m.firstCorner + static_cast<std::size_t>(i)];
        if (!listed[p]) {
            listed[p] = true;
            list.add(&m.positions[i], m.ids[i]);
        }
    };
    std::size_t edge = 0;
    forEachEdge(members, [&](const Member& m, int i, int j) {
        if (remains[edge++]) {
            append(m, i);
            append(m, j);
        }
    });
    assert(edge == remains.size());
    return list.release();
}

/// Calls visit(member, corners, i, j) for every edge of the numbered members, in forEachEdge's
/// order; `corners` are the member's point numbers.
template <typename Visit>
void forEachNumberedEdge(const NumberedPolygons& polygons, std::span<const std::uint32_t> members,
                         Visit visit) {
    for (const std::uint32_t m : members) {
        const std::span<const std::uint32_t> c = polygons.corners(m);
        const auto n = static_cast<std::int32_t>(c.size());
        if (n == 0) {
            continue;
        }
        visit(m, c.data(), 0, n - 1);
        for (std::int32_t i = 0; i + 1 < n; ++i) {
            visit(m, c.data(), i, i + 1);
        }
    }
}

/// The boundary by the growth's point numbers: the identifiers are not looked up again, and
/// only the members holding a remaining edge are read. `members` are local numbers in
/// member-chain order.
BoundaryPoint* extractNumbered(const NumberedPolygons& polygons,
                               std::span<const std::uint32_t> members) {
    std::size_t corners = 0;
    for (const std::uint32_t m : members) {
        corners += polygons.corners(m).size();
    }
    // Each edge as its two point numbers, lower first.
    RepeatedVector<std::uint32_t> lower;
    RepeatedVector<std::uint32_t> upper;
    lower.reserve(corners);
    upper.reserve(corners);
    forEachNumberedEdge(polygons, members,
                        [&](std::uint32_t, const std::uint32_t* c, std::int32_t i, std::int32_t j) {
                            lower.push_back(std::min(c[i], c[j]));
                            upper.push_back(std::max(c[i], c[j]));
                        });
    const RepeatedVector<bool> remains = remainingEdges(lower, upper, polygons.pointCount());

    RepeatedVector<bool> listed(polygons.pointCount(), false);
    ListBuilder list;
    auto append = [&](std::uint32_t m, const std::uint32_t* c, std::int32_t i) {
        if (listed[c[i]]) {
            return;
        }
        listed[c[i]] = true;
        // A null identifier never joins the list, as no host point has it; every corner at it
        // has its number.
        const SelectedPoly& record = polygons.record(m);
        if (record.pointIds[i] != nullptr) {
            list.add(&record.positions[i], record.pointIds[i]);
        }
    };
    std::size_t edge = 0;
    forEachNumberedEdge(
        polygons, members,
        [&](std::uint32_t m, const std::uint32_t* c, std::int32_t i, std::int32_t j) {
            if (remains[edge++]) {
                append(m, c, i);
                append(m, c, j);
            }
        });
    assert(edge == remains.size());
    return list.release();
}

// The most corners a group has for extractSmall.
constexpr std::size_t kSmallCorners = 32;

/// The corners of a small group: where each lies, its identifier, the two corners of each edge
/// (the member's first and last, then its neighbours) and each corner's point, numbered as the
/// first corner at the same point.
struct SmallCorners {
    Vector3* positions[kSmallCorners];
    const LWPntID* ids[kSmallCorners];  // the corner's identifier, where it lies
    std::uint8_t from[kSmallCorners];
    std::uint8_t to[kSmallCorners];
    std::uint8_t point[kSmallCorners];
    std::size_t count = 0;
};

/// Fills `c` from the group's members. Returns false when the group has more than
/// kSmallCorners corners.
bool gatherSmallCorners(const PolyGroup& group, SmallCorners& c) {
    for (const SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        const std::size_t n = static_cast<std::size_t>(std::max(m->pointCount, 0));
        const std::size_t at = c.count;
        if (n > kSmallCorners - at) {
            return false;
        }
        for (std::size_t i = 0; i < n; ++i) {
            c.positions[at + i] = &m->positions[i];
            c.ids[at + i] = &m->pointIds[i];
        }
        if (n > 0) {
            c.from[at] = static_cast<std::uint8_t>(at);
            c.to[at] = static_cast<std::uint8_t>(at + n - 1);
            for (std::size_t i = 0; i + 1 < n; ++i) {
                c.from[at + i + 1] = static_cast<std::uint8_t>(at + i);
                c.to[at + i + 1] = static_cast<std::uint8_t>(at + i + 1);
            }
        }
        c.count += n;
    }
    for (std::size_t k = 0; k < c.count; ++k) {
        c.point[k] = static_cast<std::uint8_t>(k);
        for (std::size_t j = 0; j < k; ++j) {
            if (*c.ids[j] == *c.ids[k]) {
                c.point[k] = c.point[j];
                break;
            }
        }
    }
    return true;
}

/// The boundary of a group of at most kSmallCorners corners, found by comparing every corner
/// with every other in place of the tables, so that nothing but the list is allocated: the
/// same points in the same order as the tables give. Returns false, having built nothing, when
/// the group has more corners.
bool extractSmall(const PolyGroup& group, BoundaryPoint*& out) {
    SmallCorners c;
    if (!gatherSmallCorners(group, c)) {
        return false;
    }
    const std::uint8_t* point = c.point;
    // An edge remains where it occurs an odd number of times, as its last copy.
    const std::size_t edges = c.count;
    bool listed[kSmallCorners] = {};
    for (std::size_t k = 0; k < c.count; ++k) {
        listed[k] = *c.ids[k] == nullptr;  // no host point has a null identifier
    }
    ListBuilder list;
    for (std::size_t e = 0; e < edges; ++e) {
        const std::uint8_t a = std::min(point[c.from[e]], point[c.to[e]]);
        const std::uint8_t b = std::max(point[c.from[e]], point[c.to[e]]);
        std::size_t copies = 1;
        bool last = true;
        for (std::size_t f = 0; f < edges; ++f) {
            if (f != e && std::min(point[c.from[f]], point[c.to[f]]) == a &&
                std::max(point[c.from[f]], point[c.to[f]]) == b) {
                ++copies;
                last = last && f < e;
            }
        }
        if (!last || copies % 2 == 0) {
            continue;
        }
        for (const std::uint8_t k : {c.from[e], c.to[e]}) {
            if (!listed[point[k]]) {
                listed[point[k]] = true;
                list.add(c.positions[k], *c.ids[k]);
            }
        }
    }
    out = list.release();
    return true;
}

}  // namespace

BoundaryPoint* extractBoundary(const PolyGroup& group, const GroupedPolygons* grouped) {
    // The growth's numbers serve a group that holds a good part of the selection; for a small
    // one, tables over every point of the selection would cost more than numbering its own.
    if (grouped != nullptr && !grouped->empty()) {
        const std::span<const std::uint32_t> members = grouped->membersOf(group);
        if (!members.empty() && members.size() * 8 >= grouped->polygons().pointCount()) {
            return extractNumbered(grouped->polygons(), members);
        }
    }
    BoundaryPoint* small = nullptr;
    if (extractSmall(group, small)) {
        return small;
    }
    RepeatedVector<Member> members;
    std::size_t corners = 0;
    for (const SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        members.push_back({m->positions, m->pointIds, std::max(m->pointCount, 0), corners});
        corners += static_cast<std::size_t>(members.back().count);
    }
    const CornerNumbers numbers = numberCorners(members, corners);
    const RepeatedVector<bool> remains = remainingMemberEdges(members, numbers);
    return listPoints(members, numbers, remains);
}

}  // namespace tarvel
