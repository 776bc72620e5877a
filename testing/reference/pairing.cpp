#include "grouping/pairing.h"

#include "grouping/partner_search.h"

namespace tarvel {

void pairGroups(PolyGroup* head) {
    if (listLength(head) >= 3) {
        const double maxAngle = PI / 4;  // normals at least 135 degrees apart
        for (PolyGroup* g = head; g != nullptr; g = g->next) {
            findPartner(*g, *g, maxAngle);
        }
    } else if (listLength(head) == 2) {
        const double maxAngle = PI / 2 - 0.0001;  // normals just over 90 degrees apart
        findPartner(*head, *head, maxAngle);
    }
}

}  // namespace tarvel
