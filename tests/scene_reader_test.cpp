#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "mesh/input_error.h"
#include "standin/scene_reader.h"

namespace tarvel::standin {
namespace {

/// The message readScene gives for `text`, read as "scene.json".
std::string sceneError(const std::string& text) {
    try {
        readScene(text, "scene.json");
    } catch (const InputError& error) {
        return error.what();
    }
    return "no error";
}

/// A scene of one point and one polygon whose members are `polygon`.
std::string withPolygon(const std::string& polygon) {
    return R"({"points": [[0, 0, 0]], "polygons": [{"points": [0])" + polygon + "}]}";
}

TEST(SceneReaderTest, givesTheDefaultsOfEveryOptionalMember) {
    const Scene scene = readScene(R"({"points": [[1, 2, 3]], "polygons": [{"points": []}]})", "s");
    ASSERT_EQ(scene.mesh.points.size(), 1u);
    EXPECT_EQ(scene.mesh.points[0], (Point{1.0, 2.0, 3.0}));
    ASSERT_EQ(scene.mesh.polygons.size(), 1u);
    const Polygon& polygon = scene.mesh.polygons[0];
    EXPECT_TRUE(polygon.points.empty());
    EXPECT_EQ(polygon.type, kTypeFace);
    EXPECT_EQ(polygon.flags, 1);
    EXPECT_FALSE(polygon.normal.has_value());
    EXPECT_EQ(polygon.surface, "Default");
    EXPECT_TRUE(polygon.tags.empty());
    EXPECT_TRUE(scene.host.edit);
    EXPECT_TRUE(scene.host.messages);
    EXPECT_FALSE(scene.host.polyCount.has_value());
    EXPECT_TRUE(scene.host.addFace);
}

TEST(SceneReaderTest, readsEveryMemberGiven) {
    const Scene scene = readScene(R"({
        "polygons": [{"points": [2, 0, 2], "type": "PTCH", "flags": 6, "normal": [0, -0, 1],
                      "surface": "lid", "tags": {"PART": "top", "COLR": "Red"}}],
        "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0]],
        "host": {"edit": false, "messages": false, "polyCount": -4, "addFace": false}})",
                                  "s");
    const Polygon& polygon = scene.mesh.polygons.at(0);
    EXPECT_EQ(polygon.points, (std::vector<std::int32_t>{2, 0, 2}));
    EXPECT_EQ(polygon.type, 0x50544348u);
    EXPECT_EQ(polygon.flags, 6);
    ASSERT_TRUE(polygon.normal.has_value());
    EXPECT_TRUE(std::signbit((*polygon.normal)[1]));
    EXPECT_EQ(polygon.surface, "lid");
    ASSERT_EQ(polygon.tags.size(), 2u);
    EXPECT_EQ(fourCharacterText(polygon.tags[0].type), "PART");
    EXPECT_EQ(polygon.tags[0].value, "top");
    EXPECT_EQ(*findTag(polygon, kTagColour), "Red");
    EXPECT_FALSE(scene.host.edit);
    EXPECT_FALSE(scene.host.messages);
    EXPECT_EQ(scene.host.polyCount, -4);
    EXPECT_FALSE(scene.host.addFace);
}

TEST(SceneReaderTest, readsCoordinatesAsStrtodDoesAndNonFiniteOnesFromStrings) {
    const Scene scene = readScene(R"({"points": [[-0, 1e999, "nan"], ["inf", "-inf", -1e-999]],
                                      "polygons": []})",
                                  "s");
    const Point& first = scene.mesh.points[0];
    EXPECT_TRUE(first[0] == 0.0 && std::signbit(first[0]));
    EXPECT_EQ(first[1], std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(first[2]));
    const Point& second = scene.mesh.points[1];
    EXPECT_EQ(second[0], std::numeric_limits<double>::infinity());
    EXPECT_EQ(second[1], -std::numeric_limits<double>::infinity());
    EXPECT_TRUE(second[2] == 0.0 && std::signbit(second[2]));
}

TEST(SceneReaderTest, refusesPolygonsNamingMissingPoints) {
    const std::string points = R"("points": [[0,0,0], [1,0,0], [1,1,0]])";
    EXPECT_EQ(sceneError("{" + points + R"(, "polygons": [{"points": [0, 1, 2]},
                                           {"points": [0, 12]}]})"),
              "scene.json: polygons[1].points[1]: point 12 does not exist");
    // Points given after the polygons are checked all the same.
    EXPECT_EQ(sceneError(R"({"polygons": [{"points": [3]}], )" + points + "}"),
              "scene.json: polygons[0].points[0]: point 3 does not exist");
    EXPECT_EQ(sceneError("{" + points + R"(, "polygons": [{"points": [-1]}]})"),
              "scene.json: polygons[0].points[0]: point -1 does not exist");
    EXPECT_EQ(sceneError("{" + points + R"(, "polygons": [{"points": [99999999999999999999]}]})"),
              "scene.json: polygons[0].points[0]: point 99999999999999999999 does not exist");
}

TEST(SceneReaderTest, syntaxErrorsNameLineAndColumn) {
    EXPECT_EQ(sceneError("{\n  \"points\": [],\n  \"polygons\": []\n  \"host\": {}}"),
              "scene.json:4:3: expected ',' or '}'");
    EXPECT_EQ(sceneError(R"({"points": [[0, 0, 0]], "polygons": [{"points": [0,]}]})"),
              "scene.json:1:52: expected a value");
}

