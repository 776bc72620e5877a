#include "grouping/polygon_ordering.h"

#include "grouping/partner_search.h"
#include "grouping/poly_group.h"
#include "runtime/selected_poly.h"

namespace tarvel {

namespace {

/// Owns the temporary one-polygon groups. Their member and partner links borrow: both are
/// cleared before the groups go, so that the polygons stay with the table.
class BorrowingGroupList {
public:
    BorrowingGroupList() = default;
    BorrowingGroupList(const BorrowingGroupList&) = delete;
    BorrowingGroupList& operator=(const BorrowingGroupList&) = delete;
    ~BorrowingGroupList() {
        for (PolyGroup* g = head; g != nullptr; g = g->next) {
            g->firstMember = nullptr;
            g->partner = nullptr;
        }
        delete head;
    }

    PolyGroup* head = nullptr;
};

}  // namespace

void orderPolygons(SelectedPoly** table, std::int32_t slotCount) {
    if (slotCount <= 0) {
        return;
    }
    BorrowingGroupList list;
    PolyGroup* last = nullptr;
    for (std::int32_t i = 0; i < slotCount; ++i) {
        auto* group = new PolyGroup;
        (last == nullptr ? list.head : last->next) = group;
        last = group;
        group->firstMember = table[i];
        group->normal = table[i]->normal;
        computeCentre(*group);
    }

    const double maxAngle = kFacingLimit;
    for (PolyGroup* g = list.head; g != nullptr; g = g->next) {
        AlignFrame frame = g->buildAlignFrame();
        frame.computeAngles();
        for (PolyGroup* candidate = list.head; candidate != nullptr; candidate = candidate->next) {
            considerPartner(*g, frame, *candidate, maxAngle);
        }
    }

    PolyGroup* rest = list.head->next;
    list.head->next = nullptr;
    while (rest != nullptr) {
        PolyGroup* group = rest;
        rest = rest->next;
        group->next = nullptr;
        list.head = insertByDistance(list.head, group);
    }

    std::int32_t slot = 0;
    for (PolyGroup* g = list.head; g != nullptr; g = g->next) {
        table[slot++] = g->firstMember;
    }
}

}  // namespace tarvel
