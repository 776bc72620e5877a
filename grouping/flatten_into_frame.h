#pragma once

#include "geometry/align_frame.h"

namespace tarvel {

struct PolyGroup;

/// Carries every stored position of every member polygon of the group into `frame` about
/// `origin`, and sets its z to 0.0. Positions shared by members are stored, and carried, once
/// per member. The group's normal and centre are left alone.
void flattenIntoFrame(PolyGroup& group, AlignFrame frame, Vector3 origin);

}  // namespace tarvel
