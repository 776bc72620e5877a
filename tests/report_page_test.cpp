// The report page's data and file, and the outline the pictures draw of unselected parts.
// tests/report/report_browser_test.mjs opens whole pages in a browser.
#include <gtest/gtest.h>

#include <limits>
#include <sstream>
#include <string>

#include "cli/mesh_outline.h"
#include "cli/report/html_report.h"
#include "cli/report/report_assets.h"
#include "cli/report/report_data.h"
#include "cli/run_summary.h"
#include "cli/svg_picture.h"
#include "standin/json_value.h"
#include "standin/module_loader.h"
#include "standin/scene_reader.h"
#include "standin/stand_in_host.h"

namespace {

using tarvelhost::MeshEdge;
using tarvelhost::outlineEdges;
namespace report = tarvelhost::report;

/// An nx by ny grid of unit quads at height z, facing +z (or -z with `down`), selected or not.
void addGrid(standin::Mesh& mesh, int nx, int ny, double z, bool down, bool selected) {
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

TEST(MeshOutlineTest, theBoundaryOfAPartAndWhereItTurnsAwayFromTheViewer) {
    standin::Mesh mesh;
    addGrid(mesh, 2, 1, 0.0, false, false);  // points 0 1 2 / 3 4 5
    const std::vector<bool> all(2, true);
    // Six boundary edges; the middle one (1, 4) is shared.
    const std::vector<MeshEdge> boundary = outlineEdges(mesh, all, std::nullopt);
    EXPECT_EQ(boundary, (std::vector<MeshEdge>{{0, 1}, {0, 3}, {1, 2}, {2, 5}, {3, 4}, {4, 5}}));
    // Seen from above both face the viewer; with the second quad folded over, the shared edge
    // is where the surface turns away, and is drawn.
    EXPECT_EQ(outlineEdges(mesh, all, standin::Point{0.0, 0.0, -1.0}), boundary);
    std::swap(mesh.polygons[1].points[1], mesh.polygons[1].points[3]);
    const std::vector<MeshEdge> folded = outlineEdges(mesh, all, standin::Point{0.0, 0.0, -1.0});
    EXPECT_NE(std::find(folded.begin(), folded.end(), MeshEdge{1, 4}), folded.end());
    // Only the part counts: the first quad alone has all four sides; a two-point polygon is
    // its own edge.
    EXPECT_EQ(outlineEdges(mesh, {true, false}, std::nullopt),
              (std::vector<MeshEdge>{{0, 1}, {0, 3}, {1, 4}, {3, 4}}));
    standin::Polygon line;
    line.points = {5, 2};
    mesh.polygons.push_back(line);
    EXPECT_EQ(outlineEdges(mesh, {false, false, true}, std::nullopt),
              (std::vector<MeshEdge>{{2, 5}}));
}

/// Runs the module on `mesh` and gives the page's data as JSON.
standin::JsonValue reportOf(const standin::Mesh& mesh, const std::string& file = "mesh.obj") {
    const standin::LoadedModule module(TARVEL_MODULE_FILE);
    standin::Scene scene;
    scene.mesh = mesh;
    const standin::Trace trace = standin::runTool(module.module(), scene);
    const tarvelhost::RunCounts counts = tarvelhost::countRun(trace, mesh.polygons.size());
    const report::ReportRun run{file, "summary", counts, trace.calls.messages(), mesh, *trace.mesh};
    const std::string json = report::reportJson(run);
    EXPECT_EQ(json.find('<'), std::string::npos);
    return standin::parseJson(json);
}

TEST(ReportDataTest, removedKeptContextAndLinksOfARun) {
    standin::Mesh mesh;
    addGrid(mesh, 4, 4, 0.0, false, true);
    addGrid(mesh, 3, 3, 2.0, true, true);
    addGrid(mesh, 2, 2, -3.0, false, false);
    const standin::JsonValue data = reportOf(mesh, "a</script><b>.obj");
    EXPECT_EQ(data.at("file").string(), "a</script><b>.obj");
    EXPECT_EQ(data.at("removedCount").number(), 25.0);
    EXPECT_EQ(data.at("keptCount").number(), 0.0);
    EXPECT_EQ(data.at("contextCount").number(), 4.0);
    EXPECT_EQ(data.at("contextEdgeCount").number(), 0.0);
    EXPECT_EQ(data.at("contextNote").string(), "");
    EXPECT_EQ(data.at("pairs").number(), 1.0);
    // Two points per link, one tag per link; the points hold every point drawn (the wall's
    // and both grids'), as 32-bit floats.
    EXPECT_EQ(data.at("linkTags").string().size(), 4 * ((data.at("linksAdded").number() + 2) / 3));
    EXPECT_EQ(data.at("points").string().size(), 4 * ((12 * (25 + 16 + 9) + 2) / 3));
}

TEST(ReportDataTest, pointsAtOnePlaceAreStoredOnce) {
    // Two quads side by side that share no points, and a line between two NaN points.
    standin::Mesh mesh;
    addGrid(mesh, 1, 1, 0.0, false, false);
    addGrid(mesh, 1, 1, 0.0, false, false);
    for (standin::Point& point : mesh.points) {
        point[0] += &point >= &mesh.points[4] ? 1.0 : 0.0;
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    mesh.points.push_back({nan, 0.0, 0.0});
    mesh.points.push_back({nan, 0.0, 0.0});
    standin::Polygon line;
    line.points = {8, 9};
    line.flags = 0;
    mesh.polygons.push_back(line);
    const standin::JsonValue data = reportOf(mesh);
    EXPECT_EQ(data.at("contextCount").number(), 3.0);
    EXPECT_EQ(data.at("points").string().size(), 4 * ((12 * 7 + 2) / 3));
}

TEST(ReportDataTest, aLargeUnselectedPartIsSampledAndOutlined) {
    standin::Mesh mesh;
    addGrid(mesh, 2, 2, 0.0, false, true);
    addGrid(mesh, 2, 2, 1.0, true, true);
    addGrid(mesh, 400, 260, -5.0, false, false);  // 104,000 polygons, over the limit
    const standin::JsonValue data = reportOf(mesh);
    EXPECT_EQ(data.at("contextTotal").number(), 104000.0);
    EXPECT_LE(data.at("contextCount").number(), double(report::kContextSampleSize));
    EXPECT_GE(data.at("contextCount").number(), 0.9 * report::kContextSampleSize);
    EXPECT_EQ(data.at("contextEdgeCount").number(), 2.0 * (400 + 260));
    EXPECT_NE(data.at("contextNote").string().find("104,000 unselected polygons"),
              std::string::npos);
    EXPECT_EQ(data.at("removedCount").number(), 8.0);
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

TEST(ReportDataTest, aStoppedRunKeepsItsSelectionAndMessage) {
    standin::Mesh mesh;
    addGrid(mesh, 2, 2, 0.0, true, true);  // facing away from each other
    addGrid(mesh, 2, 2, 1.0, false, true);
    const standin::JsonValue data = reportOf(mesh);
    EXPECT_EQ(data.at("keptCount").number(), 8.0);
    EXPECT_EQ(data.at("removedCount").number(), 0.0);
    EXPECT_EQ(data.at("links").string(), "");
    ASSERT_EQ(data.at("messages").items().size(), 1u);
    EXPECT_EQ(data.at("messages").at(std::size_t{0}).at("title").string(), "Error");
    EXPECT_NE(data.at("messages").at(std::size_t{0}).at("text").string(), "");
}

TEST(HtmlReportTest, thePageHoldsEveryPartOnceAndLoadsNothing) {
    standin::Scene scene =
        standin::loadScene(std::string(TARVEL_SOURCE_DIR) + "/examples/facing_grids.json");
    const standin::LoadedModule module(TARVEL_MODULE_FILE);
    const standin::Trace trace = standin::runTool(module.module(), scene);
    const report::ReportRun run{
        "facing_grids.json",    "summary",  tarvelhost::countRun(trace, scene.mesh.polygons.size()),
        trace.calls.messages(), scene.mesh, *trace.mesh};
    std::ostringstream out;
    report::writeHtmlReport(run, out);
    const std::string page = out.str();
    const auto occurrences = [&page](const std::string& text) {
        std::size_t count = 0;
        for (std::size_t at = page.find(text); at != std::string::npos;
             at = page.find(text, at + 1)) {
            ++count;
        }
        return count;
    };
    for (const char* marker : {"@TITLE@", "@LICENCE@", "@DATA@", "@MODULES@", "@SCRIPT@"}) {
        EXPECT_EQ(occurrences(marker), 0u) << marker;
    }
    EXPECT_EQ(occurrences("<script type=\"application/json\" id=\"run-data\">{\"file\""), 1u);
    EXPECT_EQ(occurrences("<script type=\"text/x-module\""), 3u);
    EXPECT_EQ(occurrences("<script type=\"module\">"), 1u);
    EXPECT_EQ(occurrences(std::string(report::kPageScript)), 1u);
    EXPECT_EQ(occurrences("<title>facing_grids.json"), 1u);
    EXPECT_EQ(occurrences("The MIT License"), 1u);
    // Nothing from any address: no URL but the object URLs the page makes itself.
    EXPECT_EQ(occurrences("src="), 0u);
    EXPECT_EQ(occurrences("<link"), 0u);
    EXPECT_EQ(occurrences("from 'three/core'"), 2u);
    EXPECT_EQ(occurrences("three.core.js'"), 0u);
}

}  // namespace
