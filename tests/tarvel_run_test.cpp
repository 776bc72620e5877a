#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#else
#include <process.h>
#define getpid _getpid
#endif

#include "cli/command_line.h"
#include "cli/exit_codes.h"
#include "cli/host_program.h"
#include "cli/run_command.h"
#include "cli/run_summary.h"
#include "cli/selection.h"
#include "cli/svg_picture.h"
#include "formats/byte_reader.h"
#include "formats/file_bytes.h"
#include "formats/lwo_object.h"
#include "formats/lwo_reader.h"
#include "formats/lwo_writer.h"
#include "formats/mesh_file.h"
#include "mesh/input_error.h"
#include "standin/module_loader.h"
#include "standin/scene_reader.h"
#include "standin/stand_in_host.h"
#include "standin/trace_writer.h"
#include "testing/lwo_from_mesh.h"
#include "tests/lwo_bytes.h"
#include "tests/tarvel_in_process.h"
#include "tests/test_folder.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEL_SOURCE_DIR;

/// A fresh folder per test, removed afterwards.
class TarvelRunTest : public ::testing::Test, protected testing::TarvelInProcess {
protected:
    void SetUp() override { folder_ = testfolder::freshTestFolder("tarvel_run_"); }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path copyExample(const std::string& name) {
        fs::copy_file(kSource / "examples" / name, folder_ / name);
        return folder_ / name;
    }

    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    /// The summary line with its time taken out.
    std::string summary() const {
        return std::regex_replace(out, std::regex("[0-9.]+ s\n"), "T s\n");
    }

    fs::path folder_;
    /// What the program reads as standard input.
};

/// The trace of the bundled scene as tarvel-host runs it.
standin::Trace exampleSceneTrace() {
    const standin::LoadedModule module(TARVEL_MODULE_FILE);
    return standin::runTool(module.module(),
                            standin::loadScene(kSource / "examples/facing_grids.json"));
}

TEST_F(TarvelRunTest, theExampleAsLwoAndObjRunsAsTheSceneDoes) {
    const std::string expectedCalls = [] {
        std::string text = standin::traceText(exampleSceneTrace());
        return text.substr(0, text.find("\"mesh\""));
    }();
    for (const char* name : {"facing_grids.lwo", "facing_grids.obj"}) {
        SCOPED_TRACE(name);
        const fs::path input = copyExample(name);
        const fs::path output = folder_ / (std::string("out_") + name);
        const fs::path trace = folder_ / "trace.json";
        ASSERT_EQ(run({"run", input.string(), "-o", output.string(), "--select-polygons", "0-24",
                       "--trace", trace.string()}),
                  kExitOk)
            << err;
        EXPECT_EQ(err, "");
        EXPECT_EQ(summary(), input.string() +
                                 ": 1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), 25 "
                                 "polygons removed, T s\n");
        // The module sees the file as it sees the scene: the same calls with the same values.
        const std::string traceText = standin::readTextFile(trace);
        EXPECT_EQ(traceText.substr(0, traceText.find("\"mesh\"")), expectedCalls);

        const formats::MeshFile result = formats::MeshFile::load(output);
        const standin::Mesh& mesh = result.mesh();
        ASSERT_EQ(mesh.polygons.size(), 1u + 16u);
        EXPECT_EQ(mesh.polygons[0].surface, "Wall");
        std::size_t red = 0;
        for (std::size_t j = 1; j < mesh.polygons.size(); ++j) {
            EXPECT_EQ(mesh.polygons[j].points.size(), 2u);
            EXPECT_EQ(mesh.polygons[j].surface, "test");
            const LWID colourType =
                result.format() == formats::MeshFormat::lwo ? kTagColour : formats::kTagPart;
            const std::string* colour = standin::findTag(mesh.polygons[j], colourType);
            ASSERT_NE(colour, nullptr);
            red += *colour == "Red" ? 1 : 0;
        }
        EXPECT_EQ(red, 1u);
        EXPECT_EQ(mesh.points, formats::MeshFile::load(input).mesh().points);
        fs::remove(trace);
    }
}

