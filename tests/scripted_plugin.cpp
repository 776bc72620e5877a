#include "tests/scripted_plugin.h"

#include <utility>

namespace tarvel::standin::testing {

namespace {

Script currentScript;

int scriptedActivate(int, GlobalFunc* global, void* local, void*) {
    return currentScript(global, reinterpret_cast<MeshEditBegin*>(local));
}

void* scriptedStartup() {
    return &startupToken;
}

void scriptedShutdown(void* data) {
    ++shutdownCalls;
    shutdownData = data;
}

}  // namespace

int startupToken = 0;
int shutdownCalls = 0;
void* shutdownData = nullptr;

const ServerRecord kScriptedServers[3] = {
    {"ImageFilter", "Other", nullptr, nullptr},  // another class comes first
    {"MeshDataEdit", "Scripted", scriptedActivate, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

ModuleDescriptor scriptedDescriptor() {
    return {kModuleSync,     kModuleVersion,   kModuleMachine,
            scriptedStartup, scriptedShutdown, kScriptedServers};
}

Trace runScript(Scene scene, Script script, CallLogging logging) {
    currentScript = std::move(script);
    const ModuleDescriptor descriptor = scriptedDescriptor();
    return runTool(descriptor, "scripted", std::move(scene), logging);
}

}  // namespace tarvel::standin::testing
