#pragma once

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

#include "runtime/resident_memory.h"

namespace tarvel {

class SelectedPoly;
struct PolyGroup;

/// Polygons with their points numbered: by local number, each polygon's record and the numbers
/// of its points in its point order. Owns the arrays, which region growing built for its own
/// look-ups and moves here when it is done with them.
class NumberedPolygons {
public:
    /// No polygons.
    NumberedPolygons() = default;
    /// Polygon l's record is records[l] and its point numbers are corners[cornerStart[l] ..
    /// cornerStart[l + 1]); every number lies below `pointCount`. `cornerStart` holds one
    /// entry more than there are polygons.
    NumberedPolygons(ResidentArray<SelectedPoly*> records, ResidentArray<std::uint32_t> cornerStart,
                     ResidentArray<std::uint32_t> corners, std::uint32_t pointCount)
        : records_(std::move(records)),
          cornerStart_(std::move(cornerStart)),
          corners_(std::move(corners)),
          pointCount_(pointCount) {}

    const SelectedPoly& record(std::uint32_t local) const { return *records_[local]; }
    /// The numbers of the polygon's points, in its point order.
    std::span<const std::uint32_t> corners(std::uint32_t local) const {
        return {corners_.get() + cornerStart_[local], corners_.get() + cornerStart_[local + 1]};
    }
    /// How many distinct points the polygons hold; points are numbered 0 .. pointCount() - 1.
    std::uint32_t pointCount() const { return pointCount_; }

private:
    ResidentArray<SelectedPoly*> records_;
    ResidentArray<std::uint32_t> cornerStart_;
    ResidentArray<std::uint32_t> corners_;
    std::uint32_t pointCount_ = 0;
};

/// What region growing hands the boundary step beside the groups it formed: every polygon with
/// its points numbered, and each group's members by local number, in member-chain order. A run
/// keeps it from the growth until its pairs are linked. Empty when the growth kept nothing; the
/// boundary step then numbers points itself.
class GroupedPolygons {
public:
    /// A group and where its members stand in the members given.
    struct Span {
        const PolyGroup* group;
        std::uint32_t begin;
        std::uint32_t end;
    };

    /// Nothing kept.
    GroupedPolygons() = default;
    /// The groups' members, each group's run of `members` given by one span, and the polygons
    /// their local numbers name.
    GroupedPolygons(NumberedPolygons polygons, ResidentVector<std::uint32_t> members,
                    std::vector<Span> spans);

    /// Whether the growth kept anything.
    bool empty() const { return spans_.empty(); }
    const NumberedPolygons& polygons() const { return polygons_; }
    /// The members of `group`, by local number in member-chain order; empty when the group is
    /// not one of those kept.
    std::span<const std::uint32_t> membersOf(const PolyGroup& group) const;

private:
    NumberedPolygons polygons_;
    ResidentVector<std::uint32_t> members_;
    std::vector<Span> spans_;  // by the group's address
};

}  // namespace tarvel
