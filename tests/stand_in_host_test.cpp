#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "standin/stand_in_host.h"
#include "standin/trace_writer.h"
#include "testing/json_value.h"
#include "tests/scripted_plugin.h"

extern "C" const ModuleDescriptor _mod_descrip;

namespace tarvel::standin {
namespace {

using testing::runScript;
using testing::Script;
using testing::scriptedDescriptor;

JsonValue traceJson(const Trace& trace) {
    return parseJson(traceText(trace));
}

/// The logged calls, each as its one-line JSON text.
std::vector<std::string> callLines(const Trace& trace) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < trace.calls.size(); ++i) {
        JsonWriter json(lines.emplace_back());
        trace.calls.writeJson(json, i);
    }
    return lines;
}

/// Points 0 to 4; polygon 0 a selected quad, polygon 1 an unselected patch with a given normal.
Scene twoPolygonScene() {
    Scene scene;
    scene.mesh.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}};
    Polygon quad;
    quad.points = {0, 1, 2, 3};
    Polygon patch;
    patch.points = {0, 1, 4};
    patch.type = kTypePatch;
    patch.flags = 0;
    patch.normal = Point{0.0, -1.0, std::numeric_limits<double>::quiet_NaN()};
    patch.surface = "side";
    patch.tags = {{LWID_('P', 'A', 'R', 'T'), "wall"}};
    scene.mesh.polygons = {quad, patch};
    return scene;
}

/// What one scan of the primary layer showed.
struct Scanned {
    std::vector<LWPolID> polygons;
    std::vector<std::vector<LWPntID>> points;
    std::vector<int> flags;
    std::vector<LWID> types;
    std::vector<std::string> surfaces;
};

EDError recordPolygon(void* userData, const EDPolygonInfo* info) {
    auto* scanned = static_cast<Scanned*>(userData);
    scanned->polygons.push_back(info->pol);
    scanned->points.emplace_back(info->points, info->points + info->numPnts);
    scanned->flags.push_back(info->flags);
    scanned->types.push_back(info->type);
    scanned->surfaces.emplace_back(info->surface);
    return 0;
}

Scanned scan(MeshEditOp* edit) {
    Scanned scanned;
    edit->polyScan(edit->state, recordPolygon, &scanned, 0);
    return scanned;
}

LWPntID noSuchPoint() {
    return reinterpret_cast<LWPntID>(std::uintptr_t{1000});
}

TEST(StandInHostTest, aRefusedEditGivesNullAndTheTraceHasNoMesh) {
    Scene scene = twoPolygonScene();
    scene.host.edit = false;
    const Trace trace = runScript(
        scene, [](GlobalFunc*, MeshEditBegin* begin) { return begin(0, 0, 2) == nullptr ? 3 : 0; });
    EXPECT_EQ(trace.result, 3);
    EXPECT_FALSE(trace.mesh.has_value());
    EXPECT_EQ(callLines(trace), std::vector<std::string>{R"({"op": "begin", "args": [0, 0, 2]})"});
    EXPECT_EQ(traceJson(trace).find("mesh"), nullptr);
}

TEST(StandInHostTest, globalServicesFollowTheHostsAnswers) {
    for (const bool messages : {true, false}) {
        Scene scene = twoPolygonScene();
        scene.host.messages = messages;
        std::vector<void*> given;
        const Trace trace = runScript(scene, [&given](GlobalFunc* global, MeshEditBegin*) {
            for (const char* name :
                 std::vector<const char*>{"Info Messages 2", "File IO", "Info Messages", nullptr}) {
                given.push_back(global(name, 0));
            }
            return 0;
        });
        ASSERT_EQ(given.size(), 4u);
        EXPECT_EQ(given[0] != nullptr, messages);
        EXPECT_NE(given[1], nullptr);
        EXPECT_EQ(given[2], nullptr);
        EXPECT_EQ(given[3], nullptr);
        EXPECT_EQ(callLines(trace),
                  (std::vector<std::string>{
                      R"({"op": "global", "service": "Info Messages 2", "use": 0})",
                      R"({"op": "global", "service": "File IO", "use": 0})",
                      R"({"op": "global", "service": "Info Messages", "use": 0})",
                      R"({"op": "global", "service": null, "use": 0})",
                  }));
    }
}

