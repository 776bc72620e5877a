// The host modeller's plug-in interface, as far as this module uses it.
//
// This is the only file that knows the shapes of the host's records. The names are the host's
// own. Only the members the module calls are declared; the record layouts are those of our
// stand-in host. Building with TARVEL_HOST_SDK defined includes the vendor's headers instead.
//
// The same records serve the 32-bit and the 64-bit Windows module and the stand-in host on
// Linux: identifiers and functions are pointer-sized, counts and flags are int, codes are 32-bit.
// The end of this file pins each record's size and member offsets for every target built.
#pragma once

#include <cstddef>
#include <cstdint>

/// The calling convention of every function the host and the module call in each other: on
/// 32-bit Windows the C convention (the caller removes the arguments), stated so that no
/// compiler default can change it; x86-64 has one convention per platform.
#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define TARVEL_HOSTCALL __cdecl
#else
#define TARVEL_HOSTCALL
#endif

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
typedef void* TARVEL_HOSTCALL GlobalFunc(const char* serviceName, int useMode);

/// The record of the global service "Info Messages 2".
typedef struct st_LWMessageFuncs {
    void(TARVEL_HOSTCALL* info)(const char* line1, const char* line2);
    void(TARVEL_HOSTCALL* error)(const char* line1, const char* line2);
    void(TARVEL_HOSTCALL* warning)(const char* line1, const char* line2);
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
typedef EDError TARVEL_HOSTCALL EDPolyScanFunc(void* userData, const EDPolygonInfo* polygon);

typedef struct st_MeshEditOp {
    EDStateRef state;
    void(TARVEL_HOSTCALL* done)(EDStateRef, EDError error, int selectionMode);
    int(TARVEL_HOSTCALL* polyCount)(EDStateRef, EltOpLayer layer, int mode);
    EDError(TARVEL_HOSTCALL* polyScan)(EDStateRef, EDPolyScanFunc* callback, void* userData,
                                       EltOpLayer layer);
    EDPointInfo*(TARVEL_HOSTCALL* pointInfo)(EDStateRef, LWPntID point);
    int(TARVEL_HOSTCALL* polyNormal)(EDStateRef, LWPolID polygon, double normal[3]);
    LWPolID(TARVEL_HOSTCALL* addFace)(EDStateRef, const char* surface, int pointCount,
                                      const LWPntID* points);
    EDError(TARVEL_HOSTCALL* remPoly)(EDStateRef, LWPolID polygon);
    EDError(TARVEL_HOSTCALL* polTag)(EDStateRef, LWPolID polygon, LWID type, const char* text);
} MeshEditOp;

/// The edit-begin function handed to a "MeshDataEdit" server as its `local` argument.
typedef MeshEditOp* TARVEL_HOSTCALL MeshEditBegin(int pointBuffer, int polygonBuffer,
                                                  EltOpSelect selection);

typedef int TARVEL_HOSTCALL ActivateFunc(int version, GlobalFunc* global, void* local,
                                         void* serverData);

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
    void*(TARVEL_HOSTCALL* startup)(void);
    void(TARVEL_HOSTCALL* shutdown)(void* serverData);
    const ServerRecord* serverDefs;
} ModuleDescriptor;

}  // extern "C"

// The layouts both sides of the boundary must agree on, per target: TARVEL_HOST_LAYOUT(a, b, c)
// is a on 32-bit Windows, b on 64-bit Windows and c on 64-bit Linux (the stand-in host's
// native build). On 32-bit Windows pointers and int take 4 bytes and a double is aligned to 8;
// on both 64-bit targets pointers take 8 and int 4, so a pointer after an odd number of 32-bit
// members, or after the descriptor's three 32-bit words, starts after 4 bytes of padding.
#if defined(_WIN32) && (defined(__i386__) || defined(_M_IX86))
#define TARVEL_HOST_LAYOUT(windows32, windows64, linux64) (windows32)
#elif defined(_WIN64) && (defined(__x86_64__) || defined(_M_X64))
#define TARVEL_HOST_LAYOUT(windows32, windows64, linux64) (windows64)
#elif defined(__linux__) && defined(__x86_64__)
#define TARVEL_HOST_LAYOUT(windows32, windows64, linux64) (linux64)
#endif

