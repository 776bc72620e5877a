#pragma once

#include <span>
#include <vector>

#include "boundary/boundary_point.h"
#include "sdk/lwsdk.h"

namespace tarvel {

/// A two-point polygon to add: from a boundary point to the point it was matched with, and the
/// colour it is tagged with.
struct Connection {
    LWPntID from;
    LWPntID to;
    /// "Red", "DkRed" or "Blue": text with static storage.
    const char* colour;
};

/// Appends the connections of two matched lists to `connections`, in the order they go to the
/// host: the first list's links, colour "Red" for its first entry and "DkRed" after, then the
/// second list's own links, "Blue".
void listConnections(const BoundaryPoint* firstList, const BoundaryPoint* secondList,
                     std::vector<Connection>& connections);

/// Adds one two-point polygon with the surface "test" per connection, tagged "COLR" with its
/// colour. A connection the host makes no polygon for gets no tag.
void addConnections(std::span<const Connection> connections, const MeshEditOp& edit);

}  // namespace tarvel
