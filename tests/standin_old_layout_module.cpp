// A module file that reads the host's edit record in an order of its own, as this project's
// module once did: state, done, polyCount, polyScan, ... with no layer number after the state.
// In a host that lays the record out as published, its "polyCount" is the host's done and its
// "polyScan" the host's pointCount, which the stand-in host answers by failing the run.
#include "sdk/lwsdk.h"

#if defined(_WIN32)
#define TEST_EXPORT __declspec(dllexport)
#else
#define TEST_EXPORT __attribute__((visibility("default")))
#endif

namespace {

struct OwnOrderEditRecord {
    EDStateRef state;
    void (*done)(EDStateRef, EDError, int);
    int (*polyCount)(EDStateRef, EltOpLayer, int);
    EDError (*polyScan)(EDStateRef, EDPolyScanFunc*, void*, EltOpLayer);
};

EDError ignorePolygon(void*, const EDPolygonInfo*) {
    return 0;
}

void* startup() {
    return reinterpret_cast<void*>(std::uintptr_t{1});
}

int activate(int, GlobalFunc*, void* local, void*) {
    auto* begin = reinterpret_cast<MeshEditBegin*>(local);
    auto* edit = reinterpret_cast<OwnOrderEditRecord*>(begin(0, 0, 2));
    if (edit == nullptr) {
        return 3;
    }
    edit->polyCount(edit->state, 0, 1);
    edit->polyScan(edit->state, ignorePolygon, nullptr, 0);
    edit->done(edit->state, 0, 0);
    return 0;
}

const ServerRecord kServers[] = {
    {"MeshDataEdit", "OwnOrder", activate, nullptr},
    {nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

extern "C" TEST_EXPORT const ModuleDescriptor _mod_descrip = {
    kModuleSync, kModuleVersion, kModuleMachine, startup, nullptr, kServers,
};
