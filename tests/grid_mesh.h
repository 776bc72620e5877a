// Grids of unit quads for tests that need a patch of polygons.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/mesh.h"

namespace tarvel::cli::testmesh {

/// An nx by ny grid of unit quads at height z, facing +z (or -z with `down`), selected or not.
inline void addGrid(standin::Mesh& mesh, int nx, int ny, double z, bool down, bool selected) {
    const auto first = static_cast<std::int32_t>(mesh.points.size());
    for (int j = 0; j <= ny; ++j) {
        for (int i = 0; i <= nx; ++i) {
            mesh.points.push_back({double(i), double(j), z});
        }
    }
    for (int j = 0; j < ny; ++j) {
        for (int i = 0; i < nx; ++i) {
            const std::int32_t a = first + j * (nx + 1) + i;
            standin::Polygon quad;
            quad.points = down ? std::vector<std::int32_t>{a, a + nx + 1, a + nx + 2, a + 1}
                               : std::vector<std::int32_t>{a, a + 1, a + nx + 2, a + nx + 1};
            quad.flags = selected ? 1 : 0;
            mesh.polygons.push_back(quad);
        }
    }
}

}  // namespace tarvel::cli::testmesh
