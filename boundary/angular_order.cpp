#include "boundary/angular_order.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace tarvel {

namespace {

/// Whether q goes before `other` in the insertion order: unless its angle is greater than or
/// equal, so a NaN on either side puts q first.
bool goesBefore(const BoundaryPoint& q, const BoundaryPoint& other) {
    return !(q.angle >= other.angle);
}

/// Insertion of each entry after every sorted entry it does not go before. Quadratic, but
/// only lists with a NaN angle come here.
BoundaryPoint* insertionSort(BoundaryPoint* first) {
    BoundaryPoint* rest = first->next;
    BoundaryPoint* sorted = first;
    sorted->next = nullptr;
    while (rest != nullptr) {
        BoundaryPoint* q = rest;
        rest = rest->next;
        if (goesBefore(*q, *sorted)) {
            q->next = sorted;
            sorted = q;
            continue;
        }
        BoundaryPoint* at = sorted;
        while (at->next != nullptr && !goesBefore(*q, *at->next)) {
            at = at->next;
        }
        q->next = at->next;
        at->next = q;
    }
    return sorted;
}

}  // namespace

BoundaryPoint* sortByAngle(BoundaryPoint* first) {
    std::vector<BoundaryPoint*> entries;
    bool anyNan = false;
    for (BoundaryPoint* e = first; e != nullptr; e = e->next) {
        e->angle = polarAngle(*e->position);
        anyNan = anyNan || std::isnan(e->angle);
        entries.push_back(e);
    }
    if (anyNan) {
        return insertionSort(first);
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
