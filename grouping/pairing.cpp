#include "grouping/pairing.h"

#include <cassert>
#include <vector>

#include "grouping/facing_index.h"
#include "grouping/partner_search.h"

namespace tarvel {

void pairGroups(PolyGroup* head) {
    const int groups = listLength(head);
    if (groups == 2) {
        const double maxAngle = kTwoGroupFacingLimit;
        findPartner(*head, *head, maxAngle);
        return;
    }
    if (groups < 3) {
        return;
    }
    // Each group in turn takes the best of the groups after it that no earlier group took.
    const double maxAngle = kFacingLimit;
    std::vector<PolyGroup*> list;
    list.reserve(static_cast<std::size_t>(groups));
    for (PolyGroup* g = head; g != nullptr; g = g->next) {
        list.push_back(g);
    }
    // Numbers of the neighbours in the list as it shrinks; kNone at either end.
    std::vector<std::uint32_t> before(list.size());
    std::vector<std::uint32_t> after(list.size());
    for (std::uint32_t i = 0; i < list.size(); ++i) {
        before[i] = i == 0 ? kNone : i - 1;
        after[i] = i + 1 < list.size() ? i + 1 : kNone;
    }
    FacingIndex facing(static_cast<std::uint32_t>(list.size()), [&](std::uint32_t g) {
        return FacingSite{list[g]->centre, list[g]->normal};
    });
    for (std::uint32_t g = 0; g != kNone; g = after[g]) {
        const FacingIndex::Found found = facing.nearestFacing(g, g + 1, maxAngle);
        const std::uint32_t p = found.index;
        if (p == kNone) {
            continue;
        }
        list[g]->partner = list[p];
        list[g]->partnerDistance = found.distance;
        // The partner leaves the list; it always has a predecessor, at g or after it.
        assert(p > g);
        facing.remove(p);
        const std::uint32_t previous = before[p];
        assert(previous != kNone && previous >= g);
        const std::uint32_t following = after[p];
        list[previous]->next = list[p]->next;
        after[previous] = following;
        if (following != kNone) {
            before[following] = previous;
        }
        list[p]->next = nullptr;
    }
}

}  // namespace tarvel