TEST(StandInHostTest, messagesAreLoggedInOrderAndKeptEvenWhenCallsAreOnlyCounted) {
    const Script script = [](GlobalFunc* global, MeshEditBegin*) {
        auto* messages = static_cast<LWMessageFuncs*>(global("Info Messages 2", 0));
        messages->error("Need at least two groups of polys", nullptr);
        messages->info("first", "second");
        messages->warning(nullptr, "only the second");
        return 0;
    };
    const Trace full = runScript(twoPolygonScene(), script);
    const std::vector<std::string> lines = callLines(full);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[1],
              R"({"op": "error", "text": "Need at least two groups of polys", "text2": null})");
    EXPECT_EQ(lines[2], R"({"op": "info", "text": "first", "text2": "second"})");
    EXPECT_EQ(lines[3], R"({"op": "warning", "text": null, "text2": "only the second"})");

    const Trace counted = runScript(twoPolygonScene(), script, CallLogging::countsOnly);
    EXPECT_EQ(counted.calls.size(), 0u);
    EXPECT_EQ(counted.calls.count(CallOp::global), 1u);
    EXPECT_EQ(counted.calls.count(CallOp::error), 1u);
    ASSERT_EQ(counted.calls.messages().size(), 3u);
    EXPECT_EQ(counted.calls.messages()[0].kind, CallOp::error);
    EXPECT_EQ(counted.calls.messages()[0].text, "Need at least two groups of polys");
    EXPECT_EQ(counted.calls.messages()[0].text2, std::nullopt);
    EXPECT_EQ(counted.calls.messages()[2].text, std::nullopt);
    const JsonValue counts = traceJson(counted).at("callCounts");
    EXPECT_EQ(counts.at("info").numberText(), "1");
    EXPECT_EQ(counts.find("polyScan"), nullptr);
}

TEST(StandInHostTest, polyCountReportsSelectedPolygonsUnlessTheSceneOverridesIt) {
    const auto counts = [](Scene scene) {
        std::vector<int> results;
        runScript(std::move(scene), [&results](GlobalFunc*, MeshEditBegin* begin) {
            MeshEditOp* edit = begin(0, 0, 2);
            results.push_back(edit->polyCount(edit->state, 0, 1));
            results.push_back(edit->polyCount(edit->state, 0, 0));
            results.push_back(edit->polyCount(edit->state, 2, 1));
            edit->remPoly(edit->state, scan(edit).polygons[0]);
            results.push_back(edit->polyCount(edit->state, 0, 1));
            results.push_back(edit->polyCount(edit->state, 0, 0));
            edit->done(edit->state, 0, 0);
            return 0;
        });
        return results;
    };
    EXPECT_EQ(counts(twoPolygonScene()), (std::vector<int>{1, 2, 0, 0, 1}));
    Scene overridden = twoPolygonScene();
    overridden.host.polyCount = 7;
    EXPECT_EQ(counts(overridden), (std::vector<int>{7, 2, 0, 7, 1}));
}

