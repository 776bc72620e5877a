// The module on any selection the host can hand it: the fuzzer's bytes become a scene, the
// module linked into this program runs on it in the stand-in host, and every run must keep
// the run invariants, leave nothing allocated and leave the module's variables at rest.
#include <cstdio>
#include <cstdlib>
#include <span>

#include "testing/linked_module.h"
#include "testing/run_invariants.h"
#include "testing/scene_decoder.h"

namespace tarvel {
namespace {

/// Runs the linked module on the scene the bytes make; aborts where the run breaks an invariant,
/// leaves memory allocated or leaves the module's variables set.
void checkRun(std::span<const std::uint8_t> bytes) {
    const standin::Scene scene = fuzzing::decodeScene(bytes);
    const testing::WatchedRun run = testing::runWatched(scene);
    std::vector<std::string> broken = testing::brokenRunInvariants(scene, run.trace);
    if (run.live != 0) {
        broken.push_back(std::to_string(run.live) + " blocks of the module left allocated");
    }
    if (!testing::moduleAtRest()) {
        broken.push_back("module-level variables not at rest after the run");
    }
    if (!broken.empty()) {
        std::fprintf(stderr, "run invariants broken:\n%s", testing::describeBroken(broken).c_str());
        std::abort();
    }
}

}  // namespace
}  // namespace tarvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvel::checkRun(std::span(data, size));
    return 0;
}
