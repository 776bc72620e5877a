#include "testing/linked_module.h"

#include "host/activate.h"
#include "host/run_state.h"
#include "testing/allocation_counter.h"

namespace tarvel::testing {

WatchedRun runWatched(const standin::Scene& scene, std::uint64_t failAt,
                      standin::CallLogging logging) {
    standin::Scene copy = scene;
    WatchedRun run;
    // The trace is built inside the host, so moving it out here costs the module nothing.
    const ModuleAllocations watch(failAt);
    run.trace = standin::runTool(_mod_descrip, "tarvel", std::move(copy), logging);
    run.requested = watch.requested();
    run.live = watch.live();
    run.failed = watch.failed();
    run.failedQuietly = watch.failedQuietly();
    run.largest = watch.largest();
    return run;
}

bool moduleAtRest() {
    return polyTable == nullptr && unassignedCount == 0 && groupList == nullptr &&
           messageFuncs == nullptr;
}

}  // namespace tarvel::testing
