// The mesh as the stand-in host holds it while a plug-in runs: compact, so that the host's
// own share of a large run's memory stays small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "mesh/mesh.h"
#include "sdk/lwsdk.h"

namespace tarvel::standin {

/// A Mesh taken apart into arrays: the points as they were, every polygon's point identifiers
/// one after the other in one array, one fixed-size record per polygon, each distinct surface
/// name once, and a polygon's normal and tags, which few polygons have, in a list of their own.
/// Giving it back as a Mesh restores every polygon as it was, with the edits made since.
class RunMesh {
public:
    /// Takes the contents of `mesh`, which is left empty. Throws std::bad_alloc, and
    /// std::length_error for a polygon of more than 2^32 - 1 points.
    explicit RunMesh(Mesh&& mesh);
    RunMesh(const RunMesh&) = delete;
    RunMesh& operator=(const RunMesh&) = delete;

    /// The mesh with every change made here; this one is left empty.
    Mesh release();

    const std::vector<Point>& points() const { return points_; }
    std::size_t polygonCount() const { return polygons_.size(); }

    std::span<const std::int32_t> pointsOf(std::size_t polygon) const {
        const Record& r = polygons_[polygon];
        return {pointIds_.data() + r.firstPoint, r.pointCount};
    }
    LWID type(std::size_t polygon) const { return polygons_[polygon].type; }
    int flags(std::size_t polygon) const { return polygons_[polygon].flags; }
    bool removed(std::size_t polygon) const { return polygons_[polygon].removed; }
    void setRemoved(std::size_t polygon, bool removed) { polygons_[polygon].removed = removed; }
    /// The polygon's surface name. The string stays where it is for the RunMesh's lifetime,
    /// whatever is added or dropped meanwhile.
    const std::string& surface(std::size_t polygon) const {
        return surfaces_[polygons_[polygon].surface];
    }
    /// What polyNormal reports for the polygon, or null when the host computes it.
    const Point* normal(std::size_t polygon) const;
    /// The polygon's tags, to read or change (see Polygon::tags).
    std::vector<PolygonTag>& tags(std::size_t polygon);

    /// Appends an unselected FACE polygon of `surface` through `points` (every identifier a
    /// point of the mesh), without normal or tags.
    void addPolygon(const char* surface, std::span<const std::int32_t> points);
    /// Drops the polygons from `count` on, which must all have been added by addPolygon.
    void dropPolygonsFrom(std::size_t count);

private:
    static constexpr std::uint32_t kNoDetails = 0xFFFFFFFFu;

    struct Record {
        /// Where the polygon's identifiers start in pointIds_.
        std::size_t firstPoint;
        std::uint32_t pointCount;
        LWID type;
        int flags;
        /// Index into surfaces_.
        std::uint32_t surface;
        /// Index into details_, or kNoDetails.
        std::uint32_t details;
        bool removed;
    };

    /// What few polygons carry.
    struct Details {
        std::optional<Point> normal;
        std::vector<PolygonTag> tags;
    };

    std::uint32_t surfaceIndex(std::string_view name);

    std::vector<Point> points_;
    std::vector<std::int32_t> pointIds_;
    std::vector<Record> polygons_;
    std::vector<Details> details_;
    /// A deque, so that a name keeps its place (and the index's key stays valid) as names
    /// are added.
    std::deque<std::string> surfaces_;
    std::unordered_map<std::string_view, std::uint32_t> surfaceIndex_;
    /// The surface looked up last: polygons of one surface tend to come together.
    std::uint32_t lastSurface_ = kNoDetails;
};

}  // namespace tarvel::standin
