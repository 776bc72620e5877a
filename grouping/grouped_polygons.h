#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace tarvel {

class PolygonsByPoint;
struct PolyGroup;

/// What region growing can leave beside the groups it formed, for the boundary step: every
/// polygon's points numbered (the growth's own index), and each group's members by local
/// number, in member-chain order. A run keeps it from the growth until its pairs are linked.
/// Left empty by a growth that keeps nothing; the boundary step then numbers points itself.
class GroupedPolygons {
public:
    /// A group and where its members stand in members().
    struct Span {
        const PolyGroup* group;
        std::uint32_t begin;
        std::uint32_t end;
    };

    GroupedPolygons();
    ~GroupedPolygons();
    GroupedPolygons(const GroupedPolygons&) = delete;
    GroupedPolygons& operator=(const GroupedPolygons&) = delete;

    /// Takes what the growth built: its index, and the members of its groups, each group's
    /// run of `members` given by one span.
    void keep(std::unique_ptr<PolygonsByPoint> polygons, std::vector<std::uint32_t> members,
              std::vector<Span> spans);

    /// The growth's index, or null when nothing was kept.
    const PolygonsByPoint* polygons() const { return polygons_.get(); }
    /// The members of `group`, by local number in member-chain order; empty when the group is
    /// not one of those kept.
    std::span<const std::uint32_t> membersOf(const PolyGroup& group) const;

private:
    std::unique_ptr<PolygonsByPoint> polygons_;
    std::vector<std::uint32_t> members_;
    std::vector<Span> spans_;  // by the group's address
};

}  // namespace tarvel
