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

/// What start-up hands the host: the host keeps it as the module's data, and a value other
/// than null tells it that the module started. The module keeps no data, so any such value
/// serves.
constexpr std::uintptr_t kStartupData = 4;

void* startup() {
    return reinterpret_cast<void*>(kStartupData);
}

void shutdown(void* /*serverData*/) {}

// A tag code holds the kind of the entry in its high 16 bits and, for a text the user reads,
// the text's language in its low 16 bits. Only the first kind is ours to name; what the other
// kinds mean is the host's.
constexpr std::uint32_t tagKind(std::uint32_t kind) {
    return kind << 16;
}
constexpr std::uint32_t kLanguageUsEnglish = 0x0409;
constexpr std::uint32_t kTagUserName = tagKind(0) | kLanguageUsEnglish;  // the command's name
constexpr std::uint32_t kTagEnd = 0;

const ServerTagInfo kTags[] = {
    {"Tarvel Tool", kTagUserName}, {"create", tagKind(2)}, {"Tarvel", tagKind(1)},
    {"spol", tagKind(5)},          {"", kTagEnd},
};

const ServerRecord kServers[] = {
    {"MeshDataEdit", "Tarvel", tarvel::activate, kTags},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" TARVEL_EXPORT const ModuleDescriptor _mod_descrip = {
    kModuleSync, kModuleVersion, kModuleMachine, startup, shutdown, kServers,
};
