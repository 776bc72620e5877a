#pragma once

#include "geometry/align_frame.h"

namespace tarvel {

struct BoundaryPoint;
struct PolyGroup;

/// Carries the stored positions of the group's member polygons into `frame` about `origin`,
/// and sets their z to 0.0: at least every position that an entry of `boundary` (the group's
/// boundary list) names, once each, which is all that is read of them after. Positions shared
/// by members are stored once per member. The group's normal and centre are left alone.
void flattenIntoFrame(PolyGroup& group, const BoundaryPoint* boundary, AlignFrame frame,
                      Vector3 origin);

}  // namespace tarvel
