#pragma once

#include "boundary/boundary_point.h"
#include "host/lwsdk.h"

namespace tarvel {

/// The entry of the non-empty list (ascending angle) whose angle is nearest `a`, going either
/// way round through 2 PI. Ties go to the entry looked at first: entries in list order, then
/// the way round past the last entry, then the way round to the first.
BoundaryPoint* nearestByAngle(BoundaryPoint* first, double a);

/// Links every entry of the first list to its nearest in the second (marking that one
/// matched), then every unmatched entry of the second list to its nearest in the first.
void matchLoops(BoundaryPoint* firstList, BoundaryPoint* secondList);

/// Adds one two-point polygon with the surface "test" per link: the first list's links tagged
/// "COLR" "Red" (its first entry) and "DkRed", then the second list's own links "Blue".
/// A link the host makes no polygon for gets no tag.
void addConnections(const BoundaryPoint* firstList, const BoundaryPoint* secondList,
                    const MeshEditOp& edit);

}  // namespace tarvel
