// The host modeller's plug-in interface, as far as this module uses it.
//
// This is the only file that knows the shapes of the host's records. The names are the host's
// own, and so are the layouts: each record below is the host's published one, or the leading
// part of it that every release shares (the host only ever appends members). They are taken
// from the published interface of LightWave 6.0 through 2023 (the edit record of class version
// 4 through 9); the end of this file pins every size and offset for every target built, so a
// member dropped or moved stops the build.
//
// The same records serve the 32-bit and the 64-bit Windows module and the stand-in host on
// Linux: identifiers and functions are pointer-sized, counts and flags are int, codes are 32-bit.
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

/// A point as the host describes it: the members every release has. Later releases append
/// `vmapVec`, `numEdges`, `edges` and `meshid`, which the module never reads.
typedef struct st_EDPointInfo {
    LWPntID pnt;
    void* userData;
    int layer;
    int flags;
    double position[3];
} EDPointInfo;

/// A polygon as the host describes it; bit 0 of `flags` marks a selected polygon. Later releases
/// append `typeFlags`, `smGrps` and `meshid`, which the module never reads.
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

/// A member of the edit record that this tool never calls. Only its place matters here: the
/// host's own signature is left out, and a host fills the slot with whatever it offers.
typedef void(TARVEL_HOSTCALL* EDUncalledFunc)(void);

