// What an OBJ file's statements mean to a run: lines are polylines, a `g` statement may name
// several groups, and `s` names a smoothing group.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "formats/file_bytes.h"
#include "tests/tarvel_in_process.h"
#include "tests/test_folder.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

class ObjStatementsTest : public ::testing::Test, protected testing::TarvelInProcess {
protected:
    void SetUp() override { folder_ = testfolder::freshTestFolder("obj_statements_"); }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    static std::string textOf(const std::string& file) {
        std::ostringstream text;
        text << std::ifstream(file).rdbuf();
        return text.str();
    }

    fs::path folder_;
};

TEST_F(ObjStatementsTest, linesAreKeptAndNeverTakenForFaces) {
    // The bundled example with every face made a line: nothing to pair, nothing removed.
    std::string text = textOf(std::string(TARVEL_SOURCE_DIR) + "/examples/facing_grids.obj");
    for (std::size_t at = text.find("\nf "); at != std::string::npos; at = text.find("\nf ", at)) {
        text[at + 1] = 'l';
    }
    std::ofstream(path("lines.obj")) << text;
    EXPECT_EQ(run({"run", path("lines.obj"), "--all", "-o", path("out.obj")}), kExitToolStopped);
    EXPECT_NE(out.find("0 polygons removed"), std::string::npos) << out;
    EXPECT_EQ(textOf(path("out.obj")), text);

    // Faces and lines together: --all takes the faces, and the lines stay in the output.
    std::ofstream(path("mixed.obj"))
        << textOf(std::string(TARVEL_SOURCE_DIR) + "/examples/facing_grids.obj")
        << "l 1 2 3\nl 4 5\n";
    EXPECT_EQ(run({"run", path("mixed.obj"), "--all", "-o", path("out.obj"), "--json"}), kExitOk);
    EXPECT_NE(out.find("\"selected_polygons\": 26"), std::string::npos) << out;
    const std::string written = textOf(path("out.obj"));
    EXPECT_NE(written.find("l 1 2 3\nl 4 5\n"), std::string::npos);

    EXPECT_EQ(run({"info", path("mixed.obj")}), kExitOk);
    EXPECT_NE(out.find("FACE 26, LINE 2"), std::string::npos) << out;
}

TEST_F(ObjStatementsTest, aFaceBelongsToEveryGroupItsStatementNamesAndItsSmoothingGroup) {
    std::ofstream(path("g.obj")) << "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
                                    "s 1\ng Floor Part\nf 1 2 3\n"
                                    "s off\ng Other\nf 1 3 2\n";
    EXPECT_EQ(run({"info", path("g.obj")}), kExitOk);
    EXPECT_NE(out.find("parts: Floor (1), Part (1), Other (1)"), std::string::npos) << out;
    EXPECT_NE(out.find("smoothing groups: 1 (1)"), std::string::npos) << out;
    for (const char* part : {"Floor", "Part"}) {
        EXPECT_EQ(run({"run", path("g.obj"), "--select-part", part, "--dry-run", "--json"}),
                  kExitToolStopped)
            << err;
        EXPECT_NE(out.find("\"selected_polygons\": 1"), std::string::npos) << part << out;
    }
}

}  // namespace
}  // namespace tarvel::cli
