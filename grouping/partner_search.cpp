#include "grouping/partner_search.h"

#include "geometry/line_plane.h"

namespace tarvel {

namespace {

/// `carry` takes a point into the group's frame about the group's centre.
template <typename Carry>
bool passes(const Vector3& centre, const Vector3& normal, Carry carry,
            const Vector3& candidateCentre, const Vector3& candidateNormal, double maxAngle,
            double& distance) {
    if (candidateNormal.angleBetween(normal) < PI - maxAngle) {
        return false;  // the normals are too far from opposite
    }
    if (carry(candidateCentre).z < 0.0) {
        return false;  // behind the group
    }
    distance = distanceToAxis(candidateCentre, centre, normal);
    return true;
}

}  // namespace

bool facesAcross(const Vector3& centre, const Vector3& normal, const FrameTransform& frame,
                 const Vector3& candidateCentre, const Vector3& candidateNormal, double maxAngle,
                 double& distance) {
    return passes(
        centre, normal, [&](Vector3 p) { return frame.apply(p, centre); }, candidateCentre,
        candidateNormal, maxAngle, distance);
}

void considerPartner(PolyGroup& group, const AlignFrame& frame, PolyGroup& candidate,
                     double maxAngle) {
    if (&candidate == &group) {
        return;
    }
    auto carry = [&](Vector3 p) {
        frame.transformPoints(&p, group.centre, 1);
        return p;
    };
    double d = 0.0;
    if (!passes(group.centre, group.normal, carry, candidate.centre, candidate.normal, maxAngle,
                d)) {
        return;
    }
    // Strictly nearer only, so that among equals the first one met stays.
    if (group.partner == nullptr || group.partnerDistance > d) {
        group.partner = &candidate;
        group.partnerDistance = d;
    }
}

void findPartner(PolyGroup& group, PolyGroup& start, double maxAngle) {
    AlignFrame frame = group.buildAlignFrame();
    frame.computeAngles();
    for (PolyGroup* candidate = start.next; candidate != nullptr; candidate = candidate->next) {
        considerPartner(group, frame, *candidate, maxAngle);
    }
    if (group.partner == nullptr) {
        return;
    }
    PolyGroup* before = &start;
    while (before->next != group.partner) {
        before = before->next;
    }
    before->next = group.partner->next;
    group.partner->next = nullptr;
}

}  // namespace tarvel
