// The report page's data of a run. tests/report/report_browser_test.mjs opens whole pages in
// a browser.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <vector>

#include "cli/report/report_data.h"
#include "cli/run_summary.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"
#include "testing/json_value.h"
#include "tests/grid_mesh.h"

namespace {

namespace report = tarvel::cli::report;
using tarvel::cli::testmesh::addGrid;

/// Runs the module on `mesh` and gives the page's data.
std::string reportTextOf(const tarvel::standin::Mesh& mesh, const std::string& file = "mesh.obj",
                         const std::string& stopReason = "") {
    const tarvel::standin::LoadedModule module(TARVEL_MODULE_FILE);
    tarvel::standin::Scene scene;
    scene.mesh = mesh;
    const tarvel::standin::Trace trace = tarvel::standin::runTool(module.module(), scene);
    const tarvel::cli::RunCounts counts = tarvel::cli::countRun(trace, mesh.polygons.size());
    const report::ReportRun run{file, "summary",  stopReason, counts, trace.calls.messages(),
                                mesh, *trace.mesh};
    const std::string json = report::pageDataJson(run);
    EXPECT_EQ(json.find('<'), std::string::npos);
    return json;
}

tarvel::standin::JsonValue reportOf(const tarvel::standin::Mesh& mesh,
                                    const std::string& file = "mesh.obj") {
    return tarvel::standin::parseJson(reportTextOf(mesh, file));
}

TEST(ReportDataTest, theDataIsWrittenByteForByteAsThePageReadsIt) {
    tarvel::standin::Mesh mesh;
    addGrid(mesh, 2, 1, 0.0, false, true);
    addGrid(mesh, 1, 1, 1.0, true, true);
    addGrid(mesh, 1, 1, -3.0, false, false);
    EXPECT_EQ(
        reportTextOf(mesh, "a</b>\".obj"),
        "{\"format\":2,\"file\":\"a\\u003c/b>\\\".obj\",\"summary\":\"summary\",\"stopReason\":\""
        "\",\"polygons\":4,\"selected\":3,\"pairs\":1,\"linksAdded\":6,\"polygonsRemoved\":3,\"me"
        "ssages\":[],\"view\":{\"right\":[-0.8944271909999161, 0, -0.44721359549995804],\"up\":[-"
        "0.42024331560644473, -0.3420201433256687, 0.8404866312128895],\"depth\":[-0.152956058030"
        "08322, 0.9396926207859084, 0.30591211606016644]},\"points\":\"AAAAAAAAAAAAAAAAAACAPwAAAA"
        "AAAAAAAACAPwAAgD8AAAAAAAAAAAAAgD8AAAAAAAAAQAAAAAAAAAAAAAAAQAAAgD8AAAAAAAAAAAAAAAAAAIA/AA"
        "AAAAAAgD8AAIA/AACAPwAAgD8AAIA/AACAPwAAAAAAAIA/AAAAAAAAAAAAAEDAAACAPwAAAAAAAEDAAACAPwAAgD"
        "8AAEDAAAAAAAAAgD8AAEDA\",\"removed\":\"BAACAgIEAwYCBQQIAgIC\",\"removedCount\":3,\"remov"
        "edOutline\":\"AAIBBgMGAAIDAQAGAgYFAgQBAQI=\",\"patchPolygons\":[2,1],\"patchOutlines\":["
        "6,4],\"pairPatches\":[[0,1]],\"kept\":\"\",\"keptCount\":0,\"context\":\"BBQCAgI=\",\"co"
        "ntextCount\":1,\"contextTotal\":1,\"contextEdges\":\"\",\"contextEdgeCount\":0,\"context"
        "Note\":\"\",\"links\":\"BAoDBgcKDxARDAUI\",\"linkTags\":\"AAEBAQEB\",\"tags\":[\"Red\","
        "\"DkRed\",\"Blue\"]}");

    tarvel::standin::Mesh away;
    addGrid(away, 1, 1, 0.0, true, true);
    addGrid(away, 1, 1, 1.0, false, true);
    EXPECT_EQ(
        reportTextOf(away, "away.obj", "no <pair>"),
        "{\"format\":2,\"file\":\"away.obj\",\"summary\":\"summary\",\"stopReason\":\"no \\u003cp"
        "air>\",\"polygons\":2,\"selected\":2,\"pairs\":0,\"linksAdded\":0,\"polygonsRemoved\":0,"
        "\"messages\":[{\"title\":\"Error\",\"text\":\"Selected groups not facing each other\",\""
        "text2\":\"Angle between groups should be less than 45 degrees.\"}],\"view\":{\"right\":["
        "1, 0, 0],\"up\":[0, 1, 0],\"depth\":[0, 0, -1]},\"points\":\"AAAAAAAAAAAAAAAAAAAAAAAAgD8"
        "AAAAAAACAPwAAgD8AAAAAAACAPwAAAAAAAAAAAAAAAAAAAAAAAIA/AACAPwAAAAAAAIA/AACAPwAAgD8AAIA/AAA"
        "AAAAAgD8AAIA/\",\"removed\":\"\",\"removedCount\":0,\"removedOutline\":\"\",\"patchPolyg"
        "ons\":[],\"patchOutlines\":[],\"pairPatches\":[],\"kept\":\"BAACAgIEAgICAg==\",\"keptCou"
        "nt\":2,\"context\":\"\",\"contextCount\":0,\"contextTotal\":0,\"contextEdges\":\"\",\"co"
        "ntextEdgeCount\":0,\"contextNote\":\"\",\"links\":\"\",\"linkTags\":\"\",\"tags\":[\"Red"
        "\",\"DkRed\",\"Blue\"]}");
}

TEST(ReportDataTest, removedKeptContextAndLinksOfARun) {
    tarvel::standin::Mesh mesh;
    addGrid(mesh, 4, 4, 0.0, false, true);
    addGrid(mesh, 3, 3, 2.0, true, true);
    addGrid(mesh, 2, 2, -3.0, false, false);
    const tarvel::standin::JsonValue data = reportOf(mesh, "a</script><b>.obj");
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
    tarvel::standin::Mesh mesh;
    addGrid(mesh, 1, 1, 0.0, false, false);
    addGrid(mesh, 1, 1, 0.0, false, false);
    for (tarvel::standin::Point& point : mesh.points) {
        point[0] += &point >= &mesh.points[4] ? 1.0 : 0.0;
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    mesh.points.push_back({nan, 0.0, 0.0});
    mesh.points.push_back({nan, 0.0, 0.0});
    tarvel::standin::Polygon line;
    line.points = {8, 9};
    line.flags = 0;
    mesh.polygons.push_back(line);
    const tarvel::standin::JsonValue data = reportOf(mesh);
    EXPECT_EQ(data.at("contextCount").number(), 3.0);
    EXPECT_EQ(data.at("points").string().size(), 4 * ((12 * 7 + 2) / 3));
}

TEST(ReportDataTest, aLargeUnselectedPartIsSampledAndOutlined) {
    tarvel::standin::Mesh mesh;
    addGrid(mesh, 2, 2, 0.0, false, true);
    addGrid(mesh, 2, 2, 1.0, true, true);
    addGrid(mesh, 400, 260, -5.0, false, false);  // 104,000 polygons, over the limit
    const tarvel::standin::JsonValue data = reportOf(mesh);
    EXPECT_EQ(data.at("contextTotal").number(), 104000.0);
    EXPECT_LE(data.at("contextCount").number(), double(report::kContextSampleSize));
    EXPECT_GE(data.at("contextCount").number(), 0.9 * report::kContextSampleSize);
    EXPECT_EQ(data.at("contextEdgeCount").number(), 2.0 * (400 + 260));
    EXPECT_NE(data.at("contextNote").string().find("104,000 unselected polygons"),
              std::string::npos);
    EXPECT_EQ(data.at("removedCount").number(), 8.0);
}

TEST(ReportDataTest, removedPolygonsComePatchByPatchWithThePatchesOfEachPair) {
    // Two pairs far apart: 3x3 grids facing each other, and 2x2 grids 20 units along x.
    tarvel::standin::Mesh mesh;
    addGrid(mesh, 3, 3, 0.0, false, true);
    addGrid(mesh, 3, 3, 1.0, true, true);
    const std::size_t firstMoved = mesh.points.size();
    addGrid(mesh, 2, 2, 0.0, false, true);
    addGrid(mesh, 2, 2, 1.0, true, true);
    for (std::size_t k = firstMoved; k < mesh.points.size(); ++k) {
        mesh.points[k][0] += 20.0;
    }
    const tarvel::standin::JsonValue data = reportOf(mesh);
    EXPECT_EQ(data.at("format").number(), double(report::kReportFormat));
    EXPECT_EQ(data.at("removedCount").number(), 26.0);
    const auto numbers = [](const tarvel::standin::JsonValue& list) {
        std::vector<double> out;
        for (const tarvel::standin::JsonValue& item : list.items()) {
            out.push_back(item.number());
        }
        return out;
    };
    EXPECT_EQ(numbers(data.at("patchPolygons")), (std::vector<double>{9, 9, 4, 4}));
    // Each patch's boundary: a 3x3 grid has 12 edges around it, a 2x2 grid 8.
    EXPECT_EQ(numbers(data.at("patchOutlines")), (std::vector<double>{12, 12, 8, 8}));
    ASSERT_EQ(data.at("pairPatches").items().size(), 2u);
    std::vector<std::vector<double>> pairs;
    for (const tarvel::standin::JsonValue& pair : data.at("pairPatches").items()) {
        std::vector<double> patches = numbers(pair);
        std::sort(patches.begin(), patches.end());
        pairs.push_back(patches);
    }
    std::sort(pairs.begin(), pairs.end());
    EXPECT_EQ(pairs, (std::vector<std::vector<double>>{{0, 1}, {2, 3}}));
}

TEST(ReportDataTest, aStoppedRunKeepsItsSelectionAndMessage) {
    tarvel::standin::Mesh mesh;
    addGrid(mesh, 2, 2, 0.0, true, true);  // facing away from each other
    addGrid(mesh, 2, 2, 1.0, false, true);
    const tarvel::standin::JsonValue data = reportOf(mesh);
    EXPECT_EQ(data.at("keptCount").number(), 8.0);
    EXPECT_EQ(data.at("removedCount").number(), 0.0);
    EXPECT_EQ(data.at("links").string(), "");
    ASSERT_EQ(data.at("messages").items().size(), 1u);
    EXPECT_EQ(data.at("messages").at(std::size_t{0}).at("title").string(), "Error");
    EXPECT_NE(data.at("messages").at(std::size_t{0}).at("text").string(), "");
}

}  // namespace
