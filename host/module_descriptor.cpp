// The record the host reads when it loads the module: one server of the class
// "MeshDataEdit", named "Tarvel", shown to the user as "Tarvel Tool".
#include <cstddef>
#include <cstdint>

#include "host/activate.h"
#include "host/lwsdk.h"

#if defined(_WIN32)
#define TARVEL_EXPORT __declspec(dllexport)
#else
#define TARVEL_EXPORT __attribute__((visibility("default")))
#endif

#if UINTPTR_MAX == 0xFFFFFFFF
// The modeller reads these records by their 32-bit layout: six 32-bit fields in the descriptor,
// four pointers per server, a pointer and a 32-bit code per tag.
static_assert(sizeof(ModuleDescriptor) == 24);
static_assert(offsetof(ModuleDescriptor, sysSync) == 0);
static_assert(offsetof(ModuleDescriptor, sysVersion) == 4);
static_assert(offsetof(ModuleDescriptor, sysMachine) == 8);
static_assert(offsetof(ModuleDescriptor, startup) == 12);
static_assert(offsetof(ModuleDescriptor, shutdown) == 16);
static_assert(offsetof(ModuleDescriptor, serverDefs) == 20);
static_assert(sizeof(ServerRecord) == 16);
static_assert(offsetof(ServerRecord, className) == 0);
static_assert(offsetof(ServerRecord, name) == 4);
static_assert(offsetof(ServerRecord, activate) == 8);
static_assert(offsetof(ServerRecord, tagInfo) == 12);
static_assert(sizeof(ServerTagInfo) == 8);
static_assert(offsetof(ServerTagInfo, string) == 0);
static_assert(offsetof(ServerTagInfo, tag) == 4);
#endif

namespace {

void* startup() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(4));
}

void shutdown(void* /*serverData*/) {}

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