// The edit record is filled whole, as the host lays it out; each operation no plug-in of this
// host may call ends the process at once, naming it, before the plug-in can go on.
TEST(StandInHostDeathTest, everyOperationTheToolNeverCallsEndsTheRunByName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::pair<EDUncalledFunc MeshEditOp::*, const char*> uncalled[] = {
        {&MeshEditOp::pointCount, "pointCount"}, {&MeshEditOp::pointScan, "pointScan"},
        {&MeshEditOp::polyInfo, "polyInfo"},     {&MeshEditOp::addPoint, "addPoint"},
        {&MeshEditOp::addCurve, "addCurve"},     {&MeshEditOp::addQuad, "addQuad"},
        {&MeshEditOp::addTri, "addTri"},         {&MeshEditOp::addPatch, "addPatch"},
        {&MeshEditOp::remPoint, "remPoint"},     {&MeshEditOp::pntMove, "pntMove"},
        {&MeshEditOp::polSurf, "polSurf"},       {&MeshEditOp::polPnts, "polPnts"},
        {&MeshEditOp::polFlag, "polFlag"},       {&MeshEditOp::pntVMap, "pntVMap"},
        {&MeshEditOp::addPoly, "addPoly"},       {&MeshEditOp::addIPnt, "addIPnt"},
        {&MeshEditOp::initUV, "initUV"},         {&MeshEditOp::pointVSet, "pointVSet"},
        {&MeshEditOp::pointVGet, "pointVGet"},   {&MeshEditOp::polyTag, "polyTag"},
        {&MeshEditOp::pntSelect, "pntSelect"},   {&MeshEditOp::polSelect, "polSelect"},
        {&MeshEditOp::pointVPGet, "pointVPGet"}, {&MeshEditOp::pointVEval, "pointVEval"},
        {&MeshEditOp::pntVPMap, "pntVPMap"},
    };
    for (const auto& [member, name] : uncalled) {
        const auto callIt = [member = member] {
            runScript(twoPolygonScene(), [member](GlobalFunc*, MeshEditBegin* begin) {
                MeshEditOp* edit = begin(0, 0, 2);
                (edit->*member)();
                edit->done(edit->state, 0, 0);
                return 0;
            });
        };
        EXPECT_EXIT(callIt(), ::testing::ExitedWithCode(1),
                    std::string("the host's edit operation ") + name + ", which this tool never")
            << name;
    }
    // The record's layer number is the scene's one layer.
    runScript(twoPolygonScene(), [](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        EXPECT_EQ(edit->layerNum, 1);
        edit->done(edit->state, 0, 0);
        return 0;
    });
}

TEST(StandInHostTest, polyScanShowsEveryPolygonInOrderAndNestedCallsFollowIt) {
    struct Context {
        MeshEditOp* edit;
        std::vector<Point> positions;
        std::vector<std::string> surfaces;
    } context{};
    const EDPolyScanFunc* visit = [](void* userData, const EDPolygonInfo* info) -> EDError {
        auto* c = static_cast<Context*>(userData);
        for (int k = 0; k < info->numPnts; ++k) {
            const EDPointInfo* point = c->edit->pointInfo(c->edit->state, info->points[k]);
            c->positions.push_back({point->position[0], point->position[1], point->position[2]});
        }
        c->surfaces.emplace_back(info->surface);
        return 0;
    };
    Scanned scanned;
    const Trace trace = runScript(twoPolygonScene(), [&](GlobalFunc*, MeshEditBegin* begin) {
        context.edit = begin(0, 0, 2);
        const EDError result = context.edit->polyScan(context.edit->state, visit, &context, 0);
        scanned = scan(context.edit);
        context.edit->done(context.edit->state, result, 0);
        return 0;
    });
    EXPECT_EQ(context.positions,
              (std::vector<Point>{
                  {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 0, 1}}));
    EXPECT_EQ(context.surfaces, (std::vector<std::string>{"Default", "side"}));
    ASSERT_EQ(scanned.polygons.size(), 2u);
    EXPECT_NE(scanned.polygons[0], nullptr);
    EXPECT_NE(scanned.polygons[0], scanned.polygons[1]);
    EXPECT_EQ(scanned.flags, (std::vector<int>{1, 0}));
    EXPECT_EQ(scanned.types, (std::vector<LWID>{kTypeFace, kTypePatch}));
    // A point keeps one non-null handle wherever it appears.
    EXPECT_NE(scanned.points[0][0], nullptr);
    EXPECT_EQ(scanned.points[0][0], scanned.points[1][0]);
    EXPECT_NE(scanned.points[0][0], scanned.points[0][1]);

    const std::vector<std::string> lines = callLines(trace);
    ASSERT_EQ(lines.size(), 11u);
    EXPECT_EQ(lines[1], R"({"op": "polyScan", "layer": 0})");
    EXPECT_EQ(lines[2], R"({"op": "pointInfo", "point": 0})");
    EXPECT_EQ(lines[5], R"({"op": "pointInfo", "point": 3})");
    EXPECT_EQ(lines[8], R"({"op": "pointInfo", "point": 4})");
    EXPECT_EQ(lines[10], R"({"op": "done", "error": 0, "selmode": 0})");
}

