#pragma once

#include <cstdint>

#include "host/lwsdk.h"

namespace tarvel {

class SelectedPoly;
struct PolyGroup;

// The run's shared state. All four are zero between runs; every run sets them before use.

/// Owning array of one slot per polygon polyCount reported. A slot owns its polygon until a
/// group takes it and the slot becomes null. Null between runs.
extern SelectedPoly** polyTable;
/// Captured polygons no group has taken yet; during the scan, the next free slot.
extern std::int32_t unassignedCount;
/// Head of the run's group list; owns every group, partner and member polygon.
extern PolyGroup* groupList;
/// The host's message functions, or null when the host gave none. Not owned.
extern LWMessageFuncs* messageFuncs;

}  // namespace tarvel