/// The polygons of a mesh as text: points, surface and tags, in order.
std::vector<std::string> polygonTexts(const standin::Mesh& mesh) {
    std::vector<std::string> texts;
    for (const standin::Polygon& polygon : mesh.polygons) {
        std::ostringstream text;
        for (const std::int32_t point : polygon.points) {
            text << point << ' ';
        }
        text << polygon.surface;
        for (const standin::PolygonTag& tag : polygon.tags) {
            text << ' ' << tag.type << '=' << tag.value;
        }
        texts.push_back(text.str());
    }
    return texts;
}

TEST_F(TarvelRunTest, anLwo3ObjectIsEditedInTheChosenLayerAndWrittenAsLwo3) {
    using lwobytes::operator+;
    // The bundled scene as the second layer ("grids") of an LWO3 object whose first layer is
    // the modeller's box, and which ends in the modeller's surface.
    const formats::LwoObject box =
        formats::readLwo(formats::readFileBytes(kSource / "tests/data/lwo3/box0.lwo"), "box0.lwo");
    formats::LwoObject object = formats::lwoFromMesh(
        standin::loadScene(kSource / "examples/facing_grids.json").mesh, "x", formats::kIdLwo3);
    object.chunks[1].body =
        lwobytes::u2(1) + lwobytes::u2(0) + lwobytes::points({0, 0, 0}) + lwobytes::s0("grids");
    std::vector<formats::LwoChunk> boxLayer = {formats::LwoChunk{
        formats::kIdLayer,
        lwobytes::u2(4) + lwobytes::u2(0) + lwobytes::points({0, 0, 0}) + lwobytes::s0("box")}};
    for (const formats::LwoChunk& chunk : box.chunks) {
        if (chunk.id == formats::kIdPoints || chunk.id == formats::kIdPolygons) {
            boxLayer.push_back(chunk);
        }
    }
    object.chunks.insert(object.chunks.begin() + 1, boxLayer.begin(), boxLayer.end());
    object.chunks.push_back(box.chunks.back());
    ASSERT_EQ(formats::chunkName(object.chunks.back().id), "FORM");
    const fs::path input = folder_ / "layers.lwo";
    const std::vector<std::byte> bytes = formats::writeLwo(object, "layers.lwo");
    {
        std::ofstream file(input, std::ios::binary);
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }

    // The first layer is the box, which has no gap: the tool stops, and the file comes back as
    // it was.
    const fs::path output = folder_ / "out.lwo";
    ASSERT_EQ(run({"run", input.string(), "-o", output.string(), "--all"}), kExitToolStopped)
        << err;
    EXPECT_EQ(formats::readFileBytes(output), bytes);

    // tarvel info lists both layers and the names of the one chosen.
    ASSERT_EQ(run({"info", input.string(), "--layer", "grids"}), kExitOk) << err;
    EXPECT_NE(out.find("\n  5 \"box\": 8 points, 6 polygons (FACE 6)\n* 2 \"grids\": "),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("in layer 2 (*), which a run takes: polygons 0-25\n"
                       "  surfaces: Floor (16), Ceiling (9), Wall (1)\n"),
              std::string::npos)
        << out;
    // The tool edits one layer.
    EXPECT_EQ(run({"run", input.string(), "-o", output.string(), "--all", "--layer", "2", "--layer",
                   "grids"}),
              kExitUsageError);
    EXPECT_EQ(err, "tarvel: --layer: the tool runs on one layer at a time: give --layer once\n");

    // The grids, by name and by number, as the LWO2 example runs.
    const fs::path example = copyExample("facing_grids.lwo");
    const fs::path exampleOut = folder_ / "example_out.lwo";
    ASSERT_EQ(
        run({"run", example.string(), "-o", exampleOut.string(), "--select-polygons", "0-24"}),
        kExitOk);
    for (const char* choice : {"grids", "2"}) {
        SCOPED_TRACE(choice);
        ASSERT_EQ(run({"run", input.string(), "-o", output.string(), "--layer", choice,
                       "--select-polygons", "0-24"}),
                  kExitOk)
            << err;
        EXPECT_EQ(summary(), input.string() +
                                 ": 1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), 25 "
                                 "polygons removed, T s\n");
        const std::vector<std::byte> written = formats::readFileBytes(output);
        EXPECT_EQ(formats::chunkName(formats::readLwo(written, "out.lwo").formType), "LWO3");
        const formats::MeshFile result = formats::MeshFile::load(output, "grids");
        EXPECT_EQ(polygonTexts(result.mesh()),
                  polygonTexts(formats::MeshFile::load(exampleOut).mesh()));
        // The box's layer and the surface are as they were.
        const formats::LwoObject after = formats::readLwo(written, "out.lwo");
        for (std::size_t i = 1; i < 1 + boxLayer.size(); ++i) {
            EXPECT_EQ(after.chunks[i].body, object.chunks[i].body);
        }
        EXPECT_EQ(after.chunks.back().body, object.chunks.back().body);
    }

    // A layer that is not there: the list, and the output untouched.
    const std::vector<std::byte> before = formats::readFileBytes(output);
    EXPECT_EQ(run({"run", input.string(), "-o", output.string(), "--layer", "3"}), kExitUsageError);
    EXPECT_EQ(err, "tarvel: " + input.string() +
                       ": no layer 3; the object's layers are 5 \"box\" (8 points, 6 polygons), "
                       "2 \"grids\" (" +
                       std::to_string(object.chunks[1 + boxLayer.size() + 1].body.size() / 12) +
                       " points, 26 polygons)\n");
    EXPECT_EQ(formats::readFileBytes(output), before);
}

