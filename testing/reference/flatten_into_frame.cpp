#include "boundary/flatten_into_frame.h"

#include "grouping/poly_group.h"
#include "runtime/selected_poly.h"

namespace tarvel {

void flattenIntoFrame(PolyGroup& group, const BoundaryPoint*, AlignFrame frame, Vector3 origin) {
    for (SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        for (int i = 0; i < m->pointCount; ++i) {
            frame.transformPoints(&m->positions[i], origin, 1);
            m->positions[i].z = 0.0;
        }
    }
}

}  // namespace tarvel