TEST(StandInHostTest, aScanStopsAtTheFirstNonZeroCallbackResult) {
    int visits = 0;
    EDError result = 0;
    runScript(twoPolygonScene(), [&](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        result = edit->polyScan(
            edit->state,
            [](void* count, const EDPolygonInfo*) -> EDError {
                ++*static_cast<int*>(count);
                return 4;
            },
            &visits, 0);
        return 0;
    });
    EXPECT_EQ(visits, 1);
    EXPECT_EQ(result, 4);
}

TEST(StandInHostTest, pointInfoGivesNullForAHandleThatNamesNoPoint) {
    std::vector<const EDPointInfo*> given;
    const Trace trace = runScript(twoPolygonScene(), [&](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        given.push_back(edit->pointInfo(edit->state, nullptr));
        given.push_back(edit->pointInfo(edit->state, noSuchPoint()));
        return 0;
    });
    EXPECT_EQ(given, (std::vector<const EDPointInfo*>{nullptr, nullptr}));
    EXPECT_EQ(callLines(trace)[1], R"({"op": "pointInfo", "point": null})");
    EXPECT_EQ(callLines(trace)[2], R"({"op": "pointInfo", "point": 999})");
}

TEST(StandInHostTest, polyNormalReportsTheScenesNormalOrComputesIt) {
    std::vector<int> results;
    std::vector<Point> normals;
    runScript(twoPolygonScene(), [&](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        const Scanned scanned = scan(edit);
        const LWPolID line = edit->addFace(edit->state, "test", 2, scanned.points[0].data());
        const auto ask = [&](LWPolID polygon) {
            double normal[3] = {9, 9, 9};
            results.push_back(edit->polyNormal(edit->state, polygon, normal));
            normals.push_back({normal[0], normal[1], normal[2]});
        };
        ask(scanned.polygons[0]);
        ask(scanned.polygons[1]);
        ask(line);
        edit->remPoly(edit->state, scanned.polygons[0]);
        ask(scanned.polygons[0]);
        edit->done(edit->state, 0, 9);
        return 0;
    });
    EXPECT_EQ(results, (std::vector<int>{1, 1, 0, 0}));
    EXPECT_EQ(normals[0], (Point{0, 0, 1}));
    // Given in the scene: reported as given, NaN and all.
    EXPECT_EQ(normals[1][1], -1.0);
    EXPECT_TRUE(std::isnan(normals[1][2]));
    EXPECT_EQ(normals[2], (Point{0, 0, 0}));
    EXPECT_EQ(normals[3], (Point{0, 0, 0}));
}

TEST(StandInHostTest, addedPolygonsAreFacesWithTheirSurfaceAndTags) {
    LWPolID added = nullptr;
    const Trace trace = runScript(twoPolygonScene(), [&](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        const Scanned scanned = scan(edit);
        const LWPntID ends[2] = {scanned.points[0][3], scanned.points[1][2]};
        added = edit->addFace(edit->state, "test", 2, ends);
        edit->polTag(edit->state, added, kTagColour, "Red");
        edit->polTag(edit->state, added, kTagColour, "Blue");
        edit->polTag(edit->state, nullptr, kTagColour, "Red");
        edit->done(edit->state, 0, 9);
        return 0;
    });
    EXPECT_NE(added, nullptr);
    const std::vector<std::string> lines = callLines(trace);
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[2], R"({"op": "addFace", "surface": "test", "points": [3, 4], "result": 2})");
    EXPECT_EQ(lines[3], R"({"op": "polTag", "polygon": 2, "type": "COLR", "value": "Red"})");
    EXPECT_EQ(lines[5], R"({"op": "polTag", "polygon": null, "type": "COLR", "value": "Red"})");

    const JsonValue polygons = traceJson(trace).at("mesh").at("polygons");
    ASSERT_EQ(polygons.items().size(), 3u);
    std::string last;
    JsonWriter json(last);
    writePolygonJson(json, 2, trace.mesh->polygons[2]);
    EXPECT_EQ(last, R"({"id": 2, "points": [3, 4], "type": "FACE", "flags": 0, )"
                    R"("surface": "test", "tags": {"COLR": "Blue"}})");
}

