#include "boundary/point_matching.h"
#include "boundary/nearest_by_angle.h"

namespace tarvel {

void matchLoops(BoundaryPoint* firstList, BoundaryPoint* secondList) {
    for (BoundaryPoint* r = firstList; r != nullptr; r = r->next) {
        r->match = nearestByAngle(secondList, r->angle);
        r->match->matched = 1;
    }
    for (BoundaryPoint* s = secondList; s != nullptr; s = s->next) {
        if (s->matched == 0) {
            s->match = nearestByAngle(firstList, s->angle);
        }
    }
}

}  // namespace tarvel
