#include "grouping/pairing.h"

#include <vector>

#include "grouping/facing_index.h"
#include "grouping/partner_search.h"

namespace tarvel {

void pairGroups(PolyGroup* head) {
    const int groups = listLength(head);
    if (groups == 2) {
        const double maxAngle = PI / 2 - 0.0001;  // normals just over 90 degrees apart
        findPartner(*head, *head, maxAngle);
        return;
    }
    if (groups < 3) {
        return;
    }
    // Each group in turn takes the best of the groups after it that no earlier group took.
    const double maxAngle = PI / 4;  // normals at least 135 degrees apart
    std::vector<PolyGroup*> list;
    list.reserve(static_cast<std::size_t>(groups));
    for (PolyGroup* g = head; g != nullptr; g = g->next) {
        list.push_back(g);
    }
    // Numbers of the neighbours in the list as it shrinks; -1 at either end.
    std::vector<std::int32_t> before(list.size());
    std::vector<std::int32_t> after(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        before[i] = static_cast<std::int32_t>(i) - 1;
        after[i] = i + 1 < list.size() ? static_cast<std::int32_t>(i + 1) : -1;
    }
    FacingIndex facing(list);
    for (std::int32_t g = 0; g >= 0; g = after[static_cast<std::size_t>(g)]) {
        const std::int32_t p = facing.findPartner(g, g, maxAngle);
        if (p < 0) {
            continue;
        }
        // The partner leaves the list; it always has a predecessor, at g or after it.
        facing.remove(p);
        const auto pi = static_cast<std::size_t>(p);
        const std::int32_t previous = before[pi];
        const std::int32_t following = after[pi];
        list[static_cast<std::size_t>(previous)]->next = list[pi]->next;
        after[static_cast<std::size_t>(previous)] = following;
        if (following >= 0) {
            before[static_cast<std::size_t>(following)] = previous;
        }
        list[pi]->next = nullptr;
    }
}

}  // namespace tarvel
