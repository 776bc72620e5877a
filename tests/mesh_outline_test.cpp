// The outline the picture and the page draw of a part: its boundary and where it turns away.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "cli/mesh_outline.h"
#include "tests/grid_mesh.h"

namespace {

using tarvel::cli::MeshEdge;
using tarvel::cli::outlineEdges;
using tarvel::cli::testmesh::addGrid;

TEST(MeshOutlineTest, theBoundaryOfAPartAndWhereItTurnsAwayFromTheViewer) {
    tarvel::standin::Mesh mesh;
    addGrid(mesh, 2, 1, 0.0, false, false);  // points 0 1 2 / 3 4 5
    const std::vector<bool> all(2, true);
    // Six boundary edges; the middle one (1, 4) is shared.
    const std::vector<MeshEdge> boundary = outlineEdges(mesh, all, std::nullopt);
    EXPECT_EQ(boundary, (std::vector<MeshEdge>{{0, 1}, {0, 3}, {1, 2}, {2, 5}, {3, 4}, {4, 5}}));
    // Seen from above both face the viewer; with the second quad folded over, the shared edge
    // is where the surface turns away, and is drawn.
    EXPECT_EQ(outlineEdges(mesh, all, tarvel::standin::Point{0.0, 0.0, -1.0}), boundary);
    std::swap(mesh.polygons[1].points[1], mesh.polygons[1].points[3]);
    const std::vector<MeshEdge> folded =
        outlineEdges(mesh, all, tarvel::standin::Point{0.0, 0.0, -1.0});
    EXPECT_NE(std::find(folded.begin(), folded.end(), MeshEdge{1, 4}), folded.end());
    // Only the part counts: the first quad alone has all four sides; a two-point polygon is
    // its own edge.
    EXPECT_EQ(outlineEdges(mesh, {true, false}, std::nullopt),
              (std::vector<MeshEdge>{{0, 1}, {0, 3}, {1, 4}, {3, 4}}));
    tarvel::standin::Polygon line;
    line.points = {5, 2};
    mesh.polygons.push_back(line);
    EXPECT_EQ(outlineEdges(mesh, {false, false, true}, std::nullopt),
              (std::vector<MeshEdge>{{2, 5}}));
}

}  // namespace
