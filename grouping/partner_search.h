#pragma once

#include "geometry/align_frame.h"
#include "geometry/frame_transform.h"
#include "grouping/poly_group.h"

namespace tarvel {

/// The largest angle between a group's normal and the reverse of its partner's when three or
/// more groups are paired: the normals at least 135 degrees apart. The polygon ordering tests
/// every polygon, as a group of its own, against the same limit.
inline constexpr double kFacingLimit = PI / 4;
/// The limit when exactly two groups are paired: the normals just over 90 degrees apart.
inline constexpr double kTwoGroupFacingLimit = PI / 2 - 0.0001;

/// The partner test without the comparison, for a group with centre `centre` and normal
/// `normal`: whether the candidate's normal is at least PI - maxAngle radians away from the
/// group's and its centre lies in front of the group (or on its plane). When it passes,
/// `distance` is the candidate centre's distance from the group's normal axis. `frame` is the
/// transform of the group's frame.
bool facesAcross(const Vector3& centre, const Vector3& normal, const FrameTransform& frame,
                 const Vector3& candidateCentre, const Vector3& candidateNormal, double maxAngle,
                 double& distance);

/// Makes `candidate` the partner of `group` when it passes the partner test and lies strictly
/// nearer the group's normal axis than the current partner. `frame` is the group's frame with
/// its angles computed.
void considerPartner(PolyGroup& group, const AlignFrame& frame, PolyGroup& candidate,
                     double maxAngle);

/// Searches the groups after `start` for the group's partner and, when one is found, unlinks
/// it from that list (the list after `start` gives up its ownership to `group.partner`).
void findPartner(PolyGroup& group, PolyGroup& start, double maxAngle);

}  // namespace tarvel
