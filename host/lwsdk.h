// The host modeller's plug-in interface, as far as this module uses it.
//
// This is the only file that knows the shapes of the host's records. The names are the host's
// own. Only the members the module calls are declared; the record layouts are those of our
// stand-in host. Building with TARVEL_HOST_SDK defined includes the vendor's headers instead.
#pragma once

#include <cstdint>

#ifdef TARVEL_HOST_SDK
#include <lwhost.h>
#include <lwmeshedt.h>
#include <lwmodule.h>
#include <lwserver.h>
#else

extern "C" {

/// Four-character code, first character in the most significant byte.
typedef std::uint32_t LWID;
#define LWID_(a, b, c, d)                                                                        \
    ((static_cast<LWID>(a) << 24) | (static_cast<LWID>(b) << 16) | (static_cast<LWID>(c) << 8) | \
     static_cast<LWID>(d))

/// Opaque host identifiers: compared for equality and handed back, never dereferenced.
typedef struct st_LWPnt* LWPntID;
typedef struct st_LWPol* LWPolID;

typedef int EDError;
typedef int EltOpLayer;
typedef int EltOpSelect;
typedef struct st_EDState* EDStateRef;

/// Global services: given a service name and a use mode, the service's record or null.
typedef void* GlobalFunc(const char* serviceName, int useMode);

/// The record of the global service "Info Messages 2".
typedef struct st_LWMessageFuncs {
    void (*info)(const char* line1, const char* line2);
    void (*error)(const char* line1, const char* line2);
    void (*warning)(const char* line1, const char* line2);
} LWMessageFuncs;

typedef struct st_EDPointInfo {
    LWPntID pnt;
    void* userData;
    int layer;
    int flags;
    double position[3];
} EDPointInfo;

/// Bit 0 of `flags` marks a selected polygon.
typedef struct st_EDPolygonInfo {
    LWPolID pol;
    void* userData;
    int layer;
    int flags;
    int numPnts;
    const LWPntID* points;
    const char* surface;
    LWID type;
} EDPolygonInfo;

/// Called once per polygon by `polyScan`; a result of 0 continues the scan.
typedef EDError EDPolyScanFunc(void* userData, const EDPolygonInfo* polygon);

typedef struct st_MeshEditOp {
    EDStateRef state;
    void (*done)(EDStateRef, EDError error, int selectionMode);
    int (*polyCount)(EDStateRef, EltOpLayer layer, int mode);
    EDError (*polyScan)(EDStateRef, EDPolyScanFunc* callback, void* userData, EltOpLayer layer);
    EDPointInfo* (*pointInfo)(EDStateRef, LWPntID point);
    int (*polyNormal)(EDStateRef, LWPolID polygon, double normal[3]);
    LWPolID (*addFace)(EDStateRef, const char* surface, int pointCount, const LWPntID* points);
    EDError (*remPoly)(EDStateRef, LWPolID polygon);
    EDError (*polTag)(EDStateRef, LWPolID polygon, LWID type, const char* text);
} MeshEditOp;

/// The edit-begin function handed to a "MeshDataEdit" server as its `local` argument.
typedef MeshEditOp* MeshEditBegin(int pointBuffer, int polygonBuffer, EltOpSelect selection);

typedef int ActivateFunc(int version, GlobalFunc* global, void* local, void* serverData);

typedef struct st_ServerTagInfo {
    const char* string;
    std::uint32_t tag;
} ServerTagInfo;

typedef struct st_ServerRecord {
    const char* className;
    const char* name;
    ActivateFunc* activate;
    const ServerTagInfo* tagInfo;
} ServerRecord;

/// What the host reads from the exported symbol `_mod_descrip` when it loads a module.
typedef struct st_ModuleDescriptor {
    std::uint32_t sysSync;
    std::uint32_t sysVersion;
    std::uint32_t sysMachine;
    void* (*startup)(void);
    void (*shutdown)(void* serverData);
    const ServerRecord* serverDefs;
} ModuleDescriptor;

}  // extern "C"

#endif  // TARVEL_HOST_SDK

/// Four-character codes the module and its hosts agree on.
inline constexpr LWID kTypeFace = LWID_('F', 'A', 'C', 'E');
inline constexpr LWID kTypePatch = LWID_('P', 'T', 'C', 'H');
inline constexpr LWID kTagColour = LWID_('C', 'O', 'L', 'R');

/// Module descriptor constants the host checks before it uses a module.
inline constexpr std::uint32_t kModuleSync = 0x04121994;
inline constexpr std::uint32_t kModuleVersion = 3;
inline constexpr std::uint32_t kModuleMachine = 0x300;
