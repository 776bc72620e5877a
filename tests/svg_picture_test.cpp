#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/svg_picture.h"
#include "standin/module_loader.h"
#include "standin/scene_reader.h"
#include "standin/stand_in_host.h"
#include "tests/grid_mesh.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEL_SOURCE_DIR;

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}
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
    tarvel::cli::writeSvg(mesh, *trace.mesh, "big", out);
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
    // its boundary (400 edges) in each panel, less what lies beside the frame, in a few paths.
    EXPECT_EQ(polygons, 8u);
    EXPECT_LE(outline, 2u);
    EXPECT_LE(count(svg, "L"), 2u * 400u + 40u);
    EXPECT_LT(svg.size(), 150'000u);
    EXPECT_EQ(svg.find("Simplified"), std::string::npos);
}

/// A rough hull: a sphere of `rings` by `rings` quads whose points stand out at random by up
/// to a tenth of its radius 3, around (1.5, 1.5, 0.5), none selected.
void addRoughHull(standin::Mesh& mesh, int rings) {
    const auto first = static_cast<std::int32_t>(mesh.points.size());
    std::uint32_t noise = 12345;
    for (int j = 0; j <= rings; ++j) {
        for (int i = 0; i < rings; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const double radius = 3.0 * (1.0 + 0.1 * (noise >> 8) / double(1u << 24));
            const double up = 3.14159265358979 * (double(j) / rings - 0.5);
            const double around = 2.0 * 3.14159265358979 * i / rings;
            mesh.points.push_back({1.5 + radius * std::cos(up) * std::cos(around),
                                   1.5 + radius * std::cos(up) * std::sin(around),
                                   0.5 + radius * std::sin(up)});
        }
    }
    for (int j = 0; j < rings; ++j) {
        for (int i = 0; i < rings; ++i) {
            const auto at = [&](int jj, int ii) { return first + jj * rings + (ii % rings); };
            standin::Polygon quad;
            quad.points = {at(j, i), at(j, i + 1), at(j + 1, i + 1), at(j + 1, i)};
            quad.flags = 0;
            mesh.polygons.push_back(quad);
        }
    }
}

TEST(SvgPictureScaleTest, aRoughHullAndAWholeModelRunStayWithinTheirBudgets) {
    const standin::LoadedModule module(TARVEL_MODULE_FILE);
    const auto picture = [&](const standin::Mesh& mesh) {
        standin::Scene scene;
        scene.mesh = mesh;
        const standin::Trace trace = standin::runTool(module.module(), scene);
        std::ostringstream out;
        tarvel::cli::writeSvg(mesh, *trace.mesh, "budget", out);
        return out.str();
    };
    // 70,000 rough polygons around two small selected grids: its outline (boundary and
    // silhouette as seen), each edge to half a pixel once, within the budget.
    standin::Mesh hull;
    addRoughHull(hull, 265);
    addGrid(hull, 3, 3, 0.0, false, true);
    addGrid(hull, 3, 3, 1.0, true, true);
    const std::string rough = picture(hull);
    EXPECT_LT(rough.size(), 2'000'000u);
    EXPECT_EQ(count(rough, "<polygon"), 18u);
    EXPECT_LE(count(rough, "L"), 2u * 20'000u + 20u);

    // Every polygon selected and removed, more than a panel draws one by one: the patches'
    // outlines instead, said on the picture, and every link.
    standin::Mesh whole;
    addGrid(whole, 150, 150, 0.0, false, true);
    addGrid(whole, 150, 150, 4.0, true, true);
    const std::string all = picture(whole);
    EXPECT_EQ(count(all, "<polygon"), 0u);
    EXPECT_NE(all.find("Simplified: The selection's 45,000 polygons: their outline"),
              std::string::npos);
    EXPECT_EQ(count(all, "class=\"link Red\""), 1u);
    EXPECT_EQ(count(all, "class=\"link DkRed\""), 599u);
    EXPECT_LT(all.size(), 500'000u);
    // The legend's items do not overlap, however long their numbers.
    std::vector<double> starts;
    for (std::size_t at = all.find("<text class=\"count\""); at != std::string::npos;
         at = all.find("<text class=\"count\"", at + 1)) {
        starts.push_back(std::stod(all.substr(all.find(" x=\"", at) + 4)));
    }
    ASSERT_EQ(starts.size(), 4u);
    for (std::size_t k = 1; k < starts.size(); ++k) {
        EXPECT_GT(starts[k], starts[k - 1] + 8.5 * 16);
    }
}
}  // namespace
}  // namespace tarvel::cli