TEST(StandInHostTest, addFaceCreatesNothingWhenRefusedOrGivenPointsThatDoNotExist) {
    const auto addOne = [](Scene scene, bool goodPoints) {
        return runScript(std::move(scene), [goodPoints](GlobalFunc*, MeshEditBegin* begin) {
            MeshEditOp* edit = begin(0, 0, 2);
            const Scanned scanned = scan(edit);
            const LWPntID ends[2] = {scanned.points[0][0],
                                     goodPoints ? scanned.points[0][1] : noSuchPoint()};
            edit->addFace(edit->state, "test", 2, ends);
            edit->done(edit->state, 0, 9);
            return 0;
        });
    };
    Scene refusing = twoPolygonScene();
    refusing.host.addFace = false;
    const Trace refused = addOne(refusing, true);
    EXPECT_EQ(callLines(refused)[2],
              R"({"op": "addFace", "surface": "test", "points": [0, 1], "result": null})");
    EXPECT_EQ(refused.mesh->polygons.size(), 2u);

    const Trace badPoint = addOne(twoPolygonScene(), false);
    EXPECT_EQ(callLines(badPoint)[2],
              R"({"op": "addFace", "surface": "test", "points": [0, 999], "result": null})");
    EXPECT_EQ(badPoint.mesh->polygons.size(), 2u);
}

TEST(StandInHostTest, removingAPolygonTwiceOrOneThatDoesNotExistChangesNothingMore) {
    std::vector<EDError> results;
    const Trace trace = runScript(twoPolygonScene(), [&](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        const LWPolID first = scan(edit).polygons[0];
        for (const LWPolID polygon :
             {first, first, LWPolID{nullptr}, reinterpret_cast<LWPolID>(std::uintptr_t{50})}) {
            results.push_back(edit->remPoly(edit->state, polygon));
        }
        results.push_back(edit->polTag(edit->state, first, kTagColour, "Red"));
        edit->done(edit->state, 0, 9);
        return 0;
    });
    EXPECT_EQ(results[0], 0);
    for (std::size_t i = 1; i < results.size(); ++i) {
        EXPECT_NE(results[i], 0) << i;
    }
    const std::vector<std::string> lines = callLines(trace);
    EXPECT_EQ(lines[3], R"({"op": "remPoly", "polygon": 0})");
    EXPECT_EQ(lines[4], R"({"op": "remPoly", "polygon": null})");
    EXPECT_EQ(lines[5], R"({"op": "remPoly", "polygon": 49})");
    const JsonValue polygons = traceJson(trace).at("mesh").at("polygons");
    ASSERT_EQ(polygons.items().size(), 1u);
    EXPECT_EQ(polygons.at(0).at("id").numberText(), "1");
    EXPECT_TRUE(polygons.at(0).at("tags").find("COLR") == nullptr);
}

