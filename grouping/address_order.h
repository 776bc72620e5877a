#pragma once

#include <cstdint>

namespace tarvel {

class SelectedPoly;

/// Puts the table's records in the order of their addresses: records[i] is the i-th lowest
/// address of table[0 .. slotCount) and slots[i] the slot holding it (equal addresses, such as
/// null slots, keep their slot order). The capture places its records one after another in a
/// few large blocks, in the host's mesh order, so this gives the mesh order back: neighbours
/// in the mesh come out near each other, where the table's own order may be spatially random.
/// Both arrays must hold slotCount entries. Throws std::bad_alloc when memory runs out.
void orderByAddress(SelectedPoly* const* table, std::int32_t slotCount, SelectedPoly** records,
                    std::uint32_t* slots);

}  // namespace tarvel
