#include "grouping/region_growing.h"

#include <algorithm>
#include <cassert>
#include <utility>
#include <vector>

#include "grouping/grouped_polygons.h"
#include "grouping/low_bit.h"
#include "grouping/poly_group.h"
#include "grouping/polygons_by_point.h"
#include "grouping/seed_turn.h"
#include "runtime/resident_memory.h"
#include "runtime/selected_poly.h"

namespace tarvel {

void takeSeed(PolyGroup& group, SelectedPoly** table, std::int32_t slotCount,
              std::int32_t& untaken) {
    for (std::int32_t i = 0; group.firstMember == nullptr && i < slotCount; ++i) {
        group.firstMember = table[i];
        if (table[i] != nullptr) {
            group.normal = table[i]->normal;
            table[i] = nullptr;
            --untaken;
        }
    }
}

namespace {

/// A polygon whose edges are being followed, by local number, and the next of its edges to
/// look at: edge 0 runs from the last point to the first, edge k > 0 from point k - 1 to
/// point k.
struct EdgeCursor {
    std::uint32_t local;
    std::int32_t edge;
};

/// Which slots of the table groups have taken. The slots are emptied together when it goes
/// (also when memory runs out part way), in one pass in slot order: clearing each as its
/// polygon is taken would write all over the table, whose order need not follow the mesh.
class TakenSlots {
public:
    TakenSlots(SelectedPoly** table, std::int32_t slotCount)
        : table_(table), bits_((static_cast<std::size_t>(slotCount) + 63) / 64, 0) {}
    TakenSlots(const TakenSlots&) = delete;
    TakenSlots& operator=(const TakenSlots&) = delete;
    ~TakenSlots() {
        for (std::size_t w = 0; w < bits_.size(); ++w) {
            for (std::uint64_t bits = bits_[w]; bits != 0; bits &= bits - 1) {
                table_[w * 64 + static_cast<std::size_t>(lowestSetBit(bits))] = nullptr;
            }
        }
    }

    void take(std::int32_t slot) {
        bits_[static_cast<std::size_t>(slot) / 64] |= std::uint64_t{1} << (slot % 64);
    }
    bool taken(std::int32_t slot) const {
        return (bits_[static_cast<std::size_t>(slot) / 64] >> (slot % 64) & 1) != 0;
    }

private:
    SelectedPoly** table_;
    std::vector<std::uint64_t> bits_;
};

/// Takes into `group`, depth first from its member `from`, every remaining polygon reachable
/// through shared edges whose normal is less than 60 degrees from the seed's: the closing edge
/// first, then the edges in point order, a neighbour's whole region before the next edge. Each
/// taken polygon is linked right after the seed, and added to `taken`. Uses `stack`, never the
/// call stack.
void growFrom(PolyGroup& group, std::uint32_t from, PolygonsByPoint& holders, TakenSlots& slots,
              ResidentVector<EdgeCursor>& stack, ResidentVector<std::uint32_t>& taken,
              std::int32_t& untaken) {
    if (untaken <= 0) {
        return;
    }
    const SeedTurn turn(group.normal);  // the seed's normal, until the group is complete
    stack.assign(1, {from, 0});
    while (!stack.empty()) {
        EdgeCursor& top = stack.back();
        const std::int32_t n = holders.cornerCount(top.local);
        if (top.edge >= n) {
            stack.pop_back();
            continue;
        }
        const std::uint32_t found = holders.holderAcross(top.local, top.edge++);
        if (found == kNone) {
            continue;
        }
        SelectedPoly* neighbour = holders.record(found);
        assert(!slots.taken(holders.slot(found)));  // a remaining polygon
        if (!turn.within(neighbour->normal)) {
            continue;
        }
        neighbour->nextMember = group.firstMember->nextMember;
        group.firstMember->nextMember = neighbour;
        holders.take(found);
        slots.take(holders.slot(found));
        taken.push_back(found);
        --untaken;
        assert(untaken >= 0);
        // The neighbour's whole region comes before this polygon's next edge.
        if (untaken > 0) {
            stack.push_back({found, 0});
        }
    }
}

}  // namespace

GroupedPolygons formGroups(PolyGroup*& head, SelectedPoly** table, std::int32_t slotCount,
                           std::int32_t& untaken) {
    head = new PolyGroup;
    PolygonsByPoint holders(table, slotCount);
    ResidentVector<EdgeCursor> stack;
    // Every group's members by local number, the seed first and then the taken polygons newest
    // first, as the member chain holds them.
    ResidentVector<std::uint32_t> members;
    std::vector<GroupedPolygons::Span> spans;
    members.reserve(static_cast<std::size_t>(std::max(slotCount, 0)));
    TakenSlots slots(table, slotCount);
    PolyGroup* current = head;
    std::int32_t seedFrom = 0;  // every slot before it is taken
    while (untaken > 0) {
        while (seedFrom < slotCount && slots.taken(seedFrom)) {
            ++seedFrom;
        }
        // A slot not taken still holds its polygon: takeSeed empties a seed's slot at once, and
        // `slots` empties the others' when it goes.
        assert(seedFrom == slotCount || table[seedFrom] != nullptr);
        takeSeed(*current, table + seedFrom, slotCount - seedFrom, untaken);
        if (current->firstMember == nullptr) {
            break;  // the count promised a polygon the table does not hold
        }
        const std::uint32_t seed = holders.localOf(seedFrom);
        holders.take(seed);
        slots.take(seedFrom);
        const auto begin = static_cast<std::uint32_t>(members.size());
        members.push_back(seed);
        growFrom(*current, seed, holders, slots, stack, members, untaken);
        std::reverse(members.begin() + begin + 1, members.end());
        spans.push_back({current, begin, static_cast<std::uint32_t>(members.size())});
        if (untaken > 0) {
            current->next = new PolyGroup;
            current = current->next;
        }
    }
    return {std::move(holders).numbered(), std::move(members), std::move(spans)};
}

}  // namespace tarvel
