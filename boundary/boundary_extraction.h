#pragma once

#include "boundary/boundary_point.h"
#include "grouping/poly_group.h"

namespace tarvel {

class GroupedPolygons;

/// The group's boundary points, each once: the ends of every edge that no other member edge
/// cancels, in the order the remaining edges first name them. The caller owns the list; its
/// positions point into the group's polygons. Null when every edge cancels. `grouped` is what
/// the growth that formed the group kept, which may spare numbering the points again.
BoundaryPoint* extractBoundary(const PolyGroup& group, const GroupedPolygons* grouped = nullptr);

}  // namespace tarvel
