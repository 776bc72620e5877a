#pragma once

#include "geometry/align_frame.h"
#include "grouping/poly_group.h"

namespace tarvel {

/// Makes `candidate` the partner of `group` when its normal is at least PI - maxAngle radians
/// away from the group's, its centre lies in front of the group (or on its plane), and it lies
/// strictly nearer the group's normal axis than the current partner. `frame` is the group's
/// frame with its angles computed.
void considerPartner(PolyGroup& group, const AlignFrame& frame, PolyGroup& candidate,
                     double maxAngle);

/// Searches the groups after `start` for the group's partner and, when one is found, unlinks
/// it from that list (the list after `start` gives up its ownership to `group.partner`).
void findPartner(PolyGroup& group, PolyGroup& start, double maxAngle);

/// Pairs the facing groups of the list at `head` (two or more groups): with three or more each
/// group in turn takes the best of the groups after it, with two the first may take the second.
void pairGroups(PolyGroup* head);

}  // namespace tarvel