/// The edit record "MeshDataEdit" servers work through. Every member up to `pntVPMap` is
/// declared, in the host's order, so that each one the module calls sits where the host put it;
/// hosts from LightWave 9 on append more, which the module never reads.
typedef struct st_MeshEditOp {
    EDStateRef state;
    /// The layer the edit works in; 4 bytes of padding follow it on 64-bit targets.
    int layerNum;
    void(TARVEL_HOSTCALL* done)(EDStateRef, EDError error, int selectionMode);
    EDUncalledFunc pointCount;
    int(TARVEL_HOSTCALL* polyCount)(EDStateRef, EltOpLayer layer, int mode);
    EDUncalledFunc pointScan;
    EDError(TARVEL_HOSTCALL* polyScan)(EDStateRef, EDPolyScanFunc* callback, void* userData,
                                       EltOpLayer layer);
    EDPointInfo*(TARVEL_HOSTCALL* pointInfo)(EDStateRef, LWPntID point);
    EDUncalledFunc polyInfo;
    int(TARVEL_HOSTCALL* polyNormal)(EDStateRef, LWPolID polygon, double normal[3]);
    EDUncalledFunc addPoint;
    LWPolID(TARVEL_HOSTCALL* addFace)(EDStateRef, const char* surface, int pointCount,
                                      const LWPntID* points);
    EDUncalledFunc addCurve;
    EDUncalledFunc addQuad;
    EDUncalledFunc addTri;
    EDUncalledFunc addPatch;
    EDUncalledFunc remPoint;
    EDError(TARVEL_HOSTCALL* remPoly)(EDStateRef, LWPolID polygon);
    EDUncalledFunc pntMove;
    EDUncalledFunc polSurf;
    EDUncalledFunc polPnts;
    EDUncalledFunc polFlag;
    EDError(TARVEL_HOSTCALL* polTag)(EDStateRef, LWPolID polygon, LWID type, const char* text);
    EDUncalledFunc pntVMap;
    EDUncalledFunc addPoly;
    EDUncalledFunc addIPnt;
    EDUncalledFunc initUV;
    EDUncalledFunc pointVSet;
    EDUncalledFunc pointVGet;
    EDUncalledFunc polyTag;
    EDUncalledFunc pntSelect;
    EDUncalledFunc polSelect;
    EDUncalledFunc pointVPGet;
    EDUncalledFunc pointVEval;
    EDUncalledFunc pntVPMap;
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

// The edit record through pntVPMap: a pointer, the layer number (padded to a pointer on
// 64-bit targets), then one function pointer after another.
TARVEL_PIN_SIZE(MeshEditOp, 140, 280, 280);
TARVEL_PIN_MEMBER(MeshEditOp, state, 0, 0, 0);
TARVEL_PIN_MEMBER(MeshEditOp, layerNum, 4, 8, 8);
TARVEL_PIN_MEMBER(MeshEditOp, done, 8, 16, 16);
TARVEL_PIN_MEMBER(MeshEditOp, pointCount, 12, 24, 24);
TARVEL_PIN_MEMBER(MeshEditOp, polyCount, 16, 32, 32);
TARVEL_PIN_MEMBER(MeshEditOp, pointScan, 20, 40, 40);
TARVEL_PIN_MEMBER(MeshEditOp, polyScan, 24, 48, 48);
TARVEL_PIN_MEMBER(MeshEditOp, pointInfo, 28, 56, 56);
TARVEL_PIN_MEMBER(MeshEditOp, polyInfo, 32, 64, 64);
TARVEL_PIN_MEMBER(MeshEditOp, polyNormal, 36, 72, 72);
TARVEL_PIN_MEMBER(MeshEditOp, addPoint, 40, 80, 80);
TARVEL_PIN_MEMBER(MeshEditOp, addFace, 44, 88, 88);
TARVEL_PIN_MEMBER(MeshEditOp, addCurve, 48, 96, 96);
TARVEL_PIN_MEMBER(MeshEditOp, addQuad, 52, 104, 104);
TARVEL_PIN_MEMBER(MeshEditOp, addTri, 56, 112, 112);
TARVEL_PIN_MEMBER(MeshEditOp, addPatch, 60, 120, 120);
TARVEL_PIN_MEMBER(MeshEditOp, remPoint, 64, 128, 128);
TARVEL_PIN_MEMBER(MeshEditOp, remPoly, 68, 136, 136);
TARVEL_PIN_MEMBER(MeshEditOp, pntMove, 72, 144, 144);
TARVEL_PIN_MEMBER(MeshEditOp, polSurf, 76, 152, 152);
TARVEL_PIN_MEMBER(MeshEditOp, polPnts, 80, 160, 160);
TARVEL_PIN_MEMBER(MeshEditOp, polFlag, 84, 168, 168);
TARVEL_PIN_MEMBER(MeshEditOp, polTag, 88, 176, 176);
TARVEL_PIN_MEMBER(MeshEditOp, pntVMap, 92, 184, 184);
TARVEL_PIN_MEMBER(MeshEditOp, addPoly, 96, 192, 192);
TARVEL_PIN_MEMBER(MeshEditOp, addIPnt, 100, 200, 200);
TARVEL_PIN_MEMBER(MeshEditOp, initUV, 104, 208, 208);
TARVEL_PIN_MEMBER(MeshEditOp, pointVSet, 108, 216, 216);
TARVEL_PIN_MEMBER(MeshEditOp, pointVGet, 112, 224, 224);
TARVEL_PIN_MEMBER(MeshEditOp, polyTag, 116, 232, 232);
TARVEL_PIN_MEMBER(MeshEditOp, pntSelect, 120, 240, 240);
TARVEL_PIN_MEMBER(MeshEditOp, polSelect, 124, 248, 248);
TARVEL_PIN_MEMBER(MeshEditOp, pointVPGet, 128, 256, 256);
TARVEL_PIN_MEMBER(MeshEditOp, pointVEval, 132, 264, 264);
TARVEL_PIN_MEMBER(MeshEditOp, pntVPMap, 136, 272, 272);
// Where the members the module calls end: every release from 6.0 on has them there.
static_assert(offsetof(MeshEditOp, polTag) + sizeof(void*) == TARVEL_HOST_LAYOUT(92, 184, 184),
              "the edit record up to polTag");

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

/// Four-character codes the module and its hosts agree on.
inline constexpr LWID kTypeFace = LWID_('F', 'A', 'C', 'E');
inline constexpr LWID kTypePatch = LWID_('P', 'T', 'C', 'H');
/// Catmull-Clark subdivision cages, a polygon type of hosts from LightWave 9 on.
inline constexpr LWID kTypeSubdivision = LWID_('S', 'U', 'B', 'D');
inline constexpr LWID kTagColour = LWID_('C', 'O', 'L', 'R');

/// Module descriptor constants the host checks before it uses a module.
inline constexpr std::uint32_t kModuleSync = 0x04121994;
inline constexpr std::uint32_t kModuleVersion = 3;
inline constexpr std::uint32_t kModuleMachine = 0x300;
