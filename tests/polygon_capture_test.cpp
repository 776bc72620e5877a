#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "host/polygon_capture.h"
#include "host/run_state.h"
#include "runtime/record_arena.h"
#include "runtime/selected_poly.h"
#include "sdk/polygon_flags.h"

namespace tarvel {
namespace {

LWPntID handle(std::uintptr_t i) {
    return reinterpret_cast<LWPntID>(i);
}

/// A host that describes point k as (k, 10 k, -k), except point 2, which it cannot describe,
/// and reports the normal (0.5, 0, -2) for every polygon.
EDPointInfo* TARVEL_HOSTCALL describePoint(EDStateRef, LWPntID point) {
    static EDPointInfo info{};
    const auto k = reinterpret_cast<std::uintptr_t>(point);
    if (k == 2) {
        return nullptr;
    }
    info = EDPointInfo{point, nullptr, 0, 0, {double(k), 10.0 * double(k), -double(k)}};
    return &info;
}

int TARVEL_HOSTCALL reportNormal(EDStateRef, LWPolID, double normal[3]) {
    normal[0] = 0.5;
    normal[1] = 0.0;
    normal[2] = -2.0;
    return 1;
}

TEST(PolygonCaptureTest, everyEntryIsWrittenOnceAndAnUndescribedPointLiesAtTheOrigin) {
    // The arena's first block from memory that held something else: the capture does not
    // clear its arrays, so every entry must be written.
    {
        void* used = ::operator new (std::size_t{64} << 10);
        std::memset(used, 0xA5, std::size_t{64} << 10);
        ::operator delete(used);
    }
    MeshEditOp edit{};
    edit.pointInfo = describePoint;
    edit.polyNormal = reportNormal;
    RecordArena records;
    CaptureContext context{&edit, &records, 4, 0, false};
    polyTable = nullptr;
    unassignedCount = 0;

    const std::vector<LWPntID> quad{handle(1), handle(2), handle(3), handle(4)};
    const std::vector<LWPntID> triangle{handle(7), handle(7), handle(2)};
    const auto polygon = [](std::uintptr_t id, const std::vector<LWPntID>& points, int flags,
                            LWID type) {
        return EDPolygonInfo{reinterpret_cast<LWPolID>(id),   nullptr,       0,         flags,
                             static_cast<int>(points.size()), points.data(), "Default", type};
    };
    const EDPolygonInfo scanned[] = {polygon(10, quad, kPolygonSelected, kTypeFace),
                                     polygon(11, quad, 0, kTypeFace),  // not selected
                                     polygon(12, triangle, 3, kTypePatch),
                                     polygon(13, quad, 1, LWID_('C', 'U', 'R', 'V')),
                                     polygon(14, triangle, 1, kTypeSubdivision)};
    for (const EDPolygonInfo& info : scanned) {
        EXPECT_EQ(capturePolygon(&context, &info), 0);
    }
    // Faces, patches and subdivision cages; not the curve.
    ASSERT_EQ(unassignedCount, 3);
    EXPECT_EQ(polyTable[2]->polygonId, reinterpret_cast<LWPolID>(14));
    ASSERT_FALSE(context.outOfMemory);

    const SelectedPoly& first = *polyTable[0];
    EXPECT_EQ(first.polygonId, reinterpret_cast<LWPolID>(10));
    ASSERT_EQ(first.pointCount, 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(first.pointIds[i], quad[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(first.positions[0], Vector3(1.0, 10.0, -1.0));
    EXPECT_EQ(first.positions[1], Vector3(0.0, 0.0, 0.0));  // point 2: no description
    EXPECT_EQ(first.positions[2], Vector3(3.0, 30.0, -3.0));
    EXPECT_EQ(first.positions[3], Vector3(4.0, 40.0, -4.0));
    EXPECT_EQ(first.normal, Vector3(0.5, 0.0, -2.0));
    EXPECT_EQ(first.nextMember, nullptr);

    const SelectedPoly& second = *polyTable[1];
    ASSERT_EQ(second.pointCount, 3);
    EXPECT_EQ(second.pointIds[2], handle(2));
    EXPECT_EQ(second.positions[0], Vector3(7.0, 70.0, -7.0));
    EXPECT_EQ(second.positions[1], Vector3(7.0, 70.0, -7.0));
    EXPECT_EQ(second.positions[2], Vector3(0.0, 0.0, 0.0));

    freePolyTable();
    unassignedCount = 0;
}

}  // namespace
}  // namespace tarvel
