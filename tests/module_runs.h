// Running the real module files on scenes, and reading what they asked of the host.
#pragma once

#include <string>
#include <vector>

#include "standin/module_loader.h"
#include "standin/scene.h"
#include "standin/stand_in_host.h"
#include "testing/json_value.h"

namespace tarvel::testing {

/// The module file built from the product sources, loaded once per test program.
const standin::LoadedModule& productModule();
/// The module file built around the straightforward procedures.
const standin::LoadedModule& referenceModule();

standin::Trace run(const standin::LoadedModule& module, standin::Scene scene);

/// The trace as parsed JSON, and its calls of one kind.
standin::JsonValue traceJson(const standin::Trace& trace);
std::vector<const standin::JsonValue*> callsOf(const standin::JsonValue& trace,
                                               const std::string& op);
/// The "op" of every call, in order.
std::vector<std::string> opSequence(const standin::JsonValue& trace);

/// A scene from inline JSON text.
standin::Scene sceneFrom(const std::string& json);

}  // namespace tarvel::testing
