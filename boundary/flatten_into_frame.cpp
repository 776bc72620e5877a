#include "boundary/flatten_into_frame.h"

#include "boundary/boundary_point.h"
#include "geometry/frame_transform.h"

namespace tarvel {

void flattenIntoFrame(PolyGroup&, const BoundaryPoint* boundary, AlignFrame frame, Vector3 origin) {
    // Only the boundary's points are read after this, and they are a few thousand where the
    // members may hold millions. Each entry names a position of its own.
    const FrameTransform transform(frame);
    for (const BoundaryPoint* p = boundary; p != nullptr; p = p->next) {
        Vector3& position = *p->position;
        position = transform.apply(position, origin);
        position.z = 0.0;
    }
}

}  // namespace tarvel
