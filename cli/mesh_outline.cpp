#include "cli/mesh_outline.h"

#include <algorithm>

#include "standin/polygon_normal.h"

namespace tarvel::cli {

namespace {

/// One polygon's use of an edge: the edge (lower point in the high half) and the polygon.
struct EdgeUse {
    std::uint64_t key;
    std::uint32_t polygon;
};

std::uint64_t edgeKey(std::int32_t a, std::int32_t b) {
    const auto low = static_cast<std::uint32_t>(std::min(a, b));
    const auto high = static_cast<std::uint32_t>(std::max(a, b));
    return (std::uint64_t{low} << 32) | high;
}

MeshEdge edgeOf(std::uint64_t key) {
    return {static_cast<std::int32_t>(key >> 32), static_cast<std::int32_t>(key & 0xffffffffu)};
}

}  // namespace

std::vector<MeshEdge> outlineEdges(const standin::Mesh& mesh, const std::vector<bool>& inPart,
                                   const std::optional<standin::Point>& depth) {
    std::vector<EdgeUse> uses;
    std::vector<MeshEdge> edges;
    for (std::size_t j = 0; j < mesh.polygons.size() && j < inPart.size(); ++j) {
        const standin::PointIds& points = mesh.polygons[j].points;
        if (!inPart[j] || points.size() < 2) {
            continue;
        }
        if (points.size() == 2) {
            if (points[0] != points[1]) {
                edges.push_back(edgeOf(edgeKey(points[0], points[1])));
            }
            continue;
        }
        for (std::size_t k = 0; k < points.size(); ++k) {
            const std::int32_t a = points[k];
            const std::int32_t b = points[(k + 1) % points.size()];
            if (a != b) {
                uses.push_back({edgeKey(a, b), static_cast<std::uint32_t>(j)});
            }
        }
    }
    std::sort(uses.begin(), uses.end(),
              [](const EdgeUse& x, const EdgeUse& y) { return x.key < y.key; });

    // Which way each polygon of the part faces, worked out once for those that need it.
    const auto facesViewer = [&](std::uint32_t polygon) {
        standin::Point normal{};
        standin::newellNormal(mesh.polygons[polygon].points, mesh.points, normal);
        return normal[0] * (*depth)[0] + normal[1] * (*depth)[1] + normal[2] * (*depth)[2] < 0.0;
    };
    for (std::size_t first = 0; first < uses.size();) {
        std::size_t end = first + 1;
        while (end < uses.size() && uses[end].key == uses[first].key) {
            ++end;
        }
        const std::size_t holders = end - first;
        bool outline = holders == 1;
        if (!outline && depth) {
            outline = holders > 2 ||
                      facesViewer(uses[first].polygon) != facesViewer(uses[first + 1].polygon);
        }
        if (outline) {
            edges.push_back(edgeOf(uses[first].key));
        }
        first = end;
    }
    std::sort(edges.begin(), edges.end());
    edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
    return edges;
}

}  // namespace tarvel::cli
