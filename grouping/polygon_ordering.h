#pragma once

#include <cstdint>

namespace tarvel {

class SelectedPoly;

/// Reorders the first `slotCount` slots of `table` by each polygon's distance to its nearest
/// facing polygon, nearest first; polygons that face none keep their turn at the end.
/// Changes only the order: no polygon is added, removed or altered.
void orderPolygons(SelectedPoly** table, std::int32_t slotCount);

}  // namespace tarvel