TEST_F(TarvelRunTest, aRunThatStopsEarlyShowsTheMessageAndWritesTheFileUnchanged) {
    const fs::path input = copyExample("facing_grids.lwo");
    const fs::path output = folder_ / "out.lwo";
    ASSERT_EQ(run({"run", input.string(), "-o", output.string(), "--select-polygons", "0-15"}),
              kExitToolStopped)
        << err;
    EXPECT_EQ(err, "Error: Need at least two groups of polys\n");
    EXPECT_EQ(summary(), input.string() +
                             ": 0 pairs linked, 0 links (Red 0, DkRed 0, Blue 0), 0 polygons "
                             "removed, T s\n");
    EXPECT_EQ(formats::readFileBytes(output), formats::readFileBytes(input));

    ASSERT_EQ(run({"run", input.string(), "-o", output.string(), "--select-surface", "Wall"}),
              kExitToolStopped);
    EXPECT_EQ(err,
              "Error: Need at least two directly selected polys in primary foreground layer\n");
}

TEST_F(TarvelRunTest, badInputIsOneLineAnExitCodeAndAnUntouchedOutput) {
    const fs::path output = folder_ / "out.lwo";
    std::ofstream(output) << "previous result";
    const auto write = [this](const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return (folder_ / name).string();
    };
    const std::string truncated = write("cut.lwo", std::string("FORM\0\0\0\x40LWO2TAGS", 16));
    const std::string empty = write("empty.lwo", "");
    const std::string text = write("letter.obj", "Dear modeller,\n");
    const std::string nan = write("nan.obj", "v 0 0 0\nv nan 0 0\nf 1 2 1\n");
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"run", truncated, "-o", output.string()},
         "tarvel: " + truncated + ": truncated: the FORM header gives 64 bytes but 8 follow it"},
        {{"run", empty, "-o", output.string()}, "tarvel: " + empty + ": empty file"},
        {{"run", text, "-o", (folder_ / "out.obj").string()},
         "tarvel: " + text + ": not a mesh: no vertices and no faces or lines"},
        {{"run", nan, "-o", (folder_ / "out.obj").string()},
         "tarvel: " + nan + ":2: vertex coordinate 'nan' is not a finite number"},
        {{"run", (folder_ / "absent.lwo").string(), "-o", output.string()},
         "tarvel: " + (folder_ / "absent.lwo").string() +
             ": cannot open: No such file or directory"},
    };
    for (const auto& [args, expected] : cases) {
        EXPECT_EQ(run(args), kExitInputError);
        EXPECT_EQ(err, expected + "\n");
    }
    // A name that does not give the format is a usage error that names --format.
    EXPECT_EQ(
        run({"run", (kSource / "examples/facing_grids.json").string(), "-o", output.string()}),
        kExitUsageError);
    EXPECT_EQ(err,
              "tarvel: " + (kSource / "examples/facing_grids.json").string() +
                  ": cannot tell the format from the name: give --format lwo or --format obj\n");
    // An output of the other format is a usage error.
    EXPECT_EQ(run({"run", (kSource / "examples/facing_grids.obj").string(), "-o", output.string(),
                   "--all"}),
              kExitUsageError);
    EXPECT_EQ(err, "tarvel: " + output.string() +
                       ": the output must be a Wavefront OBJ (.obj), as the input is\n");
    EXPECT_EQ(run({"run", "in.lwo", "-o", "x.lwo", "--bogus"}), kExitUsageError);
    EXPECT_EQ(err,
              "tarvel: The following argument was not expected: --bogus (see tarvel run --help)\n");
    EXPECT_EQ(run({"frobnicate"}), kExitUsageError);

    // An LWO2 file whose first layer has no polygons has nothing to run on.
    standin::Mesh pointsOnly;
    pointsOnly.points = {{0, 0, 0}};
    const fs::path noPolygons = folder_ / "points.lwo";
    const std::vector<std::byte> bytes =
        formats::writeLwo(formats::lwoFromMesh(pointsOnly, "points.lwo"), "points.lwo");
    std::ofstream(noPolygons, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    EXPECT_EQ(run({"run", noPolygons.string(), "-o", output.string()}), kExitInputError);
    EXPECT_EQ(err, "tarvel: " + noPolygons.string() +
                       ": no polygons in the first layer: nothing to run the tool on\n");

    EXPECT_EQ(standin::readTextFile(output), "previous result");
    EXPECT_EQ(files(), (std::vector<std::string>{"cut.lwo", "empty.lwo", "letter.obj", "nan.obj",
                                                 "out.lwo", "points.lwo"}));
}

