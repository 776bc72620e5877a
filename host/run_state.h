#pragma once

#include <cstdint>

#include "sdk/lwsdk.h"

namespace tarvel {

class SelectedPoly;
struct PolyGroup;

// The run's shared state. All four are zero between runs; every run sets them before use.

/// Owning array of one slot per polygon polyCount reported. A slot holds its polygon (which
/// lives in the run's record arena) until a group takes it and the slot becomes null. Null
/// between runs.
extern SelectedPoly** polyTable;
/// Captured polygons no group has taken yet; during the scan, the next free slot.
extern std::int32_t unassignedCount;
/// Head of the run's group list; owns every group and partner. The member polygons live in
/// the run's record arena.
extern PolyGroup* groupList;
/// The host's message functions, or null when the host gave none. Not owned.
extern LWMessageFuncs* messageFuncs;

}  // namespace tarvel
