#include "grouping/pairing.h"

#include "grouping/partner_search.h"

namespace tarvel {

void pairGroups(PolyGroup* head) {
    if (listLength(head) >= 3) {
        const double maxAngle = kFacingLimit;
        for (PolyGroup* g = head; g != nullptr; g = g->next) {
            findPartner(*g, *g, maxAngle);
        }
    } else if (listLength(head) == 2) {
        const double maxAngle = kTwoGroupFacingLimit;
        findPartner(*head, *head, maxAngle);
    }
}

}  // namespace tarvel
