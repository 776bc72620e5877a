#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "cli/command_line.h"
#include "cli/exit_codes.h"
#include "cli/host_program.h"
#include "mesh/input_error.h"
#include "standin/scene_reader.h"
#include "testing/json_value.h"
#include "tests/test_folder.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

/// Two unit quads one above the other, facing each other, both selected.
const char* const kFacingQuads = R"({
  "points": [[0, 0, 0], [1, 0, 0], [1, 1, 0], [0, 1, 0],
             [0, 0, 1], [0, 1, 1], [1, 1, 1], [1, 0, 1]],
  "polygons": [{"points": [0, 1, 2, 3]}, {"points": [4, 5, 6, 7]}]
})";

/// A fresh folder per test, removed afterwards.
class HostProgramTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = testfolder::freshTestFolder("tarvel_cli_"); }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path write(const std::string& name, const std::string& text) {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

    /// Runs the program in-process; `out` and `err` receive what it printed.
    int run(const std::vector<std::string>& args) {
        std::ostringstream outStream;
        std::ostringstream errStream;
        std::istringstream inStream;
        Console console{inStream, outStream, errStream, false};
        const int code = runHostProgram(args, TARVEL_MODULE_FILE, console);
        out = outStream.str();
        err = errStream.str();
        return code;
    }

    /// Names in the folder other than `kept`.
    std::vector<std::string> filesBesides(const std::vector<std::string>& kept) {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            const std::string name = entry.path().filename().string();
            if (std::find(kept.begin(), kept.end(), name) == kept.end()) {
                names.push_back(name);
            }
        }
        return names;
    }

    fs::path folder_;
    std::string out;
    std::string err;
};

TEST_F(HostProgramTest, writesTheTraceOfARunThatLinksTwoFacingQuads) {
    const fs::path scene = write("quads.json", kFacingQuads);
    const fs::path trace = folder_ / "trace.json";
    ASSERT_EQ(run({scene.string(), "--trace", trace.string()}), kExitOk) << err;
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
    const standin::JsonValue json = standin::parseJson(standin::readTextFile(trace));
    EXPECT_EQ(json.at("result").numberText(), "0");
    EXPECT_EQ(json.at("calls").at(0).at("op").string(), "begin");
    const standin::JsonValue& polygons = json.at("mesh").at("polygons");
    ASSERT_FALSE(polygons.items().empty());
    EXPECT_EQ(polygons.at(0).at("id").numberText(), "2");  // both quads removed
    EXPECT_EQ(filesBesides({"quads.json", "trace.json"}), std::vector<std::string>{});
}

TEST_F(HostProgramTest, summarisesARunWithoutATrace) {
    const fs::path scene = write("quads.json", kFacingQuads);
    ASSERT_EQ(run({scene.string()}), kExitOk) << err;
    EXPECT_NE(out.find("Links added: "), std::string::npos) << out;
    EXPECT_NE(out.find("Polygons removed: 2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Result: 0\n"), std::string::npos) << out;

    const fs::path lonely =
        write("one.json",
              R"({"points": [[0,0,0], [1,0,0], [1,1,0]], "polygons": [{"points": [0,1,2]}]})");
    // A run the tool stops says so on standard error and in its exit code.
    ASSERT_EQ(run({lonely.string()}), kExitToolStopped) << err;
    EXPECT_EQ(err,
              "Error: Need at least two directly selected polys in primary foreground layer\n");
    EXPECT_EQ(out,
              "Links added: 0\n"
              "Polygons removed: 0\n"
              "Result: 0\n");
}

