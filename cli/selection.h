// Which polygons a run of `tarvel run` selects.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/polygon_names.h"
#include "mesh/mesh.h"

namespace tarvel::cli {

/// Polygon indices from `first` to `last`, both included; without `last`, to the end.
struct IndexRange {
    std::size_t first = 0;
    std::optional<std::size_t> last;
};

/// Reads a list such as "0-99,150,200-": indices and ranges separated by commas, blanks
/// allowed around each. Throws UsageError naming `option` for an empty list or item, a number
/// that is not a whole non-negative number, and a range that ends before it starts.
std::vector<IndexRange> parseIndexRanges(std::string_view text, const std::string& option);

/// What selects a polygon. Within a kind a polygon matches when it bears any of the names
/// given; it must match every kind given.
struct SelectionRules {
    /// Every FACE, PTCH and SUBD polygon (the kinds the tool takes); excludes the other rules.
    bool all = false;
    /// Surface names.
    std::vector<std::string> surfaces;
    /// "PART" tags: the part of an LWO2 polygon, the group of an OBJ element.
    std::vector<std::string> parts;
    /// Polygon indices in the layer (LWO2) or among the file's elements (OBJ), from 0; the
    /// union of the lists given.
    std::vector<IndexRange> polygons;

    /// Whether any rule is given.
    bool given() const { return all || !surfaces.empty() || !parts.empty() || !polygons.empty(); }
};

/// Refuses, before anything runs, rules that cannot express what the user meant on `mesh`
/// (read from the file named `name`): no rule at all (the message lists the surfaces and
/// parts there are and names --all), a surface or part no polygon bears (listing those that
/// exist), and a polygon number beyond the polygons there are. Throws UsageError.
void checkSelection(const standin::Mesh& mesh, const SelectionRules& rules, const std::string& name,
                    PartNames partNames = PartNames::whole);

/// Sets bit 0 of the flags of every polygon of `mesh` that the rules select and clears it on
/// the others; an OBJ line is never selected. Returns the number selected.
std::size_t applySelection(standin::Mesh& mesh, const SelectionRules& rules,
                           PartNames partNames = PartNames::whole);

}  // namespace tarvel::cli
