// The linked module with each of a run's allocations failing in turn.
#pragma once

#include <cstdint>
#include <string>

#include "standin/scene.h"

namespace tarvel::testing {

/// Runs `scene` once cleanly, then once with each of the module's allocations failing in turn.
/// Every failing run must leave nothing allocated and either go on to the clean run's end
/// (memory the library can do without) or abandon the edit cleanly: the module at rest, result
/// 0, one done(1, 0) as the last call, nothing removed, no message, the run invariants kept.
/// `name` names the scene in the failures. Returns how many runs failed an allocation.
std::uint64_t expectEveryFailedAllocationAbandonsCleanly(const standin::Scene& scene,
                                                         const std::string& name);

}  // namespace tarvel::testing
