// Boundary point lists for the tests of the boundary stages: lists built from positions or
// from angles, and the point numbers of a list.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "boundary/boundary_point.h"
#include "geometry/vector3.h"
#include "tests/fixtures.h"

namespace tarvel::testing {

/// The point numbers of a list, in list order.
inline std::vector<int> ids(const BoundaryPoint* entry) {
    std::vector<int> out;
    for (; entry != nullptr; entry = entry->next) {
        out.push_back(static_cast<int>(reinterpret_cast<std::uintptr_t>(entry->pointId) - 1));
    }
    return out;
}

/// A list of points at the given positions (ids 0, 1, ...), positions owned alongside.
struct Loop {
    explicit Loop(std::vector<Vector3> at) : positions(std::move(at)) {
        BoundaryPoint** link = &head;
        for (std::size_t i = 0; i < positions.size(); ++i) {
            *link = new BoundaryPoint;
            (*link)->position = &positions[i];
            (*link)->pointId = pointId(i);
            link = &(*link)->next;
        }
    }
    ~Loop() { delete head; }
    std::vector<Vector3> positions;
    BoundaryPoint* head = nullptr;
};

/// A sorted list with the given angles, positions unused.
struct Angles {
    explicit Angles(std::vector<double> angles, int firstId = 0) {
        BoundaryPoint** link = &head;
        for (double a : angles) {
            *link = new BoundaryPoint;
            (*link)->angle = a;
            (*link)->pointId = pointId(static_cast<std::uintptr_t>(firstId++));
            link = &(*link)->next;
        }
    }
    ~Angles() { delete head; }
    BoundaryPoint* at(int i) const {
        BoundaryPoint* e = head;
        while (i-- > 0) {
            e = e->next;
        }
        return e;
    }
    BoundaryPoint* head = nullptr;
};

}  // namespace tarvel::testing
