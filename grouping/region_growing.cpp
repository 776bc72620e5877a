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

/// A polygon whose edges are being followed, and the next of its edges to look at: edge 0 runs
/// from the last point to the first, edge k > 0 from point k - 1 to point k.
struct EdgeCursor {
    const SelectedPoly* poly;
    std::int32_t slot;
    std::int32_t edge;
};

/// Takes into `group`, depth first from its member `from` (first in `fromSlot`), every remaining
/// polygon reachable through shared edges whose normal is less than 60 degrees from the seed's: the
/// closing edge first, then the edges in point order, a neighbour's whole region before the next
/// edge. Each taken polygon is linked right after the seed. Uses a heap stack, never the call
/// stack.
void growFrom(PolyGroup& group, SelectedPoly* from, std::int32_t fromSlot, SelectedPoly** table,
              PolygonsByPoint& holders) {
    if (unassignedCount <= 0) {
        return;
    }
    const double maxTurn = PI / 3;  // 60 degrees from the seed's normal
    std::vector<EdgeCursor> stack{{from, fromSlot, 0}};
    while (!stack.empty()) {
        EdgeCursor& top = stack.back();
        const std::int32_t n = top.poly->pointCount;
        if (top.edge >= n) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t* numbers = holders.corners(top.slot);
        const std::int32_t k = top.edge++;
        const std::int32_t first = k == 0 ? n - 1 : k - 1;
        const std::int32_t second = k == 0 ? 0 : k;
        const std::int32_t index = holders.findHolder(numbers[first], numbers[second], table);
        if (index < 0) {
            continue;
        }
        SelectedPoly* neighbour = table[index];
        assert(neighbour != nullptr && index != top.slot);  // a remaining polygon, not this one
        if (!(neighbour->normal.angleBetween(group.normal) < maxTurn)) {
            continue;
        }
        neighbour->nextMember = group.firstMember->nextMember;
        group.firstMember->nextMember = neighbour;
        table[index] = nullptr;
        --unassignedCount;
        assert(unassignedCount >= 0);
        // The neighbour's whole region comes before this polygon's next edge.
        if (unassignedCount > 0) {
            stack.push_back({neighbour, index, 0});
        }
    }
}

}  // namespace

void formGroups(PolyGroup*& head, SelectedPoly** table, std::int32_t slotCount) {
    head = new PolyGroup;
    PolygonsByPoint holders(table, slotCount);
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
        growFrom(*current, current->firstMember, seedFrom, table, holders);
        if (unassignedCount > 0) {
            current->next = new PolyGroup;
            current = current->next;
        }
    }
}

}  // namespace tarvel
