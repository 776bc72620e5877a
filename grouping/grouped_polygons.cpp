#include "grouping/grouped_polygons.h"

#include <algorithm>
#include <functional>
#include <utility>

namespace tarvel {

GroupedPolygons::GroupedPolygons(NumberedPolygons polygons, ResidentVector<std::uint32_t> members,
                                 std::vector<Span> spans)
    : polygons_(std::move(polygons)), members_(std::move(members)), spans_(std::move(spans)) {
    std::sort(spans_.begin(), spans_.end(), [](const Span& a, const Span& b) {
        return std::less<const PolyGroup*>()(a.group, b.group);
    });
}

std::span<const std::uint32_t> GroupedPolygons::membersOf(const PolyGroup& group) const {
    const auto at = std::lower_bound(spans_.begin(), spans_.end(), &group,
                                     [](const Span& span, const PolyGroup* g) {
                                         return std::less<const PolyGroup*>()(span.group, g);
                                     });
    if (at == spans_.end() || at->group != &group) {
        return {};
    }
    return {members_.data() + at->begin, members_.data() + at->end};
}

}  // namespace tarvel
