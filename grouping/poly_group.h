#pragma once

#include <cstddef>

#include "geometry/align_frame.h"
#include "geometry/vector3.h"

namespace tarvel {

class SelectedPoly;
class WorkerTeam;

/// One patch of selected polygons, and a node of a singly linked group list.
/// Each group is reachable through exactly one owning link: a list head, a predecessor's
/// `next`, or one owner's `partner`.
struct PolyGroup {
    PolyGroup() = default;
    PolyGroup(const PolyGroup&) = delete;
    PolyGroup& operator=(const PolyGroup&) = delete;
    /// Destroys the partner with everything it owns, then the successor with everything it
    /// owns. Walks any length of list or depth of partners without recursing. The members
    /// stay: they go with the arena that holds the run's records.
    ~PolyGroup();

    /// During a run the groups live in the run's arena (RunArena): freeing one frees nothing,
    /// and the arena frees them all when the run ends. Elsewhere they live on the heap.
    static void* operator new(std::size_t bytes);
    static void operator delete(void* group) noexcept;

    /// Seed polygon and head of the member chain (continued through nextMember). Not owning:
    /// the members are held by the run's record arena. Null while the group is empty.
    SelectedPoly* firstMember = nullptr;
    /// The seed's normal, plus every member's normal once addMemberNormals ran. Not normalised.
    Vector3 normal;
    /// Mean of the member centroids, once computeCentre ran.
    Vector3 centre;
    /// distanceToAxis of the partner's centre from this group's axis; 0.0 without partner.
    double partnerDistance = 0.0;
    /// The facing group paired with this one, or null. Owning; the partner is in no list.
    PolyGroup* partner = nullptr;
    /// The next group of the list this group is in, or null. Owning.
    PolyGroup* next = nullptr;

    /// The frame across this group's normal, angles not yet computed.
    AlignFrame buildAlignFrame() const { return AlignFrame::fromNormal(normal); }
};

/// Groups from `head` along `next`; 0 for null.
int listLength(const PolyGroup* head);

/// Adds every member's normal, the seed's included, to the group's normal.
void addMemberNormals(PolyGroup& group);

/// Sets the centre to the unweighted mean of the member centroids; (0, 0, 0) for no members.
/// A member without points has the centroid (0, 0, 0).
void computeCentre(PolyGroup& group);

/// addMemberNormals and then computeCentre, in one walk along the members.
void sumMembers(PolyGroup& group);

/// sumMembers for every group of the list at `head`: each group's sums in member order, as one
/// thread would take them, with the groups shared out among the team's threads.
void measureGroups(PolyGroup* head, const WorkerTeam& team);

/// The centre computeCentre gives a group whose only member is `polygon`: the polygon's
/// centroid, (0, 0, 0) for no points.
Vector3 soleMemberCentre(const SelectedPoly& polygon);

/// Inserts the unlinked `group` into the non-empty list at `head`, ordered by partnerDistance
/// (a group without partner is appended), and returns the list's head afterwards.
PolyGroup* insertByDistance(PolyGroup* head, PolyGroup* group);

/// Destroys the groups without partner, keeps the others in order, and returns the head of
/// what remains (null when nothing does).
PolyGroup* keepPaired(PolyGroup* head);

}  // namespace tarvel
