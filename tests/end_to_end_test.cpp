// Whole runs of the real module file in the stand-in host: every way a run ends, and the
// links, tags and removals of completed runs, against stored traces.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "standin/scene_reader.h"
#include "standin/trace_writer.h"
#include "tests/module_runs.h"

namespace tarvel {
namespace {

using standin::JsonValue;
using testing::callsOf;
using testing::opSequence;
using testing::productModule;

const std::filesystem::path kScenes = std::filesystem::path(TARVEL_SOURCE_DIR) / "tests/scenes";
const std::filesystem::path kGolden = std::filesystem::path(TARVEL_SOURCE_DIR) / "tests/golden";

/// Runs the scene file and compares the whole trace with the stored one. With
/// TARVEL_UPDATE_GOLDEN set, stores the trace instead.
JsonValue runAndCompare(const std::string& name) {
    const standin::Trace trace =
        testing::run(productModule(), standin::loadScene(kScenes / (name + ".json")));
    const std::string text = standin::traceText(trace);
    const std::filesystem::path golden = kGolden / (name + ".trace.json");
    if (std::getenv("TARVEL_UPDATE_GOLDEN") != nullptr) {
        std::ofstream(golden, std::ios::binary) << text;
    } else {
        std::ifstream in(golden, std::ios::binary);
        std::stringstream stored;
        stored << in.rdbuf();
        EXPECT_TRUE(in.good()) << "no stored trace " << golden;
        EXPECT_EQ(text, stored.str()) << "trace of " << name << " differs from " << golden;
    }
    return standin::parseJson(text);
}

std::string doneArgs(const JsonValue& trace) {
    const auto done = callsOf(trace, "done");
    if (done.size() != 1) {
        return "done called " + std::to_string(done.size()) + " times";
    }
    return done[0]->at("error").numberText() + "," + done[0]->at("selmode").numberText();
}

std::vector<std::string> links(const JsonValue& trace) {
    std::vector<std::string> out;
    const auto tags = callsOf(trace, "polTag");
    for (const JsonValue* add : callsOf(trace, "addFace")) {
        std::string link =
            add->at("points").at(0).numberText() + "-" + add->at("points").at(1).numberText();
        for (const JsonValue* tag : tags) {
            if (!add->at("result").isNull() &&
                tag->at("polygon").numberText() == add->at("result").numberText()) {
                link += " " + tag->at("value").string();
            }
        }
        out.push_back(link);
    }
    return out;
}

std::vector<std::string> removed(const JsonValue& trace) {
    std::vector<std::string> out;
    for (const JsonValue* call : callsOf(trace, "remPoly")) {
        out.push_back(call->at("polygon").numberText());
    }
    return out;
}

using Strings = std::vector<std::string>;

TEST(ActivationTest, facingQuadsAreLinkedCornerToCornerAndRemoved) {
    const JsonValue trace = runAndCompare("facing_quads");
    EXPECT_EQ(trace.at("result").numberText(), "0");
    // Both quads lie about the origin after flattening; their corners sort clockwise from +y.
    EXPECT_EQ(links(trace), (Strings{"2-6 Red", "1-7 DkRed", "0-4 DkRed", "3-5 DkRed"}));
    EXPECT_EQ(removed(trace), (Strings{"0", "1"}));
    EXPECT_EQ(doneArgs(trace), "0,9");
    EXPECT_EQ(opSequence(trace).back(), "done");
    // The links survive, the quads are gone.
    const JsonValue& polygons = trace.at("mesh").at("polygons");
    ASSERT_EQ(polygons.items().size(), 4u);
    EXPECT_EQ(polygons.at(0).at("surface").string(), "test");
    EXPECT_EQ(polygons.at(0).at("tags").at("COLR").string(), "Red");
}

TEST(ActivationTest, noEditMeansResultThreeAndNothingElse) {
    const JsonValue trace = runAndCompare("no_edit");
    EXPECT_EQ(trace.at("result").numberText(), "3");
    EXPECT_EQ(opSequence(trace), Strings{"begin"});
    EXPECT_EQ(trace.find("mesh"), nullptr);
}

TEST(ActivationTest, fewerThanTwoSelectedStopsBeforeTheScan) {
    const JsonValue trace = runAndCompare("one_selected");
    EXPECT_EQ(opSequence(trace),
              (Strings{"begin", "global", "global", "polyCount", "error", "done"}));
    const JsonValue& error = *callsOf(trace, "error")[0];
    EXPECT_EQ(error.at("text").string(),
              "Need at least two directly selected polys in primary foreground layer");
    EXPECT_TRUE(error.at("text2").isNull());
    EXPECT_EQ(doneArgs(trace), "0,0");

    const JsonValue silent = runAndCompare("silent_host");
    EXPECT_TRUE(callsOf(silent, "error").empty());
    EXPECT_EQ(doneArgs(silent), "0,0");
}

TEST(ActivationTest, oneGroupOrNothingCapturedStopsWithTheGroupMessage) {
    for (const char* name : {"one_group", "nothing_captured"}) {
        const JsonValue trace = runAndCompare(name);
        const auto errors = callsOf(trace, "error");
        ASSERT_EQ(errors.size(), 1u) << name;
        EXPECT_EQ(errors[0]->at("text").string(), "Need at least two groups of polys");
        EXPECT_EQ(doneArgs(trace), "0,0") << name;
        EXPECT_TRUE(callsOf(trace, "addFace").empty());
        EXPECT_TRUE(callsOf(trace, "remPoly").empty());
    }
}

TEST(ActivationTest, perpendicularGroupsGetTheTwoLineMessage) {
    const JsonValue trace = runAndCompare("perpendicular");
    const auto errors = callsOf(trace, "error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]->at("text").string(), "Selected groups not facing each other");
    EXPECT_EQ(errors[0]->at("text2").string(),
              "Angle between groups should be less than 45 degrees.");
    EXPECT_EQ(doneArgs(trace), "0,0");
}

TEST(ActivationTest, anUnpairedGroupStaysInTheMesh) {
    const JsonValue trace = runAndCompare("three_groups");
    EXPECT_EQ(removed(trace), (Strings{"0", "2"}));
    EXPECT_EQ(links(trace).size(), 4u);
    EXPECT_EQ(doneArgs(trace), "0,9");
}

TEST(ActivationTest, captureStopsAtTheCountedSlots) {
    const JsonValue trace = runAndCompare("capture_limit");
    // The third polygon is selected but beyond polyCount: no point of it is asked for.
    for (const JsonValue* call : callsOf(trace, "pointInfo")) {
        EXPECT_LT(std::stoi(call->at("point").numberText()), 8);
    }
    EXPECT_EQ(callsOf(trace, "polyNormal").size(), 2u);
    EXPECT_EQ(removed(trace), (Strings{"0", "1"}));
}

TEST(ActivationTest, otherPolygonTypesAreCountedButNotCaptured) {
    const JsonValue trace = runAndCompare("other_types");
    EXPECT_EQ(callsOf(trace, "polyCount")[0]->at("result").numberText(), "3");
    EXPECT_EQ(callsOf(trace, "polyNormal").size(), 2u);
    EXPECT_EQ(removed(trace), (Strings{"1", "2"}));
}

TEST(ActivationTest, onlyBitZeroOfTheFlagsSelects) {
    // Flags 2 is not selected though other bits are set; flags 3 is selected.
    const JsonValue trace = testing::traceJson(testing::run(productModule(), testing::sceneFrom(R"({
        "points": [[0,0,0],[1,0,0],[1,1,0],[0,1,0],[0,0,1],[0,1,1],[1,1,1],[1,0,1],[5,5,5]],
        "polygons": [{"points": [0,1,2,3], "flags": 3}, {"points": [4,5,6,7], "flags": 3},
                     {"points": [8,0,1], "flags": 2}],
        "host": {"polyCount": 3}})")));
    EXPECT_EQ(callsOf(trace, "polyNormal").size(), 2u);
    EXPECT_EQ(removed(trace), (Strings{"0", "1"}));
}

TEST(ActivationTest, aLinkTheHostMakesNoPolygonForGetsNoTag) {
    const JsonValue trace = runAndCompare("no_face_added");
    EXPECT_EQ(callsOf(trace, "addFace").size(), 4u);
    EXPECT_TRUE(callsOf(trace, "polTag").empty());
    EXPECT_EQ(removed(trace), (Strings{"0", "1"}));
    EXPECT_EQ(doneArgs(trace), "0,9");
}

TEST(ActivationTest, aPairWithoutBoundaryIsLeftWhileOthersAreLinked) {
    const JsonValue trace = runAndCompare("empty_boundary");
    for (const std::string& link : links(trace)) {
        EXPECT_GE(std::stoi(link), 8) << link;  // only the right pair's points
    }
    EXPECT_EQ(links(trace).size(), 4u);
    EXPECT_EQ(removed(trace), (Strings{"4", "3"}));  // the ceiling seeds its group first
    EXPECT_EQ(doneArgs(trace), "0,9");
}

TEST(ActivationTest, degenerateBoundariesStillLinkEveryPoint) {
    // A boundary on one line has a box of no height, and its middle point sits at the box's
    // centre, with no angle; the run completes all the same.
    const JsonValue flat = runAndCompare("flat_boundary");
    EXPECT_EQ(links(flat).size(), 3u);
    EXPECT_EQ(doneArgs(flat), "0,9");
    const JsonValue nan = runAndCompare("not_a_number");
    EXPECT_EQ(callsOf(nan, "done").size(), 1u);
}

TEST(ActivationTest, bundledExampleLinksTheGridsAndKeepsTheWall) {
    const standin::Trace run =
        testing::run(productModule(), standin::loadScene(std::filesystem::path(TARVEL_SOURCE_DIR) /
                                                         "examples/facing_grids.json"));
    const JsonValue trace = testing::traceJson(run);
    EXPECT_EQ(doneArgs(trace), "0,9");
    EXPECT_EQ(removed(trace).size(), 25u);  // 16 floor and 9 ceiling quads
    // The floor's 16 boundary points each get one link; the ceiling's 12 are all chosen.
    EXPECT_EQ(links(trace).size(), 16u);
    const JsonValue& polygons = trace.at("mesh").at("polygons");
    EXPECT_EQ(polygons.at(0).at("surface").string(), "Wall");
}

}  // namespace
}  // namespace tarvel
