// Which polygons a run of `tarvel run` selects.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "standin/scene.h"

namespace tarvelhost {

/// Polygon indices from `first` to `last`, both included; without `last`, to the end.
struct IndexRange {
    std::size_t first = 0;
    std::optional<std::size_t> last;
};

/// Reads a list such as "0-99,150,200-": indices and ranges separated by commas, blanks
/// allowed around each. Throws standin::InputError naming `option` for an empty list or item,
/// a number that is not a whole non-negative number, and a range that ends before it starts.
std::vector<IndexRange> parseIndexRanges(std::string_view text, const std::string& option);

/// What selects a polygon; a polygon must match every rule given. No rule selects them all.
struct SelectionRules {
    /// The polygon's surface.
    std::optional<std::string> surface;
    /// The polygon's "PART" tag: the part of an LWO2 polygon, the group of an OBJ element.
    std::optional<std::string> part;
    /// The polygon's index in the layer (LWO2) or among the file's elements (OBJ), from 0.
    std::optional<std::vector<IndexRange>> polygons;
};

/// Sets bit 0 of the flags of every polygon of `mesh` that the rules select and clears it on
/// the others. Returns the number selected.
std::size_t applySelection(standin::Mesh& mesh, const SelectionRules& rules);

}  // namespace tarvelhost
