// The module on any selection the host can hand it: the fuzzer's bytes become a scene, the
// module linked into this program runs on it in the stand-in host, and every run must keep
// the run invariants, leave nothing allocated and leave the module's variables at rest.
#include <cstdio>
#include <cstdlib>
#include <span>

#include "testing/linked_module.h"
#include "testing/run_invariants.h"
#include "testing/scene_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tarvel::standin::Scene scene = tarvel::fuzzing::decodeScene(std::span(data, size));
    const tarvel::testing::WatchedRun run = tarvel::testing::runWatched(scene);
    std::vector<std::string> broken = tarvel::testing::brokenRunInvariants(scene, run.trace);
    if (run.live != 0) {
        broken.push_back(std::to_string(run.live) + " blocks of the module left allocated");
    }
    if (!tarvel::testing::moduleAtRest()) {
        broken.push_back("module-level variables not at rest after the run");
    }
    if (!broken.empty()) {
        std::fprintf(stderr, "run invariants broken:\n%s",
                     tarvel::testing::describeBroken(broken).c_str());
        std::abort();
    }
    return 0;
}
