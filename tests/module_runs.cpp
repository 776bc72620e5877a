#include "tests/module_runs.h"

#include "standin/scene_reader.h"
#include "standin/trace_writer.h"

namespace tarvel::testing {

const standin::LoadedModule& productModule() {
    static const standin::LoadedModule module(TARVEL_MODULE_FILE);
    return module;
}

const standin::LoadedModule& referenceModule() {
    static const standin::LoadedModule module(TARVEL_REFERENCE_MODULE_FILE);
    return module;
}

standin::Trace run(const standin::LoadedModule& module, standin::Scene scene) {
    return standin::runTool(module.module(), std::move(scene));
}

standin::JsonValue traceJson(const standin::Trace& trace) {
    return standin::parseJson(standin::traceText(trace));
}

std::vector<const standin::JsonValue*> callsOf(const standin::JsonValue& trace,
                                               const std::string& op) {
    std::vector<const standin::JsonValue*> out;
    for (const standin::JsonValue& call : trace.at("calls").items()) {
        if (call.at("op").string() == op) {
            out.push_back(&call);
        }
    }
    return out;
}

std::vector<std::string> opSequence(const standin::JsonValue& trace) {
    std::vector<std::string> out;
    for (const standin::JsonValue& call : trace.at("calls").items()) {
        out.push_back(call.at("op").string());
    }
    return out;
}

standin::Scene sceneFrom(const std::string& json) {
    return standin::readScene(json, "inline scene");
}

}  // namespace tarvel::testing
