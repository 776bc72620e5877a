#include "host/polygon_capture.h"

#include <algorithm>
#include <cassert>
#include <new>

#include "host/run_state.h"
#include "runtime/record_arena.h"
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

/// Doubles the table's slots, up to the count the host reported.
void growTable(CaptureContext& context) {
    const std::int32_t grown = context.allocated > context.slotCount / 2
                                   ? context.slotCount
                                   : std::max(context.allocated * 2, 1024);
    auto* table = new SelectedPoly*[static_cast<std::size_t>(std::min(grown, context.slotCount))];
    std::copy(polyTable, polyTable + unassignedCount, table);
    delete[] polyTable;
    polyTable = table;
    context.allocated = std::min(grown, context.slotCount);
}

}  // namespace

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
