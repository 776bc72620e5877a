#include "grouping/region_growing.h"

#include <cassert>
#include <vector>

#include "grouping/poly_group.h"
#include "grouping/polygons_by_point.h"
#include "host/run_state.h"
#include "host/selected_poly.h"

namespace tarvel {

void takeSeed(PolyGroup& group, SelectedPoly** table, std::int32_t slotCount) {
    for (std::int32_t i = 0; group.firstMember == nullptr && i < slotCount; ++i) {
        group.firstMember = table[i];
        if (table[i] != nullptr) {
            group.normal = table[i]->normal;
            table[i] = nullptr;
            --unassignedCount;
        }
    }
}

namespace {

/// A polygon whose edges are being followed, by local number, and the next of its edges to
/// look at: edge 0 runs from the last point to the first, edge k > 0 from point k - 1 to
/// point k.
struct EdgeCursor {
    std::uint32_t local;
    std::int32_t edge;
};

/// Takes into `group`, depth first from its member `from`, every remaining polygon reachable
/// through shared edges whose normal is less than 60 degrees from the seed's: the closing edge
/// first, then the edges in point order, a neighbour's whole region before the next edge. Each
/// taken polygon is linked right after the seed. Uses `stack`, never the call stack.
void growFrom(PolyGroup& group, std::uint32_t from, SelectedPoly** table, PolygonsByPoint& holders,
              std::vector<EdgeCursor>& stack) {
    if (unassignedCount <= 0) {
        return;
    }
    const double maxTurn = PI / 3;  // 60 degrees from the seed's normal
    stack.assign(1, {from, 0});
    while (!stack.empty()) {
        EdgeCursor& top = stack.back();
        const std::int32_t n = holders.cornerCount(top.local);
        if (top.edge >= n) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t* numbers = holders.corners(top.local);
        const std::int32_t k = top.edge++;
        const std::int32_t first = k == 0 ? n - 1 : k - 1;
        const std::int32_t second = k == 0 ? 0 : k;
        const std::uint32_t found = holders.findHolder(numbers[first], numbers[second]);
        if (found == PolygonsByPoint::kNone) {
            continue;
        }
        SelectedPoly* neighbour = holders.record(found);
        assert(table[holders.slot(found)] == neighbour);  // a remaining polygon
        if (!(neighbour->normal.angleBetween(group.normal) < maxTurn)) {
            continue;
        }
        neighbour->nextMember = group.firstMember->nextMember;
        group.firstMember->nextMember = neighbour;
        holders.take(found);
        table[holders.slot(found)] = nullptr;
        --unassignedCount;
        assert(unassignedCount >= 0);
        // The neighbour's whole region comes before this polygon's next edge.
        if (unassignedCount > 0) {
            stack.push_back({found, 0});
        }
    }
}

}  // namespace

void formGroups(PolyGroup*& head, SelectedPoly** table, std::int32_t slotCount) {
    head = new PolyGroup;
    PolygonsByPoint holders(table, slotCount);
    std::vector<EdgeCursor> stack;
    PolyGroup* current = head;
    std::int32_t seedFrom = 0;  // every slot before it is empty
    while (unassignedCount > 0) {
        while (seedFrom < slotCount && table[seedFrom] == nullptr) {
            ++seedFrom;
        }
        takeSeed(*current, table + seedFrom, slotCount - seedFrom);
        if (current->firstMember == nullptr) {
            break;  // the count promised a polygon the table does not hold
        }
        const std::uint32_t seed = holders.localOf(seedFrom);
        holders.take(seed);
        growFrom(*current, seed, table, holders, stack);
        if (unassignedCount > 0) {
            current->next = new PolyGroup;
            current = current->next;
        }
    }
}

}  // namespace tarvel
