// The mesh the stand-in host edits and the file readers fill: points and polygons.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "mesh/point_ids.h"
#include "sdk/lwsdk.h"
#include "sdk/polygon_flags.h"

namespace tarvel::standin {

/// A position or direction in model units: x, y, z.
using Point = std::array<double, 3>;

struct PolygonTag {
    LWID type;
    std::string value;
};

struct Polygon {
    /// Point identifiers (indices into Mesh::points) in the polygon's order. Any length, 0
    /// included; an identifier may repeat. Every identifier names an existing point.
    PointIds points;
    LWID type = kTypeFace;
    /// The polygon's flags as EDPolygonInfo has them: kPolygonSelected when selected.
    int flags = kPolygonSelected;
    /// True once the edit removed the polygon. It keeps its slot so that identifiers stay put.
    bool removed = false;
    /// What polyNormal reports for this polygon; without it the host computes the normal.
    std::optional<Point> normal;
    std::string surface = "Default";
    /// At most one tag per type, in the order the types were first set.
    std::vector<PolygonTag> tags;
};

struct Mesh {
    /// Point i has the identifier i.
    std::vector<Point> points;
    /// Polygon j has the identifier j; polygons added by an edit are appended.
    std::vector<Polygon> polygons;
};

/// The tag value of `type` on `polygon`, or null when it has none.
const std::string* findTag(const Polygon& polygon, LWID type);

/// A four-character code as text, first character from the most significant byte.
std::string fourCharacterText(LWID code);

}  // namespace tarvel::standin
