#include <gtest/gtest.h>

#include <limits>

#include "standin/trace_writer.h"
#include "tests/scripted_plugin.h"

namespace standin {
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

}  // namespace
}  // namespace standin
