// The record the host reads when it loads the module: one server of the class
// "MeshDataEdit", named "Tarvel", shown to the user as "Tarvel Tool".
#include <cstdint>

#include "host/activate.h"
#include "host/lwsdk.h"

#if defined(_WIN32)
#define TARVEL_EXPORT __declspec(dllexport)
#else
#define TARVEL_EXPORT __attribute__((visibility("default")))
#endif

namespace {

void* TARVEL_HOSTCALL startup() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(4));
}

void TARVEL_HOSTCALL shutdown(void* /*serverData*/) {}

const ServerTagInfo kTags[] = {
    {"Tarvel Tool", 0x00000409},  // the command's name, in US English
    {"create", 0x00020000},      {"Tarvel", 0x00010000}, {"spol", 0x00050000}, {"", 0},
};

const ServerRecord kServers[] = {
    {"MeshDataEdit", "Tarvel", tarvel::activate, kTags},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" TARVEL_EXPORT const ModuleDescriptor _mod_descrip = {
    kModuleSync, kModuleVersion, kModuleMachine, startup, shutdown, kServers,
};
