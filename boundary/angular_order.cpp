#include "boundary/angular_order.h"

#include "boundary/angle_insertion.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

namespace tarvel {

BoundaryPoint* sortByAngle(BoundaryPoint* first) {
    assert(first != nullptr);
    std::vector<BoundaryPoint*> entries;
    bool anyNan = false;
    for (BoundaryPoint* e = first; e != nullptr; e = e->next) {
        e->angle = polarAngle(*e->position);
        anyNan = anyNan || std::isnan(e->angle);
        entries.push_back(e);
    }
    if (anyNan) {
        return insertByAngle(first);
    }
    // Without NaN the insertion order is a stable ascending sort.
    std::stable_sort(
        entries.begin(), entries.end(),
        [](const BoundaryPoint* a, const BoundaryPoint* b) { return a->angle < b->angle; });
    for (std::size_t i = 0; i + 1 < entries.size(); ++i) {
        entries[i]->next = entries[i + 1];
    }
    entries.back()->next = nullptr;
    return entries.front();
}

}  // namespace tarvel
