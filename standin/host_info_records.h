// The point and polygon records as a host of LightWave 2019 and later hands them out: the
// records the module reads (sdk/lwsdk.h) with the members later releases append. The stand-in
// host gives its plug-ins records of this size, so that a plug-in that assumed a shorter record
// and wrote into it, or a host that handed out a shorter one, would show.
#pragma once

#include <cstddef>

#include "sdk/lwsdk.h"

namespace tarvel::standin {

struct HostPointInfo {
    LWPntID pnt;
    void* userData;
    int layer;
    int flags;
    double position[3];
    float* vmapVec;
    int numEdges;
    const void* edges;
    void* meshid;
};

struct HostPolygonInfo {
    LWPolID pol;
    void* userData;
    int layer;
    int flags;
    int numPnts;
    const LWPntID* points;
    const char* surface;
    LWID type;
    int typeFlags;
    unsigned int smGrps;
    void* meshid;
};

/// A host record seen as the record the module reads, which is its leading part.
union PointInfoRecord {
    EDPointInfo prefix;
    HostPointInfo whole;
};

union PolygonInfoRecord {
    EDPolygonInfo prefix;
    HostPolygonInfo whole;
};

#ifdef TARVEL_HOST_LAYOUT
static_assert(sizeof(HostPointInfo) == TARVEL_HOST_LAYOUT(56, 80, 80));
static_assert(offsetof(HostPointInfo, vmapVec) == sizeof(EDPointInfo));
static_assert(offsetof(HostPointInfo, meshid) == TARVEL_HOST_LAYOUT(52, 72, 72));
static_assert(sizeof(HostPolygonInfo) == TARVEL_HOST_LAYOUT(44, 72, 72));
// On 64-bit targets typeFlags takes the 4 bytes that pad the shorter record.
static_assert(offsetof(HostPolygonInfo, typeFlags) == TARVEL_HOST_LAYOUT(32, 52, 52));
static_assert(offsetof(HostPolygonInfo, meshid) == TARVEL_HOST_LAYOUT(40, 64, 64));
#endif

}  // namespace tarvel::standin
