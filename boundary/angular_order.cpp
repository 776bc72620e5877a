#include "boundary/angular_order.h"

#include "boundary/angle_insertion.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

namespace tarvel {

BoundaryPoint* sortByAngle(BoundaryPoint* first) {
    assert(first != nullptr);
    std::size_t count = 0;
    bool anyNan = false;
    for (BoundaryPoint* e = first; e != nullptr; e = e->next) {
        e->angle = polarAngle(*e->position);
        anyNan = anyNan || std::isnan(e->angle);
        ++count;
    }
    if (anyNan) {
        return insertByAngle(first);
    }
    // Without NaN the insertion order is a stable ascending sort. A short list (most are) is
    // sorted by insertion in place, with nothing allocated.
    auto byAngle = [](const BoundaryPoint* a, const BoundaryPoint* b) {
        return a->angle < b->angle;
    };
    constexpr std::size_t kShortList = 32;
    BoundaryPoint* shortList[kShortList] = {};
    std::vector<BoundaryPoint*> longList;
    BoundaryPoint** entries = shortList;
    if (count > kShortList) {
        longList.resize(count);
        entries = longList.data();
    }
    std::size_t n = 0;
    for (BoundaryPoint* e = first; e != nullptr; e = e->next) {
        entries[n++] = e;
    }
    if (count > kShortList) {
        std::stable_sort(entries, entries + count, byAngle);
    } else {
        for (std::size_t i = 1; i < count; ++i) {
            BoundaryPoint* const e = entries[i];
            std::size_t k = i;
            for (; k > 0 && byAngle(e, entries[k - 1]); --k) {
                entries[k] = entries[k - 1];
            }
            entries[k] = e;
        }
    }
    for (std::size_t i = 0; i + 1 < count; ++i) {
        entries[i]->next = entries[i + 1];
    }
    entries[count - 1]->next = nullptr;
    return entries[0];
}

}  // namespace tarvel
