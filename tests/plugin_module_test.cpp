#include <gtest/gtest.h>

#include <string>

#include "mesh/input_error.h"
#include "standin/plugin_module.h"
#include "tests/scripted_plugin.h"

namespace tarvel::standin {
namespace {

using testing::kScriptedServers;
using testing::runScript;
using testing::scriptedDescriptor;
using testing::shutdownCalls;
using testing::shutdownData;
using testing::startupToken;

TEST(PluginModuleTest, refusesDescriptorsTheHostCannotRun) {
    const auto refusal = [](const ModuleDescriptor& descriptor) {
        try {
            PluginModule module(descriptor, "m.p");
        } catch (const InputError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    ModuleDescriptor descriptor = scriptedDescriptor();
    descriptor.sysSync = 0x04121995;
    EXPECT_EQ(refusal(descriptor),
              "m.p: not a plug-in module: synchronisation word 0x04121995, expected 0x04121994");
    descriptor = scriptedDescriptor();
    descriptor.sysVersion = 4;
    EXPECT_EQ(refusal(descriptor), "m.p: not a plug-in module: interface version 4, expected 3");
    descriptor = scriptedDescriptor();
    descriptor.serverDefs = kScriptedServers + 2;  // only the end of the list
    EXPECT_EQ(refusal(descriptor),
              "m.p: not a plug-in module: no server of the class \"MeshDataEdit\"");
    descriptor.serverDefs = nullptr;
    EXPECT_EQ(refusal(descriptor),
              "m.p: not a plug-in module: no server of the class \"MeshDataEdit\"");
    descriptor = scriptedDescriptor();
    descriptor.startup = [] { return static_cast<void*>(nullptr); };
    EXPECT_EQ(refusal(descriptor), "m.p: the module's start-up failed");
}

TEST(PluginModuleTest, shutdownGetsWhatStartupReturned) {
    shutdownCalls = 0;
    shutdownData = nullptr;
    runScript(Scene{}, [](GlobalFunc*, MeshEditBegin*) {
        EXPECT_EQ(shutdownCalls, 0);
        return 0;
    });
    EXPECT_EQ(shutdownCalls, 1);
    EXPECT_EQ(shutdownData, &startupToken);
}

}  // namespace
}  // namespace tarvel::standin
