#include "boundary/angle_insertion.h"

namespace tarvel {

namespace {

/// Whether q goes before `other` in the insertion order: unless its angle is greater than or
/// equal, so a NaN on either side puts q first.
bool goesBefore(const BoundaryPoint& q, const BoundaryPoint& other) {
    return !(q.angle >= other.angle);
}

}  // namespace

BoundaryPoint* insertByAngle(BoundaryPoint* first) {
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
