#include "grouping/polygon_ordering.h"

#include <optional>
#include <span>

#include "grouping/distance_order.h"
#include "grouping/facing_index.h"
#include "grouping/partner_search.h"
#include "grouping/poly_group.h"
#include "runtime/resident_memory.h"
#include "runtime/selected_poly.h"
#include "runtime/worker_team.h"

namespace tarvel {

namespace {

// The slots a thread rewrites at a time.
constexpr std::size_t kPermuteGrain = std::size_t{1} << 15;

}  // namespace

void orderPolygons(SelectedPoly** table, std::int32_t slotCount) {
    if (slotCount <= 0) {
        return;
    }
    const auto count = static_cast<std::size_t>(slotCount);
    std::optional<DistanceOrder> order;
    {
        // Each polygon's nearest facing polygon among all the others, as a group of its own:
        // its normal and its centre, with the partner test of groups. The index goes before
        // the order is built, and what it found before the order is read out. What was found
        // is given room once the index is built, in the room its build gave back: fresh pages
        // cost far more than reused ones.
        ResidentVector<FacingIndex::Found> found;
        {
            FacingIndex facing(static_cast<std::uint32_t>(count), [table](std::uint32_t i) {
                return FacingSite{soleMemberCentre(*table[i]), table[i]->normal};
            });
            found.resize(count);
            facing.nearestFacingForEach(kFacingLimit, found);
        }
        order.emplace(0, found[0].distance, count);
        for (std::size_t i = 1; i < count; ++i) {
            order->insert(static_cast<std::uint32_t>(i), found[i].index != kNone,
                          found[i].distance);
        }
    }
    // The table is rewritten in the new order from a copy, slots shared out over the team:
    // each slot is read where it was, at random, and the reads wait on memory more than on
    // the processor.
    const ResidentVector<SelectedPoly*> polygons(table, table + count);
    const std::span<const std::uint32_t> sorted = order->items();
    const WorkerTeam team(count);
    team.forRanges(count, kPermuteGrain, [&](std::size_t begin, std::size_t end) {
        for (std::size_t slot = begin; slot < end; ++slot) {
            table[slot] = polygons[sorted[slot]];
        }
    });
}

}  // namespace tarvel
