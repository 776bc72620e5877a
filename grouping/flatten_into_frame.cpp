#include "grouping/flatten_into_frame.h"

#include "geometry/frame_transform.h"
#include "grouping/poly_group.h"
#include "host/selected_poly.h"

namespace tarvel {

void flattenIntoFrame(PolyGroup& group, AlignFrame frame, Vector3 origin) {
    // The frame's sines and cosines once for the group, not once per point.
    const FrameTransform transform(frame);
    for (SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        for (int i = 0; i < m->pointCount; ++i) {
            m->positions[i] = transform.apply(m->positions[i], origin);
            m->positions[i].z = 0.0;
        }
    }
}

}  // namespace tarvel