TEST(SceneReaderTest, refusesMembersOfTheWrongKindOrShape) {
    EXPECT_EQ(sceneError("[]"), "scene.json: expected an object, found an array");
    EXPECT_EQ(sceneError(R"({"points": {}, "polygons": []})"),
              "scene.json: points: expected an array, found an object");
    EXPECT_EQ(sceneError(R"({"points": [[0, 0]], "polygons": []})"),
              "scene.json: points[0]: expected 3 coordinates, found 2");
    EXPECT_EQ(sceneError(R"({"points": [[0, 0, 0, 0]], "polygons": []})"),
              "scene.json: points[0]: expected 3 coordinates, found more");
    EXPECT_EQ(sceneError(R"({"points": [[0, "NaN", 0]], "polygons": []})"),
              "scene.json: points[0][1]: expected a number, \"nan\", \"inf\" or \"-inf\", found "
              "\"NaN\"");
    EXPECT_EQ(sceneError(R"({"points": [[0, null, 0]], "polygons": []})"),
              "scene.json: points[0][1]: expected a number, found null");
    EXPECT_EQ(sceneError(withPolygon(R"(, "flags": "1")")),
              "scene.json: polygons[0].flags: expected an integer, found a string");
    EXPECT_EQ(sceneError(withPolygon(R"(, "flags": 1.0)")),
              "scene.json: polygons[0].flags: expected an integer, found 1.0");
    EXPECT_EQ(sceneError(withPolygon(R"(, "flags": 4294967296)")),
              "scene.json: polygons[0].flags: 4294967296 is out of range");
    EXPECT_EQ(sceneError(withPolygon(R"(, "normal": [0, 1])")),
              "scene.json: polygons[0].normal: expected 3 components, found 2");
    EXPECT_EQ(sceneError(withPolygon(R"(, "surface": 7)")),
              "scene.json: polygons[0].surface: expected a string, found a number");
    EXPECT_EQ(sceneError(R"({"points": [], "polygons": [], "host": {"edit": 1}})"),
              "scene.json: host.edit: expected a boolean, found a number");
    EXPECT_EQ(sceneError(R"({"points": [], "polygons": [], "host": {"polyCount": 2e0}})"),
              "scene.json: host.polyCount: expected an integer, found 2e0");
}

TEST(SceneReaderTest, typesAndTagTypesMustBeFourPrintableCharacters) {
    EXPECT_EQ(sceneError(withPolygon(R"(, "type": "FAC")")),
              "scene.json: polygons[0].type: expected four printable ASCII characters, found "
              "\"FAC\"");
    EXPECT_EQ(sceneError(withPolygon(R"(, "type": "FA\tE")")),
              "scene.json: polygons[0].type: expected four printable ASCII characters, found "
              "\"FA\\tE\"");
    EXPECT_EQ(sceneError(withPolygon(R"(, "type": "FAC\u00c9")")),
              "scene.json: polygons[0].type: expected four printable ASCII characters, found "
              "\"FAC\xC3\x89\"");
    EXPECT_EQ(sceneError(withPolygon(R"(, "tags": {"COLOR": "Red"})")),
              "scene.json: polygons[0].tags.COLOR: expected four printable ASCII characters, "
              "found \"COLOR\"");
    EXPECT_EQ(sceneError(withPolygon(R"(, "tags": {"COLR": 1})")),
              "scene.json: polygons[0].tags.COLR: expected a string, found a number");
    EXPECT_EQ(sceneError(withPolygon(R"(, "tags": {"COLR": "Red", "COLR": "Blue"})")),
              "scene.json: polygons[0].tags.COLR: given twice");
    EXPECT_EQ(fourCharacterCode(" ~!a"), std::optional<LWID>(0x207E2161));
}

TEST(SceneReaderTest, refusesMissingUnknownAndRepeatedMembers) {
    EXPECT_EQ(sceneError(R"({"polygons": []})"), "scene.json: points: required member missing");
    EXPECT_EQ(sceneError(R"({"points": []})"), "scene.json: polygons: required member missing");
    EXPECT_EQ(sceneError(R"({"points": [], "polygons": [{}]})"),
              "scene.json: polygons[0].points: required member missing");
    EXPECT_EQ(sceneError(R"({"points": [], "polygons": [], "polygon": []})"),
              "scene.json: polygon: unknown member");
    EXPECT_EQ(sceneError(withPolygon(R"(, "normals": [0, 0, 1])")),
              "scene.json: polygons[0].normals: unknown member");
    EXPECT_EQ(sceneError(R"({"points": [], "polygons": [], "host": {"edits": true}})"),
              "scene.json: host.edits: unknown member");
    EXPECT_EQ(sceneError(R"({"points": [], "polygons": [], "points": []})"),
              "scene.json: points: given twice");
    EXPECT_EQ(sceneError(withPolygon(R"(, "flags": 1, "flags": 0)")),
              "scene.json: polygons[0].flags: given twice");
}

TEST(SceneReaderTest, namesAFileThatCannotBeRead) {
    try {
        loadScene("no/such/scene.json");
        FAIL() << "a missing file was read";
    } catch (const InputError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "no/such/scene.json: cannot open: No such file or directory");
    }
}

}  // namespace
}  // namespace tarvel::standin
