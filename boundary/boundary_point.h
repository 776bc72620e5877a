#pragma once

#include <cstdint>

#include "geometry/vector3.h"
#include "sdk/lwsdk.h"

namespace tarvel {

/// One boundary point of a group: an entry of a singly linked list.
struct BoundaryPoint {
    BoundaryPoint() = default;
    BoundaryPoint(const BoundaryPoint&) = delete;
    BoundaryPoint& operator=(const BoundaryPoint&) = delete;
    /// Destroys every entry after this one, in a loop.
    ~BoundaryPoint();

    /// Polar angle in radians once sortByAngle ran; 0.0 before.
    double angle = 0.0;
    /// The point's stored position inside the member polygon whose edge first named it.
    /// Not owning; valid while the group's polygons live, and rewritten in place by flattening
    /// and box normalisation.
    Vector3* position = nullptr;
    LWPntID pointId = nullptr;
    /// 1 once an entry of the other list chose this one as its nearest.
    std::uint8_t matched = 0;
    /// The following entry, or null at the end. Owning.
    BoundaryPoint* next = nullptr;
    /// The entry of the other list this one links to, or null. Not owning.
    BoundaryPoint* match = nullptr;
};

/// Entries from `entry` to the end of its list; 0 for null.
int entryCount(const BoundaryPoint* entry);

/// Whether `entry` or a later entry has the identifier.
bool containsPoint(const BoundaryPoint* entry, LWPntID id);

}  // namespace tarvel
