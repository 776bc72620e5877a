#include "boundary/angular_order.h"

namespace tarvel {

namespace {

/// Whether q goes before `other`: unless its angle is greater than or equal, so a NaN on
/// either side puts q first.
bool goesBefore(const BoundaryPoint& q, const BoundaryPoint& other) {
    return !(q.angle >= other.angle);
}

}  // namespace

BoundaryPoint* sortByAngle(BoundaryPoint* first) {
    for (BoundaryPoint* e = first; e != nullptr; e = e->next) {
        e->angle = polarAngle(*e->position);
    }
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

}  // namespace tarvel
