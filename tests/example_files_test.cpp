#include <gtest/gtest.h>

#include <filesystem>

#include "formats/file_bytes.h"
#include "formats/lwo_writer.h"
#include "formats/mesh_file.h"
#include "standin/scene_reader.h"
#include "testing/lwo_from_mesh.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEL_SOURCE_DIR;

TEST(ExampleFilesTest, theLwoAndObjExamplesHoldTheBundledScene) {
    const standin::Scene scene = standin::loadScene(kSource / "examples/facing_grids.json");
    EXPECT_EQ(formats::readFileBytes(kSource / "examples/facing_grids.lwo"),
              formats::writeLwo(formats::lwoFromMesh(scene.mesh, "x"), "x"));
    const standin::Mesh obj = formats::MeshFile::load(kSource / "examples/facing_grids.obj").mesh();
    ASSERT_EQ(obj.polygons.size(), scene.mesh.polygons.size());
    EXPECT_EQ(obj.points, scene.mesh.points);
    for (std::size_t j = 0; j < obj.polygons.size(); ++j) {
        EXPECT_EQ(obj.polygons[j].points, scene.mesh.polygons[j].points);
        EXPECT_EQ(obj.polygons[j].surface, scene.mesh.polygons[j].surface);
    }
}

}  // namespace
}  // namespace tarvel::cli
