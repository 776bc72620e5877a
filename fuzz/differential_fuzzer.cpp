// The module against the module built around the straightforward procedures, on small scenes
// from the fuzzer's bytes: both module files must make the same calls with the same values,
// and both must keep the run invariants.
#include <cstdio>
#include <cstdlib>
#include <span>

#include "standin/module_loader.h"
#include "standin/trace_writer.h"
#include "testing/run_invariants.h"
#include "testing/scene_decoder.h"

namespace tarvel {
namespace {

// The straightforward procedures are quadratic or worse; small scenes keep a run cheap.
constexpr fuzzing::SceneLimits kLimits{96, 48};

void check(const standin::Scene& scene, const standin::Trace& trace, const char* module) {
    const std::vector<std::string> broken = testing::brokenRunInvariants(scene, trace);
    if (!broken.empty()) {
        std::fprintf(stderr, "%s: run invariants broken:\n%s", module,
                     testing::describeBroken(broken).c_str());
        std::abort();
    }
}

/// Runs both module files on the scene the bytes make; aborts where they differ or break the
/// run invariants.
void compareModules(std::span<const std::uint8_t> bytes) {
    static const standin::LoadedModule fast(TARVEL_MODULE_FILE);
    static const standin::LoadedModule reference(TARVEL_REFERENCE_MODULE_FILE);
    const standin::Scene scene = fuzzing::decodeScene(bytes, kLimits);
    const standin::Trace fastTrace = standin::runTool(fast.module(), scene);
    const standin::Trace referenceTrace = standin::runTool(reference.module(), scene);
    check(scene, fastTrace, "fast module");
    check(scene, referenceTrace, "reference module");
    const std::string fastText = standin::traceText(fastTrace);
    const std::string referenceText = standin::traceText(referenceTrace);
    if (fastText != referenceText) {
        std::fprintf(stderr, "traces differ\nfast:\n%s\nreference:\n%s\n", fastText.c_str(),
                     referenceText.c_str());
        std::abort();
    }
}

}  // namespace
}  // namespace tarvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvel::compareModules(std::span(data, size));
    return 0;
}
