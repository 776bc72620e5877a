#include "standin/run_mesh.h"

#include <limits>
#include <stdexcept>
#include <utility>

namespace tarvel::standin {

namespace {

/// Room kept for the polygons an edit adds, so that the arrays rarely move during a run:
/// untouched room costs address space, not memory.
std::size_t roomForAdded(std::size_t polygons) {
    return polygons / 8 + 64;
}

}  // namespace

RunMesh::RunMesh(Mesh&& mesh) : points_(std::move(mesh.points)) {
    mesh.points = {};
    std::vector<Polygon> polygons = std::move(mesh.polygons);
    mesh.polygons = {};
    // Room for quads' identifiers: a mesh of quads and triangles then fills the array without
    // its moving, and what a mesh of triangles leaves unused is never touched. (Counting them
    // first would be a pass over the whole mesh.)
    const std::size_t room = roomForAdded(polygons.size());
    polygons_.reserve(polygons.size() + room);
    pointIds_.reserve(4 * polygons.size() + 2 * room);
    for (Polygon& polygon : polygons) {
        if (polygon.points.size() > std::numeric_limits<std::uint32_t>::max()) {
            throw std::length_error("a polygon of more than 2^32 - 1 points");
        }
        std::uint32_t details = kNoDetails;
        if (polygon.normal || !polygon.tags.empty()) {
            details = static_cast<std::uint32_t>(details_.size());
            details_.push_back(Details{polygon.normal, std::move(polygon.tags)});
        }
        polygons_.push_back(Record{
            pointIds_.size(), static_cast<std::uint32_t>(polygon.points.size()), polygon.type,
            polygon.flags, surfaceIndex(polygon.surface), details, polygon.removed});
        pointIds_.insert(pointIds_.end(), polygon.points.begin(), polygon.points.end());
    }
}

Mesh RunMesh::release() {
    Mesh mesh;
    mesh.points = std::move(points_);
    points_ = {};
    mesh.polygons.reserve(polygons_.size());
    for (const Record& r : polygons_) {
        Polygon& polygon = mesh.polygons.emplace_back();
        const std::int32_t* first = pointIds_.data() + r.firstPoint;
        polygon.points.assign(first, first + r.pointCount);
        polygon.type = r.type;
        polygon.flags = r.flags;
        polygon.removed = r.removed;
        if (r.details != kNoDetails) {
            Details& details = details_[r.details];
            polygon.normal = details.normal;
            polygon.tags = std::move(details.tags);
        }
        polygon.surface = surfaces_[r.surface];
    }
    polygons_ = {};
    pointIds_ = {};
    details_ = {};
    surfaceIndex_.clear();
    surfaces_.clear();
    lastSurface_ = kNoDetails;
    return mesh;
}

const Point* RunMesh::normal(std::size_t polygon) const {
    const std::uint32_t details = polygons_[polygon].details;
    if (details == kNoDetails || !details_[details].normal) {
        return nullptr;
    }
    return &*details_[details].normal;
}

std::vector<PolygonTag>& RunMesh::tags(std::size_t polygon) {
    Record& r = polygons_[polygon];
    if (r.details == kNoDetails) {
        details_.emplace_back();
        r.details = static_cast<std::uint32_t>(details_.size() - 1);
    }
    return details_[r.details].tags;
}

void RunMesh::addPolygon(const char* surface, std::span<const std::int32_t> points) {
    if (points.size() > std::numeric_limits<std::uint32_t>::max()) {
        throw std::length_error("a polygon of more than 2^32 - 1 points");
    }
    const std::uint32_t name = surfaceIndex(surface);
    if (polygons_.size() == polygons_.capacity()) {
        polygons_.reserve(2 * polygons_.size() + 64);
    }
    pointIds_.insert(pointIds_.end(), points.begin(), points.end());
    polygons_.push_back(Record{pointIds_.size() - points.size(),
                               static_cast<std::uint32_t>(points.size()), kTypeFace, 0, name,
                               kNoDetails, false});
}

void RunMesh::dropPolygonsFrom(std::size_t count) {
    if (count >= polygons_.size()) {
        return;
    }
    pointIds_.resize(polygons_[count].firstPoint);
    // Their details stay unused: they are few, and the list is read through the records.
    polygons_.resize(count);
}

std::uint32_t RunMesh::surfaceIndex(std::string_view name) {
    if (lastSurface_ != kNoDetails && surfaces_[lastSurface_] == name) {
        return lastSurface_;
    }
    const auto found = surfaceIndex_.find(name);
    if (found != surfaceIndex_.end()) {
        lastSurface_ = found->second;
        return lastSurface_;
    }
    const auto index = static_cast<std::uint32_t>(surfaces_.size());
    surfaces_.emplace_back(name);
    try {
        surfaceIndex_.emplace(surfaces_.back(), index);
    } catch (...) {
        surfaces_.pop_back();
        throw;
    }
    lastSurface_ = index;
    return index;
}

}  // namespace tarvel::standin
