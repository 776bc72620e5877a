#include "boundary/box_projection.h"

namespace tarvel {

void normaliseToBox(BoundaryPoint* first) {
    double xmin = first->position->x;
    double xmax = xmin;
    double ymin = first->position->y;
    double ymax = ymin;
    for (const BoundaryPoint* e = first->next; e != nullptr; e = e->next) {
        const Vector3& p = *e->position;
        if (p.x < xmin) {
            xmin = p.x;
        }
        if (p.x > xmax) {
            xmax = p.x;
        }
        if (p.y < ymin) {
            ymin = p.y;
        }
        if (p.y > ymax) {
            ymax = p.y;
        }
    }
    const double w = xmax - xmin;
    const double h = ymax - ymin;
    const double ox = -(w / 2.0 + xmin);
    const double oy = -(h / 2.0 + ymin);
    for (BoundaryPoint* e = first; e != nullptr; e = e->next) {
        Vector3& p = *e->position;
        p.x = ox + p.x;
        p.y = oy + p.y;
        // A flat box (all points on one line) is centred but not stretched.
        if (w != 0.0) {
            p.x = p.x / w;
        }
        if (h != 0.0) {
            p.y = p.y / h;
        }
    }
}

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
