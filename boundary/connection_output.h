#pragma once

#include "boundary/boundary_point.h"
#include "sdk/lwsdk.h"

namespace tarvel {

/// Adds one two-point polygon with the surface "test" per link: the first list's links tagged
/// "COLR" "Red" (its first entry) and "DkRed", then the second list's own links "Blue".
/// A link the host makes no polygon for gets no tag.
void addConnections(const BoundaryPoint* firstList, const BoundaryPoint* secondList,
                    const MeshEditOp& edit);

}  // namespace tarvel
