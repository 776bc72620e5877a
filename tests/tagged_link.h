// A link as the module adds one, for the mesh file tests' edits.
#pragma once

#include <cstdint>
#include <string>

#include "mesh/mesh.h"

namespace tarvel::testing {

/// An unselected two-point polygon from `from` to `to`, of the surface "test", tagged with the
/// colour `colour`.
inline standin::Polygon taggedLink(std::int32_t from, std::int32_t to, const std::string& colour) {
    standin::Polygon polygon;
    polygon.points = {from, to};
    polygon.surface = "test";
    polygon.flags = 0;
    polygon.tags.push_back(standin::PolygonTag{kTagColour, colour});
    return polygon;
}

}  // namespace tarvel::testing
