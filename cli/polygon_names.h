// The names a mesh's polygons bear, with how many bear each: what a selection can name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/mesh.h"

namespace tarvel::cli {

struct NameCount {
    std::string name;
    std::size_t polygons = 0;
};

struct PolygonNames {
    /// Each list in the order the names first appear.
    std::vector<NameCount> surfaces;
    /// The "PART" tags: LWO2 parts, OBJ groups.
    std::vector<NameCount> parts;
    /// The "SMGP" tags, by number.
    std::vector<NameCount> smoothingGroups;
};

/// How a "PART" tag names parts: as one name (a LightWave part, which may hold spaces), or as
/// names between spaces (the groups of an OBJ `g` statement, which cannot).
enum class PartNames { whole, words };

/// The part names of the "PART" tag `tag`.
std::vector<std::string_view> partNamesOf(std::string_view tag, PartNames how);

PolygonNames polygonNames(const standin::Mesh& mesh, PartNames how = PartNames::whole);

/// "Floor (16), Ceiling (9)", or "none"; past `shown` names, "... and N more".
std::string listNames(const std::vector<NameCount>& names, std::size_t shown = 20);

}  // namespace tarvel::cli
