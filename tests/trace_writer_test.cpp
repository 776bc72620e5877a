#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "standin/trace_writer.h"
#include "tests/scripted_plugin.h"

namespace tarvel::standin {
namespace {

using testing::runScript;

TEST(TraceWriterTest, writesTheTraceOneCallAndOneElementPerLine) {
    Scene scene;
    scene.mesh.points = {{-0.0, 0.1, std::numeric_limits<double>::infinity()}, {1e300, 2, 3}};
    Polygon polygon;
    polygon.points = {1, 0};
    polygon.surface = "a \"b\"";
    scene.mesh.polygons = {polygon};
    const Trace trace = runScript(scene, [](GlobalFunc*, MeshEditBegin* begin) {
        MeshEditOp* edit = begin(0, 0, 2);
        edit->done(edit->state, 0, 0);
        return 0;
    });
    EXPECT_EQ(traceText(trace), R"({
  "result": 0,
  "calls": [
    {"op": "begin", "args": [0, 0, 2]},
    {"op": "done", "error": 0, "selmode": 0}
  ],
  "mesh": {
    "points": [
      [-0, 0.1, "inf"],
      [1e+300, 2, 3]
    ],
    "polygons": [
      {"id": 0, "points": [1, 0], "type": "FACE", "flags": 1, "surface": "a \"b\"", "tags": {}}
    ]
  }
}
)");
}

TEST(TraceWriterTest, writesEveryKindOfCallWithItsArguments) {
    Trace trace;
    trace.result = 3;
    const auto handle = [](std::uintptr_t value) { return reinterpret_cast<LWPolID>(value); };
    const LWPntID points[] = {reinterpret_cast<LWPntID>(std::uintptr_t{8}), nullptr};
    trace.calls.begin(-1, 4, 2);
    trace.calls.global("Info Messages 2", 2);
    trace.calls.global(nullptr, 0);
    trace.calls.message(CallOp::info, "Done", nullptr);
    trace.calls.message(CallOp::warning, "tab\there", "\xC3\xA9 \xFF");
    trace.calls.message(CallOp::error, nullptr, "second");
    trace.calls.polyCount(0, 1, 12);
    trace.calls.polyScan(0);
    trace.calls.pointInfo(reinterpret_cast<LWPntID>(std::uintptr_t{5}));
    trace.calls.polyNormal(handle(0));
    trace.calls.addFace("Wall", 2, points, handle(13));
    trace.calls.addFace(nullptr, 3, nullptr, nullptr);
    trace.calls.addFace("Empty", 0, nullptr, handle(14));
    trace.calls.remPoly(handle(2));
    trace.calls.polTag(handle(13), kTagColour, "Red");
    trace.calls.done(0, 2);
    trace.mesh = Mesh{};
    EXPECT_EQ(traceText(trace), R"({
  "result": 3,
  "calls": [
    {"op": "begin", "args": [-1, 4, 2]},
    {"op": "global", "service": "Info Messages 2", "use": 2},
    {"op": "global", "service": null, "use": 0},
    {"op": "info", "text": "Done", "text2": null},
    {"op": "warning", "text": "tab\there", "text2": "é \u00ff"},
    {"op": "error", "text": null, "text2": "second"},
    {"op": "polyCount", "layer": 0, "mode": 1, "result": 12},
    {"op": "polyScan", "layer": 0},
    {"op": "pointInfo", "point": 4},
    {"op": "polyNormal", "polygon": null},
    {"op": "addFace", "surface": "Wall", "points": [7, null], "result": 12},
    {"op": "addFace", "surface": null, "points": null, "result": null},
    {"op": "addFace", "surface": "Empty", "points": [], "result": 13},
    {"op": "remPoly", "polygon": 1},
    {"op": "polTag", "polygon": 12, "type": "COLR", "value": "Red"},
    {"op": "done", "error": 0, "selmode": 2}
  ],
  "mesh": {
    "points": [],
    "polygons": []
  }
}
)");
}

TEST(TraceWriterTest, countsOnlyLogsWriteTheCountsOfTheKindsCalled) {
    Trace trace;
    trace.calls = CallLog(CallLogging::countsOnly);
    trace.calls.begin(0, 0, 2);
    trace.calls.pointInfo(nullptr);
    trace.calls.pointInfo(nullptr);
    EXPECT_EQ(traceText(trace),
              "{\n  \"result\": 0,\n  \"callCounts\": {\"begin\": 1, \"pointInfo\": 2}\n}\n");
    trace.calls = CallLog(CallLogging::countsOnly);
    EXPECT_EQ(traceText(trace), "{\n  \"result\": 0,\n  \"callCounts\": {}\n}\n");
    trace.calls = CallLog();
    EXPECT_EQ(traceText(trace), "{\n  \"result\": 0,\n  \"calls\": []\n}\n");
}

}  // namespace
}  // namespace tarvel::standin