TEST(StandInHostTest, anEditClosedWithAnErrorLeavesTheMeshAsItWas) {
    const Scene scene = twoPolygonScene();
    const Trace untouched = runScript(scene, [](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        edit->done(edit->state, 0, 0);
        return 0;
    });
    int countAfter = -1;
    const Trace failed = runScript(scene, [&](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        const Scanned scanned = scan(edit);
        const LWPolID added = edit->addFace(edit->state, "test", 2, scanned.points[0].data());
        edit->polTag(edit->state, added, kTagColour, "Red");
        edit->polTag(edit->state, scanned.polygons[1], LWID_('P', 'A', 'R', 'T'), "floor");
        edit->polTag(edit->state, scanned.polygons[1], kTagColour, "Blue");
        edit->remPoly(edit->state, scanned.polygons[0]);
        edit->remPoly(edit->state, added);
        edit->done(edit->state, 1, 0);
        // Another edit sees the mesh as it was: the selected quad is back.
        edit = begin(0, 0, 2);
        countAfter = edit->polyCount(edit->state, 0, 1);
        edit->done(edit->state, 0, 0);
        return 0;
    });
    EXPECT_EQ(countAfter, 1);
    ASSERT_TRUE(failed.mesh.has_value());
    EXPECT_EQ(traceJson(failed).at("mesh").at("polygons").items().size(), 2u);
    EXPECT_EQ(traceText(failed).substr(traceText(failed).find("\"mesh\"")),
              traceText(untouched).substr(traceText(untouched).find("\"mesh\"")));
}

TEST(StandInHostTest, anEditNeverClosedIsAbandonedAndTheTraceHasNoMesh) {
    const Trace trace = runScript(twoPolygonScene(), [](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        edit->remPoly(edit->state, scan(edit).polygons[0]);
        return 0;
    });
    EXPECT_FALSE(trace.mesh.has_value());
}

TEST(StandInHostTest, aSecondRunCannotStartWhileOneIsInProgress) {
    std::string refusal;
    runScript(twoPolygonScene(), [&refusal](GlobalFunc*, MeshEditBegin*) {
        try {
            runTool(scriptedDescriptor(), "inner", twoPolygonScene());
        } catch (const std::logic_error& error) {
            refusal = error.what();
        }
        return 0;
    });
    EXPECT_EQ(refusal, "the stand-in host runs one plug-in at a time");
}

/// Two unit quads one above the other, facing each other, both selected.
Scene facingQuads() {
    Scene scene;
    scene.mesh.points = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                         {0, 0, 1}, {0, 1, 1}, {1, 1, 1}, {1, 0, 1}};
    scene.mesh.polygons.resize(2);
    scene.mesh.polygons[0].points = {0, 1, 2, 3};
    scene.mesh.polygons[1].points = {4, 5, 6, 7};
    return scene;
}

TEST(StandInHostTest, runsTheLinkedModuleOnTwoFacingQuads) {
    const Trace trace = runTool(_mod_descrip, "tarvel", facingQuads());
    EXPECT_EQ(trace.result, 0);
    const std::vector<std::string> lines = callLines(trace);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines.front(), R"({"op": "begin", "args": [0, 0, 2]})");
    EXPECT_EQ(lines.back(), R"({"op": "done", "error": 0, "selmode": 9})");
    ASSERT_TRUE(trace.mesh.has_value());
    const std::vector<Polygon>& polygons = trace.mesh->polygons;
    EXPECT_TRUE(polygons[0].removed);
    EXPECT_TRUE(polygons[1].removed);
    ASSERT_GT(polygons.size(), 2u);
    for (std::size_t j = 2; j < polygons.size(); ++j) {
        EXPECT_EQ(polygons[j].points.size(), 2u);
        EXPECT_NE(findTag(polygons[j], kTagColour), nullptr);
    }
    EXPECT_EQ(trace.calls.count(CallOp::addFace), polygons.size() - 2);

    // A caller that reads only the calls gets the same calls and no mesh.
    const Trace callsOnly =
        runTool(_mod_descrip, "tarvel", facingQuads(), CallLogging::full, MeshAfter::notGiven);
    EXPECT_EQ(callLines(callsOnly), lines);
    EXPECT_FALSE(callsOnly.mesh.has_value());
}

}  // namespace
}  // namespace tarvel::standin
