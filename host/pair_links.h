#pragma once

#include <vector>

#include "sdk/lwsdk.h"

namespace tarvel {

class GroupedPolygons;
class WorkerTeam;
struct PolyGroup;

/// Links every pair of the list that starts at `list` (each group with a partner), in list
/// order, and appends to `linked` whether each pair was linked: a pair where either group has
/// no boundary (every edge shared, as with a duplicated polygon) gets no links and is left as
/// it was. Calls the host on the calling thread only. Throws std::bad_alloc when memory runs
/// out; the pairs before are linked, and `linked` says so.
void linkPairs(PolyGroup* list, const MeshEditOp& edit, const WorkerTeam& team,
               const GroupedPolygons& grouped, std::vector<bool>& linked);

}  // namespace tarvel