#ifdef TARVEL_HOST_LAYOUT
#define TARVEL_PIN_SIZE(record, w32, w64, l64) \
    static_assert(sizeof(record) == TARVEL_HOST_LAYOUT(w32, w64, l64), "size of " #record)
#define TARVEL_PIN_MEMBER(record, member, w32, w64, l64)                         \
    static_assert(offsetof(record, member) == TARVEL_HOST_LAYOUT(w32, w64, l64), \
                  "offset of " #record "::" #member)

TARVEL_PIN_SIZE(LWID, 4, 4, 4);
TARVEL_PIN_SIZE(LWPntID, 4, 8, 8);
TARVEL_PIN_SIZE(EDError, 4, 4, 4);

TARVEL_PIN_SIZE(LWMessageFuncs, 12, 24, 24);
TARVEL_PIN_MEMBER(LWMessageFuncs, info, 0, 0, 0);
TARVEL_PIN_MEMBER(LWMessageFuncs, error, 4, 8, 8);
TARVEL_PIN_MEMBER(LWMessageFuncs, warning, 8, 16, 16);

TARVEL_PIN_SIZE(EDPointInfo, 40, 48, 48);
TARVEL_PIN_MEMBER(EDPointInfo, pnt, 0, 0, 0);
TARVEL_PIN_MEMBER(EDPointInfo, userData, 4, 8, 8);
TARVEL_PIN_MEMBER(EDPointInfo, layer, 8, 16, 16);
TARVEL_PIN_MEMBER(EDPointInfo, flags, 12, 20, 20);
TARVEL_PIN_MEMBER(EDPointInfo, position, 16, 24, 24);

TARVEL_PIN_SIZE(EDPolygonInfo, 32, 56, 56);
TARVEL_PIN_MEMBER(EDPolygonInfo, pol, 0, 0, 0);
TARVEL_PIN_MEMBER(EDPolygonInfo, userData, 4, 8, 8);
TARVEL_PIN_MEMBER(EDPolygonInfo, layer, 8, 16, 16);
TARVEL_PIN_MEMBER(EDPolygonInfo, flags, 12, 20, 20);
TARVEL_PIN_MEMBER(EDPolygonInfo, numPnts, 16, 24, 24);
TARVEL_PIN_MEMBER(EDPolygonInfo, points, 20, 32, 32);
TARVEL_PIN_MEMBER(EDPolygonInfo, surface, 24, 40, 40);
TARVEL_PIN_MEMBER(EDPolygonInfo, type, 28, 48, 48);

TARVEL_PIN_SIZE(MeshEditOp, 36, 72, 72);
TARVEL_PIN_MEMBER(MeshEditOp, state, 0, 0, 0);
TARVEL_PIN_MEMBER(MeshEditOp, done, 4, 8, 8);
TARVEL_PIN_MEMBER(MeshEditOp, polyCount, 8, 16, 16);
TARVEL_PIN_MEMBER(MeshEditOp, polyScan, 12, 24, 24);
TARVEL_PIN_MEMBER(MeshEditOp, pointInfo, 16, 32, 32);
TARVEL_PIN_MEMBER(MeshEditOp, polyNormal, 20, 40, 40);
TARVEL_PIN_MEMBER(MeshEditOp, addFace, 24, 48, 48);
TARVEL_PIN_MEMBER(MeshEditOp, remPoly, 28, 56, 56);
TARVEL_PIN_MEMBER(MeshEditOp, polTag, 32, 64, 64);

TARVEL_PIN_SIZE(ServerTagInfo, 8, 16, 16);
TARVEL_PIN_MEMBER(ServerTagInfo, string, 0, 0, 0);
TARVEL_PIN_MEMBER(ServerTagInfo, tag, 4, 8, 8);

TARVEL_PIN_SIZE(ServerRecord, 16, 32, 32);
TARVEL_PIN_MEMBER(ServerRecord, className, 0, 0, 0);
TARVEL_PIN_MEMBER(ServerRecord, name, 4, 8, 8);
TARVEL_PIN_MEMBER(ServerRecord, activate, 8, 16, 16);
TARVEL_PIN_MEMBER(ServerRecord, tagInfo, 12, 24, 24);

// Three 32-bit words, then three pointers.
TARVEL_PIN_SIZE(ModuleDescriptor, 24, 40, 40);
TARVEL_PIN_MEMBER(ModuleDescriptor, sysSync, 0, 0, 0);
TARVEL_PIN_MEMBER(ModuleDescriptor, sysVersion, 4, 4, 4);
TARVEL_PIN_MEMBER(ModuleDescriptor, sysMachine, 8, 8, 8);
TARVEL_PIN_MEMBER(ModuleDescriptor, startup, 12, 16, 16);
TARVEL_PIN_MEMBER(ModuleDescriptor, shutdown, 16, 24, 24);
TARVEL_PIN_MEMBER(ModuleDescriptor, serverDefs, 20, 32, 32);

#undef TARVEL_PIN_SIZE
#undef TARVEL_PIN_MEMBER
#endif  // TARVEL_HOST_LAYOUT

#endif  // TARVEL_HOST_SDK

/// Four-character codes the module and its hosts agree on.
inline constexpr LWID kTypeFace = LWID_('F', 'A', 'C', 'E');
inline constexpr LWID kTypePatch = LWID_('P', 'T', 'C', 'H');
inline constexpr LWID kTagColour = LWID_('C', 'O', 'L', 'R');

/// Module descriptor constants the host checks before it uses a module.
inline constexpr std::uint32_t kModuleSync = 0x04121994;
inline constexpr std::uint32_t kModuleVersion = 3;
inline constexpr std::uint32_t kModuleMachine = 0x300;
