// A module file whose descriptor carries a synchronisation word one off the host's: a host
// must refuse it before calling anything in it.
#include "sdk/lwsdk.h"

#if defined(_WIN32)
#define TEST_EXPORT __declspec(dllexport)
#else
#define TEST_EXPORT __attribute__((visibility("default")))
#endif

namespace {

void* startup() {
    return reinterpret_cast<void*>(std::uintptr_t{1});
}

int activate(int, GlobalFunc*, void*, void*) {
    return 0;
}

const ServerRecord kServers[] = {
    {"MeshDataEdit", "WrongSync", activate, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" TEST_EXPORT const ModuleDescriptor _mod_descrip = {
    kModuleSync + 1, kModuleVersion, kModuleMachine, startup, nullptr, kServers,
};
