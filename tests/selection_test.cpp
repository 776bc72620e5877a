#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/selection.h"
#include "formats/lwo_object.h"
#include "mesh/input_error.h"
#include "standin/stand_in_host.h"
#include "tests/usage_refusal.h"

namespace tarvel::cli {
namespace {

using testing::refusal;

TEST(SelectionTest, readsIndexRangesAndRefusesMalformedOnes) {
    const std::vector<IndexRange> ranges = parseIndexRanges(" 0-2, 7 ,9- ", "--select-polygons");
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0].first, 0u);
    EXPECT_EQ(ranges[0].last, 2u);
    EXPECT_EQ(ranges[1].first, 7u);
    EXPECT_EQ(ranges[1].last, 7u);
    EXPECT_EQ(ranges[2].first, 9u);
    EXPECT_FALSE(ranges[2].last.has_value());
    const auto refused = [](const char* text) {
        return refusal([text] { parseIndexRanges(text, "--select-polygons"); });
    };
    EXPECT_EQ(refused(""), "--select-polygons: an empty list of polygons");
    EXPECT_EQ(refused("1,,2"), "--select-polygons: an empty item in '1,,2'");
    EXPECT_EQ(refused("5-3"), "--select-polygons: the range '5-3' ends before it starts");
    EXPECT_EQ(refused("-4"),
              "--select-polygons: '-4' is not an index or a range of indices such as 0-99");
    EXPECT_EQ(refused("a-b"),
              "--select-polygons: 'a-b' is not an index or a range of indices such as 0-99");
}

TEST(SelectionTest, aPolygonMustMatchEveryRuleGiven) {
    standin::Mesh mesh;
    mesh.points = {{0, 0, 0}};
    const std::vector<std::pair<std::string, std::string>> polygons = {
        {"Floor", "a"}, {"Floor", "b"}, {"Wall", "a"}, {"Floor", ""}, {"Floor", "a"}};
    for (const auto& [surface, part] : polygons) {
        standin::Polygon polygon;
        polygon.surface = surface;
        if (!part.empty()) {
            polygon.tags.push_back(standin::PolygonTag{formats::kTagPart, part});
        }
        mesh.polygons.push_back(polygon);
    }
    const auto selected = [&mesh](const SelectionRules& rules) {
        applySelection(mesh, rules);
        std::string flags;
        for (const standin::Polygon& polygon : mesh.polygons) {
            flags += (polygon.flags & 1) != 0 ? '1' : '0';
        }
        return flags;
    };
    const auto rules = [](std::vector<std::string> surfaces, std::vector<std::string> parts,
                          const char* indices) {
        SelectionRules result;
        result.surfaces = std::move(surfaces);
        result.parts = std::move(parts);
        if (indices != nullptr) {
            result.polygons = parseIndexRanges(indices, "p");
        }
        return result;
    };
    EXPECT_EQ(selected(rules({"Floor"}, {}, nullptr)), "11011");
    EXPECT_EQ(selected(rules({}, {"a"}, nullptr)), "10101");
    EXPECT_EQ(selected(rules({"Floor"}, {"a"}, nullptr)), "10001");
    EXPECT_EQ(selected(rules({}, {}, "1-3")), "01110");
    EXPECT_EQ(selected(rules({"Floor"}, {}, "3-")), "00011");
    EXPECT_EQ(selected(rules({"Roof"}, {}, nullptr)), "00000");
    // Names of one kind add up; kinds narrow each other.
    EXPECT_EQ(selected(rules({"Wall", "Roof"}, {}, nullptr)), "00100");
    EXPECT_EQ(selected(rules({}, {"a", "b"}, nullptr)), "11101");
    EXPECT_EQ(selected(rules({"Floor", "Wall"}, {"b", "a"}, "1-2")), "01100");
    // --all takes the kinds the tool takes, FACE, PTCH and SUBD, and no other.
    mesh.polygons[1].type = kTypePatch;
    mesh.polygons[2].type = kTypeSubdivision;
    mesh.polygons[3].type = LWID_('C', 'U', 'R', 'V');
    SelectionRules all;
    all.all = true;
    EXPECT_EQ(selected(all), "11101");
}

TEST(SelectionTest, refusesASelectionTheFileCannotMeet) {
    standin::Mesh mesh;
    mesh.points = {{0, 0, 0}};
    for (const char* surface : {"Floor", "Floor", "Wall"}) {
        standin::Polygon polygon;
        polygon.surface = surface;
        polygon.tags.push_back(standin::PolygonTag{formats::kTagPart, "lid"});
        mesh.polygons.push_back(polygon);
    }
    const auto refused = [&mesh](const SelectionRules& rules) {
        return refusal([&] { checkSelection(mesh, rules, "m.lwo"); });
    };
    SelectionRules rules;
    EXPECT_EQ(refused(rules),
              "m.lwo: no selection: name the polygons to run on with --select-surface (surfaces: "
              "Floor (2), Wall (1)), --select-part (parts: lid (3)) or --select-polygons (0-2), or "
              "take them all with --all");
    rules.all = true;
    EXPECT_EQ(refused(rules), "accepted");
    rules = SelectionRules();
    rules.surfaces = {"Floor", "Flor"};
    EXPECT_EQ(refused(rules),
              "m.lwo: --select-surface 'Flor': no polygon has this surface (surfaces: Floor (2), "
              "Wall (1))");
    rules = SelectionRules();
    rules.parts = {"base"};
    EXPECT_EQ(refused(rules),
              "m.lwo: --select-part 'base': no polygon has this part (parts: lid (3))");
    rules = SelectionRules();
    rules.polygons = parseIndexRanges("0-2", "p");
    EXPECT_EQ(refused(rules), "accepted");
    for (const char* beyond : {"3", "1-3", "3-", "0,7"}) {
        rules.polygons = parseIndexRanges(beyond, "p");
        EXPECT_EQ(refused(rules).rfind("m.lwo: --select-polygons: polygon ", 0), 0u) << beyond;
    }
    rules.polygons = parseIndexRanges("1-5", "p");
    EXPECT_EQ(refused(rules),
              "m.lwo: --select-polygons: polygon 5 is beyond the 3 polygons there are (0-2)");
}

}  // namespace
}  // namespace tarvel::cli