std::size_t occurrences(const std::string& text, const std::string& what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

TEST_F(TarvelRunTest, thePictureDrawsEachLinkInItsColourWithTheCounts) {
    const fs::path input = copyExample("facing_grids.obj");
    const fs::path picture = folder_ / "run.svg";
    ASSERT_EQ(run({"run", input.string(), "-o", (folder_ / "out.obj").string(), "--select-polygons",
                   "0-24", "--svg", picture.string()}),
              kExitOk)
        << err;
    const std::string svg = standin::readTextFile(picture);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_EQ(occurrences(svg, "class=\"link Red\""), 1u);
    EXPECT_EQ(occurrences(svg, "class=\"link DkRed\""), 15u);
    EXPECT_EQ(occurrences(svg, "class=\"link Blue\""), 0u);
    EXPECT_EQ(occurrences(svg, "<line class=\"link Red\""),
              occurrences(svg, "stroke=\"#ff0000\" stroke-width=\"2.5\""));
    EXPECT_EQ(occurrences(svg, "stroke=\"#8b0000\" stroke-width=\"1.5\""), 15u);
    EXPECT_NE(svg.find(">Red: 1 link</text>"), std::string::npos);
    EXPECT_NE(svg.find(">DkRed: 15 links</text>"), std::string::npos);
    EXPECT_NE(svg.find(">Blue: 0 links</text>"), std::string::npos);
    EXPECT_NE(svg.find(">removed: 25 polygons</text>"), std::string::npos);
    // Before: the 25 selected polygons, all removed; after: none. The unselected wall is
    // its outline in both, its four sides in one path.
    std::string before = svg.substr(svg.find("<g class=\"before\""));
    std::string after = svg.substr(svg.find("<g class=\"after\""));
    before = before.substr(0, before.find("</g>"));
    after = after.substr(0, after.find("</g>"));
    EXPECT_EQ(occurrences(before, "<polygon"), 25u);
    EXPECT_EQ(occurrences(before, "<polygon class=\"removed\""), 25u);
    EXPECT_EQ(occurrences(before, "<path class=\"outline\""), 1u);
    EXPECT_EQ(occurrences(before, "L"), 4u);
    EXPECT_EQ(occurrences(after, "<polygon"), 0u);
    EXPECT_EQ(occurrences(after, "L"), 4u);
}

#ifndef _WIN32
TEST_F(TarvelRunTest, theProgramFindsTheModuleBesideItself) {
    const fs::path input = copyExample("facing_grids.lwo");
    const fs::path output = folder_ / "out.lwo";
    const std::string command = std::string("'") + TARVEL_PROGRAM + "' run '" + input.string() +
                                "' -o '" + output.string() + "' --select-polygons 0-24 >'" +
                                (folder_ / "stdout.txt").string() + "' 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << standin::readTextFile(folder_ / "stdout.txt");
    EXPECT_EQ(formats::MeshFile::load(output).mesh().polygons.size(), 17u);
}
#endif

}  // namespace
}  // namespace tarvel::cli
