#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "geometry/vector3.h"
#include "runtime/record_arena.h"
#include "runtime/selected_poly.h"

namespace tarvel::testing {

/// Where the tests' polygons live, as a run's do in its arena; freed when the program ends.
inline RecordArena& testRecords() {
    static RecordArena arena;
    return arena;
}

/// A host point identifier for point number i (never null, as the host's are not).
inline LWPntID pointId(std::uintptr_t i) {
    return reinterpret_cast<LWPntID>(i + 1);
}

/// A captured polygon, built as the capture would: ids, positions and the host's normal, in
/// the tests' arena.
inline SelectedPoly* makePoly(std::initializer_list<int> ids, std::initializer_list<Vector3> at,
                              Vector3 normal = {0.0, 0.0, 1.0}) {
    auto* poly = testRecords().create<SelectedPoly>();
    poly->pointCount = static_cast<std::int32_t>(ids.size());
    poly->pointIds = testRecords().array<LWPntID>(ids.size());
    poly->positions = testRecords().array<Vector3>(ids.size());
    std::size_t i = 0;
    for (int id : ids) {
        poly->pointIds[i++] = pointId(static_cast<std::uintptr_t>(id));
    }
    i = 0;
    for (const Vector3& p : at) {
        poly->positions[i++] = p;
    }
    poly->normal = normal;
    return poly;
}

/// A unit quad in the plane z = height, lower-left corner at (x, y), with point ids
/// first..first+3 counter-clockwise seen from +z.
inline SelectedPoly* unitQuad(int first, double x, double y, double height, Vector3 normal) {
    return makePoly(
        {first, first + 1, first + 2, first + 3},
        {{x, y, height}, {x + 1, y, height}, {x + 1, y + 1, height}, {x, y + 1, height}}, normal);
}

}  // namespace tarvel::testing
