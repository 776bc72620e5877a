// Running the module linked into the program (tarvel_core) in the stand-in host, watching its
// allocations. A program that uses it gets the counting operator new of allocation_counter.cpp.
#pragma once

#include <cstdint>

#include "sdk/lwsdk.h"
#include "standin/scene.h"
#include "standin/stand_in_host.h"

extern "C" const ModuleDescriptor _mod_descrip;

namespace tarvel::testing {

struct WatchedRun {
    standin::Trace trace;
    /// The module's allocations during the run, the failed one included.
    std::uint64_t requested = 0;
    /// The module's blocks still allocated when the run ended: 0 for a run that leaks nothing.
    std::int64_t live = 0;
    /// Whether the allocation to fail was reached.
    bool failed = false;
    /// Whether that allocation was one the module may do without (see ModuleAllocations).
    bool failedQuietly = false;
    /// The module's largest single allocation, in bytes.
    std::size_t largest = 0;
};

/// Runs the linked module once on a copy of `scene`; with `failAt` k > 0 its k-th allocation
/// fails.
WatchedRun runWatched(const standin::Scene& scene, std::uint64_t failAt = 0,
                      standin::CallLogging logging = standin::CallLogging::full);

/// Whether the module's four module-level variables are back at rest (null and zero).
bool moduleAtRest();

}  // namespace tarvel::testing
