#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <sstream>
#include <string>

#include "cli/svg_picture.h"
#include "standin/module_loader.h"
#include "standin/scene_reader.h"
#include "standin/stand_in_host.h"
#include "tests/grid_mesh.h"

namespace tarvelhost {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEL_SOURCE_DIR;
using testmesh::addGrid;

TEST(SvgPictureTest, theViewLooksAcrossTheGapOfTheFirstPair) {
    const standin::LoadedModule module(TARVEL_MODULE_FILE);
    standin::Scene scene = standin::loadScene(kSource / "examples/facing_grids.json");
    const std::size_t polygons = scene.mesh.polygons.size();
    const standin::Trace trace = standin::runTool(module.module(), scene);
    const ViewAxes axes = gapView(*trace.mesh, polygons);
    // The grids lie at z = 0 and z = 2.5: the gap runs along z, so the picture's up is z
    // tipped by 20 degrees, and its right is perpendicular to z.
    EXPECT_NEAR(axes.up[2], std::cos(20.0 * 3.14159265358979 / 180.0), 1e-12);
    EXPECT_NEAR(axes.right[2], 0.0, 1e-12);
    const auto dot = [](const std::array<double, 3>& a, const std::array<double, 3>& b) {
        return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
    };
    EXPECT_NEAR(dot(axes.right, axes.up), 0.0, 1e-12);
    EXPECT_NEAR(dot(axes.up, axes.depth), 0.0, 1e-12);
    EXPECT_NEAR(dot(axes.depth, axes.depth), 1.0, 1e-12);

    // Without a link, the front view.
    const ViewAxes front = gapView(scene.mesh, polygons);
    EXPECT_EQ(front.right, (std::array<double, 3>{1.0, 0.0, 0.0}));
    EXPECT_EQ(front.up, (std::array<double, 3>{0.0, 1.0, 0.0}));
}

TEST(SvgPictureScaleTest, thePictureGrowsWithTheSelectionNotTheModel) {
    standin::Mesh mesh;
    addGrid(mesh, 2, 2, 0.0, false, true);
    addGrid(mesh, 2, 2, 1.0, true, true);
    addGrid(mesh, 100, 100, -5.0, false, false);  // 10,000 unselected polygons
    const standin::LoadedModule module(TARVEL_MODULE_FILE);
    standin::Scene scene;
    scene.mesh = mesh;
    const standin::Trace trace = standin::runTool(module.module(), scene);
    std::ostringstream out;
    tarvelhost::writeSvg(mesh, *trace.mesh, "big", out);
    const std::string svg = out.str();
    std::size_t polygons = 0;
    std::size_t outline = 0;
    for (std::size_t at = svg.find("<polygon"); at != std::string::npos;
         at = svg.find("<polygon", at + 1)) {
        ++polygons;
    }
    for (std::size_t at = svg.find("class=\"outline\""); at != std::string::npos;
         at = svg.find("class=\"outline\"", at + 1)) {
        ++outline;
    }
    // Before: the eight selected polygons; after: none. Of the flat unselected grid, at most
    // its boundary (400 edges) in each panel, less what lies beside the frame.
    EXPECT_EQ(polygons, 8u);
    EXPECT_LE(outline, 2u * 400u);
    EXPECT_LT(svg.size(), 150'000u);
}
}  // namespace
}  // namespace tarvelhost
