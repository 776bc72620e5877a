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

}  // namespace tarvel
