#pragma once

#include <cstdint>

#include "sdk/lwsdk.h"

namespace tarvel {

class RecordArena;

/// The polygon types the tool takes: faces, and the cages of subdivision surfaces ("PTCH", and
/// "SUBD", the Catmull-Clark cages of hosts from LightWave 9 on, whose control polygons are
/// plain polygons like a patch's). Curves, bones, metaballs and the rest are left alone.
constexpr bool isCapturedType(LWID type) {
    return type == kTypeFace || type == kTypePatch || type == kTypeSubdivision;
}

/// What the capture callback needs from the run that started the scan. Lives on the
/// activation's stack for the length of the scan.
struct CaptureContext {
    MeshEditOp* edit = nullptr;
    /// Where the records and their arrays go; lives as long as the run.
    RecordArena* records = nullptr;
    /// The most polygons the table takes: what polyCount reported.
    std::int32_t slotCount = 0;
    /// Slots allocated so far. The table grows as polygons come, up to slotCount, so that a
    /// count far above the polygons the layer holds costs nothing.
    std::int32_t allocated = 0;
    /// Set when a record could not be allocated; the run then ends as a failed edit.
    bool outOfMemory = false;
};

/// Frees polyTable as the capture made it, and sets it to null; nothing when it is null.
void freePolyTable() noexcept;

/// The scan callback handed to the host's polyScan, with a CaptureContext as user data.
/// Copies a selected polygon of a type the tool takes with its point identifiers, positions and
/// normal into a record in the context's arena, puts it in polyTable[unassignedCount], growing the
/// table, and counts it. Always returns 0 so that the
/// scan goes on, and never throws. Selected polygons beyond the table's slots are skipped, and so
/// is everything once memory has run out.
extern "C" EDError TARVEL_HOSTCALL capturePolygon(void* userData, const EDPolygonInfo* polygon);

}  // namespace tarvel
