#include "grouping/polygon_ordering.h"

#include <optional>
#include <utility>
#include <vector>

#include "grouping/distance_order.h"
#include "grouping/facing_index.h"
#include "grouping/poly_group.h"
#include "host/selected_poly.h"
#include "host/worker_team.h"

namespace tarvel {

namespace {

/// One-polygon groups over the table's polygons. Their member and partner links borrow: both
/// are cleared before the groups go, so the polygons stay with the table.
class BorrowingGroups {
public:
    explicit BorrowingGroups(std::size_t count) : groups_(count) {}
    BorrowingGroups(const BorrowingGroups&) = delete;
    BorrowingGroups& operator=(const BorrowingGroups&) = delete;
    ~BorrowingGroups() {
        for (PolyGroup& g : groups_) {
            g.firstMember = nullptr;
            g.partner = nullptr;
        }
    }

    PolyGroup& operator[](std::size_t i) { return groups_[i]; }

private:
    std::vector<PolyGroup> groups_;
};

}  // namespace

void orderPolygons(SelectedPoly** table, std::int32_t slotCount) {
    if (slotCount <= 0) {
        return;
    }
    const auto count = static_cast<std::size_t>(slotCount);
    std::optional<DistanceOrder> order;
    {
        // The groups and the index go before the order is read out, which needs room of its
        // own.
        BorrowingGroups groups(count);
        std::vector<PolyGroup*> list(count);
        const WorkerTeam team(count);
        team.forRanges(count, team.grainFor(count, 4096), [&](std::size_t begin, std::size_t end) {
            for (std::size_t i = begin; i < end; ++i) {
                groups[i].firstMember = table[i];
                groups[i].normal = table[i]->normal;
                computeCentre(groups[i]);
                list[i] = &groups[i];
            }
        });

        // Each polygon's nearest facing polygon among all the others, as a one-polygon group.
        {
            FacingIndex facing(std::move(list));
            facing.findAllPartners(PI / 4);
        }

        order.emplace(0, groups[0].partnerDistance, count);
        for (std::size_t i = 1; i < count; ++i) {
            order->insert(static_cast<std::uint32_t>(i), groups[i].partner != nullptr,
                          groups[i].partnerDistance);
        }
    }
    std::vector<SelectedPoly*> polygons(table, table + count);
    const std::vector<std::uint32_t> sorted = order->items();
    for (std::size_t slot = 0; slot < count; ++slot) {
        table[slot] = polygons[sorted[slot]];
    }
}

}  // namespace tarvel
