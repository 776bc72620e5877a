#pragma once

#include "geometry/vector3.h"
#include "sdk/lwsdk.h"

namespace tarvel {

/// An edge of a member polygon while the boundary is extracted: a node of a doubly linked list.
struct BoundaryEdge {
    BoundaryEdge() = default;
    BoundaryEdge(const BoundaryEdge&) = delete;
    BoundaryEdge& operator=(const BoundaryEdge&) = delete;
    /// Destroys every edge after this one, in a loop.
    ~BoundaryEdge();

    void setEnds(Vector3* first, Vector3* second, LWPntID idFirst, LWPntID idSecond);
    /// The same two point identifiers, in either direction.
    bool sameEdge(const BoundaryEdge& other) const;

    Vector3* firstPos = nullptr;   ///< stored position of the first end; not owning
    Vector3* secondPos = nullptr;  ///< stored position of the second end; not owning
    LWPntID firstId = nullptr;
    LWPntID secondId = nullptr;
    BoundaryEdge* next = nullptr;  ///< following edge, or null; owning
    BoundaryEdge* prev = nullptr;  ///< preceding edge, or null for the head; not owning
};

}  // namespace tarvel
