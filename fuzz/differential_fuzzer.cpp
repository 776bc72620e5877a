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

namespace {

// The straightforward procedures are quadratic or worse; small scenes keep a run cheap.
constexpr tarvel::fuzzing::SceneLimits kLimits{96, 48};

void check(const tarvel::standin::Scene& scene, const tarvel::standin::Trace& trace,
           const char* module) {
    const std::vector<std::string> broken = tarvel::testing::brokenRunInvariants(scene, trace);
    if (!broken.empty()) {
        std::fprintf(stderr, "%s: run invariants broken:\n%s", module,
                     tarvel::testing::describeBroken(broken).c_str());
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const tarvel::standin::LoadedModule fast(TARVEL_MODULE_FILE);
    static const tarvel::standin::LoadedModule reference(TARVEL_REFERENCE_MODULE_FILE);
    const tarvel::standin::Scene scene =
        tarvel::fuzzing::decodeScene(std::span(data, size), kLimits);
    const tarvel::standin::Trace fastTrace = tarvel::standin::runTool(fast.module(), scene);
    const tarvel::standin::Trace referenceTrace =
        tarvel::standin::runTool(reference.module(), scene);
    check(scene, fastTrace, "fast module");
    check(scene, referenceTrace, "reference module");
    const std::string fastText = tarvel::standin::traceText(fastTrace);
    const std::string referenceText = tarvel::standin::traceText(referenceTrace);
    if (fastText != referenceText) {
        std::fprintf(stderr, "traces differ\nfast:\n%s\nreference:\n%s\n", fastText.c_str(),
                     referenceText.c_str());
        std::abort();
    }
    return 0;
}
