#include "grouping/poly_group.h"

#include <vector>

#include "runtime/address_sanitizer.h"
#include "runtime/record_arena.h"
#include "runtime/selected_poly.h"
#include "runtime/worker_team.h"

namespace tarvel {

// Under the address sanitizer every group lives on the heap, so that it sees a group used
// after it was freed, or never freed.

void* PolyGroup::operator new(std::size_t bytes) {
#if !defined(TARVEL_ADDRESS_SANITIZED)
    if (RecordArena* arena = RunArena::current()) {
        return arena->allocate(bytes, alignof(PolyGroup));
    }
#endif
    return ::operator new(bytes);
}

void PolyGroup::operator delete(void* group) noexcept {
#if !defined(TARVEL_ADDRESS_SANITIZED)
    if (RunArena::current() != nullptr) {
        return;  // freed with the arena
    }
#endif
    ::operator delete(group);
}

PolyGroup::~PolyGroup() {
    // Flatten the partner and successor links below this group into one chain through `next`,
    // in the order a recursive destruction would visit the groups (partner before successor),
    // then free the chain in a loop. Each freed group then owns nothing.
    for (PolyGroup* g = this; g != nullptr; g = g->next) {
        if (g->partner != nullptr) {
            PolyGroup* last = g->partner;
            while (last->next != nullptr) {
                last = last->next;
            }
            last->next = g->next;
            g->next = g->partner;
            g->partner = nullptr;
        }
    }
    PolyGroup* g = next;
    next = nullptr;
    while (g != nullptr) {
        PolyGroup* following = g->next;
        g->next = nullptr;
        delete g;
        g = following;
    }
}

int listLength(const PolyGroup* head) {
    int length = 0;
    for (const PolyGroup* g = head; g != nullptr; g = g->next) {
        ++length;
    }
    return length;
}

void addMemberNormals(PolyGroup& group) {
    for (const SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        group.normal += m->normal;
    }
}

namespace {

/// The mean of the member's points; (0, 0, 0) for no points.
Vector3 centroidOf(const SelectedPoly& member) {
    Vector3 sum;
    for (int i = 0; i < member.pointCount; ++i) {
        sum += member.positions[i];
    }
    return sum / static_cast<double>(member.pointCount);
}

}  // namespace

void computeCentre(PolyGroup& group) {
    group.centre = Vector3();
    int members = 0;
    for (const SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        group.centre += centroidOf(*m);
        ++members;
    }
    if (members >= 2) {
        group.centre = group.centre / static_cast<double>(members);
    }
}

void sumMembers(PolyGroup& group) {
    // The same additions in the same order as the two walks, so the same bits.
    Vector3 centre;
    int members = 0;
    for (const SelectedPoly* m = group.firstMember; m != nullptr; m = m->nextMember) {
        group.normal += m->normal;
        centre += centroidOf(*m);
        ++members;
    }
    group.centre = members >= 2 ? centre / static_cast<double>(members) : centre;
}

void measureGroups(PolyGroup* head, const WorkerTeam& team) {
    std::vector<PolyGroup*> groups;
    for (PolyGroup* g = head; g != nullptr; g = g->next) {
        groups.push_back(g);
    }
    team.forRanges(groups.size(), team.grainFor(groups.size(), 4096),
                   [&groups](std::size_t begin, std::size_t end) {
                       for (std::size_t i = begin; i < end; ++i) {
                           sumMembers(*groups[i]);
                       }
                   });
}

Vector3 soleMemberCentre(const SelectedPoly& polygon) {
    // As computeCentre adds it to (0, 0, 0): a centroid coordinate of -0.0 becomes +0.0.
    Vector3 centre;
    centre += centroidOf(polygon);
    return centre;
}

PolyGroup* insertByDistance(PolyGroup* head, PolyGroup* group) {
    if (group->partner == nullptr) {
        PolyGroup* last = head;
        while (last->next != nullptr) {
            last = last->next;
        }
        last->next = group;
        group->next = nullptr;
        return head;
    }
    if (head->partnerDistance > group->partnerDistance) {
        group->next = head;
        return group;
    }
    PolyGroup* at = head;
    while (at->next != nullptr && at->next->partnerDistance < group->partnerDistance) {
        at = at->next;
    }
    group->next = at->next;
    at->next = group;
    return head;
}

PolyGroup* keepPaired(PolyGroup* head) {
    PolyGroup* first = nullptr;
    PolyGroup* last = nullptr;
    PolyGroup* g = head;
    while (g != nullptr) {
        if (g->partner != nullptr) {
            if (first == nullptr) {
                first = g;
            } else {
                last->next = g;
            }
            last = g;
            g = g->next;
        } else {
            PolyGroup* following = g->next;
            g->next = nullptr;
            delete g;
            g = following;
        }
    }
    if (last != nullptr) {
        last->next = nullptr;
    }
    return first;
}

}  // namespace tarvel
