#include "boundary/angular_order.h"
#include "boundary/angle_insertion.h"

namespace tarvel {

BoundaryPoint* sortByAngle(BoundaryPoint* first) {
    for (BoundaryPoint* e = first; e != nullptr; e = e->next) {
        e->angle = polarAngle(*e->position);
    }
    return insertByAngle(first);
}

}  // namespace tarvel
