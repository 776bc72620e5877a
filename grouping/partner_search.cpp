#include "grouping/partner_search.h"

#include "geometry/line_plane.h"

namespace tarvel {

void considerPartner(PolyGroup& group, const AlignFrame& frame, PolyGroup& candidate,
                     double maxAngle) {
    if (&candidate == &group) {
        return;
    }
    Vector3 centre = candidate.centre;
    frame.transformPoints(&centre, group.centre, 1);
    if (candidate.normal.angleBetween(group.normal) < PI - maxAngle) {
        return;  // the normals are too far from opposite
    }
    if (centre.z < 0.0) {
        return;  // behind the group
    }
    const double d = distanceToAxis(candidate.centre, group.centre, group.normal);
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

void pairGroups(PolyGroup* head) {
    if (listLength(head) >= 3) {
        const double maxAngle = PI / 4;  // normals at least 135 degrees apart
        for (PolyGroup* g = head; g != nullptr; g = g->next) {
            findPartner(*g, *g, maxAngle);
        }
    } else if (listLength(head) == 2) {
        const double maxAngle = PI / 2 - 0.0001;  // normals just over 90 degrees apart
        findPartner(*head, *head, maxAngle);
    }
}

}  // namespace tarvel