TEST_F(HostProgramTest, badInputGivesOneLineAnExitCodeAndNoTrace) {
    const fs::path trace = folder_ / "trace.json";
    const auto expectRefused = [&](const std::vector<std::string>& args, int code,
                                   const std::string& expectedErr) {
        EXPECT_EQ(run(args), code);
        EXPECT_EQ(err, expectedErr);
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
        EXPECT_FALSE(fs::exists(trace));
    };
    const fs::path missingPoint =
        write("missing.json",
              R"({"points": [[0,0,0]], "polygons": [{"points": [0]}, {"points": [0, 3]}]})");
    expectRefused({missingPoint.string(), "--trace", trace.string()}, kExitInputError,
                  "tarvel-host: " + missingPoint.string() +
                      ": polygons[1].points[1]: point 3 does not exist\n");

    const fs::path badJson = write("bad.json", "{\"points\": [],\n \"polygons\": [}");
    expectRefused({badJson.string(), "--trace", trace.string()}, kExitInputError,
                  "tarvel-host: " + badJson.string() + ":2:15: expected a value\n");

    const fs::path absent = folder_ / "absent.json";
    expectRefused({absent.string(), "--trace", trace.string()}, kExitInputError,
                  "tarvel-host: " + absent.string() + ": cannot open: No such file or directory\n");

    const fs::path scene = write("quads.json", kFacingQuads);
    const fs::path notAModule = write("fake.p", "text");
    EXPECT_EQ(run({scene.string(), "--trace", trace.string(), "--module", notAModule.string()}),
              kExitInputError);
    EXPECT_EQ(err.rfind("tarvel-host: " + notAModule.string() + ": not a plug-in module: ", 0), 0u)
        << err;
    EXPECT_FALSE(fs::exists(trace));

    EXPECT_EQ(run({scene.string(), "--verbose"}), kExitUsageError);
    EXPECT_EQ(err,
              "tarvel-host: The following argument was not expected: --verbose (see tarvel-host "
              "--help)\n");

    // A trace that cannot be written is refused the same way, and leaves nothing behind.
    const fs::path unwritable = folder_ / "no_such_folder" / "trace.json";
    expectRefused(
        {scene.string(), "--trace", unwritable.string()}, kExitInputError,
        "tarvel-host: " + unwritable.string() + ": cannot write: No such file or directory\n");
    EXPECT_EQ(filesBesides({"quads.json", "fake.p", "missing.json", "bad.json"}),
              std::vector<std::string>{});
}

// A module that reads the edit record in an order of its own reaches an operation the tool never
// calls (its "polyScan" is the host's pointCount): the run ends there, naming it, before the
// module's next call jumps into the layer number, and no trace is written.
TEST_F(HostProgramTest, aModuleThatMisreadsTheEditRecordIsStoppedByName) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const fs::path scene = write("quads.json", kFacingQuads);
    const fs::path trace = folder_ / "trace.json";
    EXPECT_EXIT(
        run({scene.string(), "--module", TARVEL_OLD_LAYOUT_MODULE, "--trace", trace.string()}),
        ::testing::ExitedWithCode(kExitInputError),
        "standin_old_layout_module.p: the module called the host's edit operation "
        "pointCount, which this tool never calls");
    EXPECT_FALSE(fs::exists(trace));
}

#ifndef _WIN32
/// Runs the built program with `args` (each quoted for the shell); gives its exit code.
int runProgram(const std::vector<std::string>& args, const fs::path& errFile) {
    std::string command = std::string("'") + TARVEL_HOST_PROGRAM + "'";
    for (const std::string& arg : args) {
        command += " '" + arg + "'";
    }
    command += " >/dev/null 2>'" + errFile.string() + "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(HostProgramTest, theProgramFindsTheModuleBesideItself) {
    const fs::path scene = write("quads.json", kFacingQuads);
    const fs::path trace = folder_ / "trace.json";
    const fs::path errors = folder_ / "stderr.txt";
    ASSERT_EQ(runProgram({scene.string(), "--trace", trace.string()}, errors), 0)
        << standin::readTextFile(errors);
    const standin::JsonValue json = standin::parseJson(standin::readTextFile(trace));
    EXPECT_EQ(json.at("result").numberText(), "0");
    EXPECT_NE(json.find("mesh"), nullptr);

    fs::remove(trace);
    const fs::path bad = write("bad.json", R"({"points": [], "polygons": [{"points": [0]}]})");
    EXPECT_NE(runProgram({bad.string(), "--trace", trace.string()}, errors), 0);
    EXPECT_EQ(standin::readTextFile(errors),
              "tarvel-host: " + bad.string() + ": polygons[0].points[0]: point 0 does not exist\n");
    EXPECT_FALSE(fs::exists(trace));
}
#endif

}  // namespace
}  // namespace tarvel::cli
