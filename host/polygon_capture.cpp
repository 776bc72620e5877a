#include "host/polygon_capture.h"

#include <algorithm>
#include <cassert>
#include <new>

#include "host/run_state.h"
#include "runtime/record_arena.h"
#include "runtime/resident_memory.h"
#include "runtime/selected_poly.h"
#include "sdk/polygon_flags.h"

namespace tarvel {

namespace {

SelectedPoly* copyPolygon(const MeshEditOp& edit, const EDPolygonInfo& info, RecordArena& records) {
    // A negative count, or a count without identifiers, is read as an empty polygon.
    const int n = info.numPnts > 0 && info.points != nullptr ? info.numPnts : 0;
    // The arrays first: should one fail, the record never was. Each entry is made once, with
    // its value, below.
    auto* positions = records.room<Vector3>(static_cast<std::size_t>(n));
    auto* pointIds = records.room<LWPntID>(static_cast<std::size_t>(n));
    auto* poly = records.create<SelectedPoly>();
    poly->polygonId = info.pol;
    poly->pointCount = n;
    poly->pointIds = pointIds;
    poly->positions = positions;
    for (int i = 0; i < n; ++i) {
        const LWPntID id = info.points[i];
        new (&pointIds[i]) LWPntID(id);
        // A point the host cannot describe has the position (0, 0, 0).
        const EDPointInfo* point = edit.pointInfo(edit.state, id);
        new (&positions[i]) Vector3(
            point != nullptr ? Vector3(point->position[0], point->position[1], point->position[2])
                             : Vector3());
    }
    double normal[3] = {0.0, 0.0, 0.0};
    edit.polyNormal(edit.state, info.pol, normal);
    poly->normal = {normal[0], normal[1], normal[2]};
    return poly;
}

/// The slots polyTable was made with, which freeing it needs; 0 while there is no table.
std::size_t tableSlots = 0;

/// Doubles the table's slots, up to the count the host reported. A large table is a large
/// block, taken in at once in large pages: a table of a million slots taken in page by page
/// costs more than the scan's own work in it.
void growTable(CaptureContext& context) {
    const std::int32_t grown = context.allocated > context.slotCount / 2
                                   ? context.slotCount
                                   : std::max(context.allocated * 2, 1024);
    const auto slots = static_cast<std::size_t>(std::min(grown, context.slotCount));
    ResidentArray<SelectedPoly*> table = newResidentArray<SelectedPoly*>(slots);
    std::copy(polyTable, polyTable + unassignedCount, table.get());
    freePolyTable();
    polyTable = table.release();
    tableSlots = slots;
    context.allocated = std::min(grown, context.slotCount);
}

}  // namespace

void freePolyTable() noexcept {
    if (polyTable != nullptr) {
        const ResidentArrayRelease<SelectedPoly*> release(tableSlots);
        release(polyTable);
    }
    polyTable = nullptr;
    tableSlots = 0;
}

extern "C" EDError TARVEL_HOSTCALL capturePolygon(void* userData, const EDPolygonInfo* polygon) {
    auto* context = static_cast<CaptureContext*>(userData);
    if (polygon == nullptr || !isCapturedType(polygon->type)) {
        return 0;
    }
    if ((polygon->flags & kPolygonSelected) == 0) {
        return 0;
    }
    if (context->outOfMemory || unassignedCount >= context->slotCount) {
        return 0;
    }
    try {
        if (unassignedCount == context->allocated) {
            growTable(*context);
        }
        assert(unassignedCount < context->allocated);
        // The record goes into its slot only once it is complete.
        polyTable[unassignedCount] = copyPolygon(*context->edit, *polygon, *context->records);
        ++unassignedCount;
    } catch (const std::bad_alloc&) {
        context->outOfMemory = true;
    }
    return 0;
}

}  // namespace tarvel
