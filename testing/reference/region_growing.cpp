#include "grouping/region_growing.h"

#include <vector>

#include "grouping/poly_group.h"
#include "runtime/selected_poly.h"

namespace tarvel {

void takeSeed(PolyGroup& group, SelectedPoly** table, std::int32_t slotCount,
              std::int32_t& untaken) {
    for (std::int32_t i = 0; group.firstMember == nullptr && i < slotCount; ++i) {
        group.firstMember = table[i];
        if (table[i] != nullptr) {
            group.normal = table[i]->normal;
            table[i] = nullptr;
            --untaken;
        }
    }
}

namespace {

/// Scans the whole table for every edge.
std::int32_t findPolyWithEdge(LWPntID a, LWPntID b, SelectedPoly* const* table,
                              std::int32_t slotCount) {
    for (std::int32_t i = 0; i < slotCount; ++i) {
        const SelectedPoly* poly = table[i];
        if (poly == nullptr) {
            continue;
        }
        bool hasA = false;
        bool hasB = false;
        for (std::int32_t k = 0; k < poly->pointCount; ++k) {
            hasA = hasA || poly->pointIds[k] == a;
            hasB = hasB || poly->pointIds[k] == b;
        }
        if (hasA && hasB) {
            return i;
        }
    }
    return -1;
}

/// A polygon whose edges are being followed, and the next of its edges to look at: edge 0 runs
/// from the last point to the first, edge k > 0 from point k - 1 to point k.
struct EdgeCursor {
    const SelectedPoly* poly;
    std::int32_t edge;
};

void growFrom(PolyGroup& group, SelectedPoly* from, SelectedPoly** table, std::int32_t slotCount,
              std::int32_t& untaken) {
    if (untaken <= 0) {
        return;
    }
    const double maxTurn = PI / 3;  // 60 degrees from the seed's normal
    std::vector<EdgeCursor> stack{{from, 0}};
    while (!stack.empty()) {
        EdgeCursor& top = stack.back();
        const std::int32_t n = top.poly->pointCount;
        if (top.edge >= n) {
            stack.pop_back();
            continue;
        }
        const LWPntID* ids = top.poly->pointIds;
        const std::int32_t k = top.edge++;
        const LWPntID a = k == 0 ? ids[n - 1] : ids[k - 1];
        const LWPntID b = k == 0 ? ids[0] : ids[k];
        const std::int32_t index = findPolyWithEdge(a, b, table, slotCount);
        if (index < 0) {
            continue;
        }
        SelectedPoly* neighbour = table[index];
        if (!(neighbour->normal.angleBetween(group.normal) < maxTurn)) {
            continue;
        }
        neighbour->nextMember = group.firstMember->nextMember;
        group.firstMember->nextMember = neighbour;
        table[index] = nullptr;
        --untaken;
        // The neighbour's whole region comes before this polygon's next edge.
        if (untaken > 0) {
            stack.push_back({neighbour, 0});
        }
    }
}

}  // namespace

// The straightforward growth keeps nothing for the boundary step.
GroupedPolygons formGroups(PolyGroup*& head, SelectedPoly** table, std::int32_t slotCount,
                           std::int32_t& untaken) {
    head = new PolyGroup;
    PolyGroup* current = head;
    while (untaken > 0) {
        takeSeed(*current, table, slotCount, untaken);
        if (current->firstMember == nullptr) {
            break;  // the count promised a polygon the table does not hold
        }
        growFrom(*current, current->firstMember, table, slotCount, untaken);
        if (untaken > 0) {
            current->next = new PolyGroup;
            current = current->next;
        }
    }
    return {};
}

}  // namespace tarvel
