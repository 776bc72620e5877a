// The record the host reads when it loads the module: one server of the class
// "MeshDataEdit", named "Tarvel", shown to the user as "Tarvel Tool".
#include <cstdint>

#include "host/activate.h"
#include "sdk/lwsdk.h"

#if defined(_WIN32)
#define TARVEL_EXPORT __declspec(dllexport)
#else
#define TARVEL_EXPORT __attribute__((visibility("default")))
#endif

namespace {

/// What start-up hands the host: the host keeps it as the module's data, and a value other
/// than null tells it that the module started. The module keeps no data, so any such value
/// serves.
constexpr std::uintptr_t kStartupData = 4;

void* TARVEL_HOSTCALL startup() {
    return reinterpret_cast<void*>(kStartupData);
}

void TARVEL_HOSTCALL shutdown(void* /*serverData*/) {}

// A tag code holds the kind of the entry in its high 16 bits and, for a text the user reads,
// the text's language in its low 16 bits. The kinds are named here for the text each carries;
// how the host uses the last three is the host's affair.
enum TagKind : std::uint32_t {
    kKindUserName = 0,    // the command's name as the user sees it
    kKindServerName = 1,  // the server's own name again
    kKindAction = 2,      // "create": the kind of command, as the host groups them
    kKindInput = 5,       // "spol": what the command takes from the mesh
};
constexpr std::uint32_t tagCode(TagKind kind) {
    return static_cast<std::uint32_t>(kind) << 16;
}
constexpr std::uint32_t kLanguageUsEnglish = 0x0409;
constexpr std::uint32_t kTagEnd = 0;

const ServerTagInfo kTags[] = {
    {"Tarvel Tool", tagCode(kKindUserName) | kLanguageUsEnglish},
    {"create", tagCode(kKindAction)},
    {"Tarvel", tagCode(kKindServerName)},
    {"spol", tagCode(kKindInput)},
    {"", kTagEnd},
};

const ServerRecord kServers[] = {
    {"MeshDataEdit", "Tarvel", tarvel::activate, kTags},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" TARVEL_EXPORT const ModuleDescriptor _mod_descrip = {
    kModuleSync, kModuleVersion, kModuleMachine, startup, shutdown, kServers,
};
