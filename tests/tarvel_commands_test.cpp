#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/module_version.h"
#include "formats/file_bytes.h"
#include "formats/mesh_file.h"
#include "lwo_bytes.h"
#include "standin/scene_reader.h"
#include "testing/json_value.h"
#include "tests/tarvel_in_process.h"
#include "tests/test_folder.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEL_SOURCE_DIR;

/// The tarvel program in-process, in a fresh folder that is also the working folder.
class TarvelCommandsTest : public ::testing::Test, protected testing::TarvelInProcess {
protected:
    void SetUp() override {
        folder_ = testfolder::freshTestFolder("tarvel_commands_");
        previous_ = fs::current_path();
        fs::current_path(folder_);
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }

    static void copyExample(const std::string& name, const std::string& as) {
        fs::copy_file(kSource / "examples" / name, as);
    }

    static std::string bytesOf(const fs::path& path) {
        const std::vector<std::byte> bytes = formats::readFileBytes(path);
        return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    /// Every name in the folder and its subfolders, relative to it, sorted.
    std::vector<std::string> names() const { return testfolder::namesBelow(folder_); }

    fs::path folder_;
    fs::path previous_;
};

std::string withoutTimes(const std::string& text) {
    return std::regex_replace(text, std::regex("[0-9.]+ s\\b"), "T s");
}

TEST_F(TarvelCommandsTest, theOutputIsNeverTheInputUnlessAskedFor) {
    copyExample("facing_grids.lwo", "model.lwo");
    const std::string original = bytesOf("model.lwo");
    fs::create_hard_link("model.lwo", "hard.lwo");
    for (const std::vector<std::string>& output : {std::vector<std::string>{"-o", "model.lwo"},
                                                   {"-o", "./model.lwo"},
                                                   {"-o", "hard.lwo"},
                                                   {"--out-dir", "."}}) {
        SCOPED_TRACE(output[1]);
        std::vector<std::string> args = {"run", "model.lwo", "--all"};
        args.insert(args.end(), output.begin(), output.end());
        EXPECT_EQ(run(args), kExitUsageError);
        EXPECT_EQ(err, "tarvel: model.lwo: the output " +
                           (output[0] == "-o" ? output[1] : std::string("./model.lwo")) +
                           " is the input file: give --in-place to replace it\n");
    }
    EXPECT_EQ(run({"run", "model.lwo", "--all", "-o", "x.lwo", "--svg", "hard.lwo"}),
              kExitUsageError);
    EXPECT_EQ(err, "tarvel: model.lwo: hard.lwo is the input file: the picture would replace it\n");
    EXPECT_EQ(bytesOf("model.lwo"), original);
    EXPECT_EQ(names(), (std::vector<std::string>{"hard.lwo", "model.lwo"}));

    ASSERT_EQ(run({"run", "model.lwo", "--select-polygons", "0-24", "--in-place"}), kExitOk) << err;
    EXPECT_EQ(formats::MeshFile::load("model.lwo").mesh().polygons.size(), 17u);
    // The hard link saw the old file: the new one was renamed into place.
    EXPECT_EQ(bytesOf("hard.lwo"), original);
}

TEST_F(TarvelCommandsTest, aSymlinkedOutputStaysALinkWithItsTargetsPermissions) {
    copyExample("facing_grids.obj", "grids.obj");
    fs::create_directories("results");
    std::ofstream("results/grids.obj") << "older result";
    ::chmod("results/grids.obj", 0600);
    fs::create_symlink("results/grids.obj", "latest.obj");
    ASSERT_EQ(run({"run", "grids.obj", "--select-polygons", "0-24", "-o", "latest.obj"}), kExitOk)
        << err;
    EXPECT_TRUE(fs::is_symlink("latest.obj"));
    EXPECT_EQ(formats::MeshFile::load("results/grids.obj").mesh().polygons.size(), 17u);
    struct stat status {};
    ASSERT_EQ(::stat("results/grids.obj", &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0600u);
    EXPECT_EQ(names(), (std::vector<std::string>{"grids.obj", "latest.obj", "results",
                                                 "results/grids.obj"}));
}

TEST_F(TarvelCommandsTest, standardInputAndOutputCarryTheMesh) {
    copyExample("facing_grids.obj", "grids.obj");
    ASSERT_EQ(run({"run", "grids.obj", "--select-polygons", "0-24", "-o", "file.obj"}), kExitOk);
    in = bytesOf("grids.obj");
    ASSERT_EQ(run({"run", "-", "--format", "obj", "--select-polygons", "0-24", "-o", "-"}), kExitOk)
        << err;
    EXPECT_EQ(out, bytesOf("file.obj"));
    // The summary moves to standard error, out of the mesh's way.
    EXPECT_EQ(withoutTimes(err),
              "standard input: 1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), 25 polygons "
              "removed, T s\n");

    // A run the tool stops still passes the mesh on, unchanged.
    ASSERT_EQ(run({"run", "-", "--format", "obj", "--select-polygons", "0-3", "-o", "-", "-q"}),
              kExitToolStopped);
    EXPECT_EQ(out, in);
    EXPECT_EQ(err, "");

    in = "not a mesh at all\n";
    EXPECT_EQ(run({"run", "-", "--format", "obj", "--all", "-o", "-"}), kExitInputError);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "tarvel: standard input: not a mesh: no vertices and no faces or lines\n");
}

// Subdivision cages of the kind LightWave 9 and later write ("SUBD") are taken like faces and
// patches: counted by info, selected by --all, paired, linked and removed.
TEST_F(TarvelCommandsTest, subdivisionCagesAreTakenLikeFaces) {
    using namespace tarvel::lwobytes;
    const Bytes cages =
        id("SUBD") + u2(4) + vx(0) + vx(1) + vx(2) + vx(3) + u2(4) + vx(4) + vx(5) + vx(6) + vx(7);
    const Bytes bytes = form({chunk("TAGS", s0("Default")), layer(0, "Cage"),
                              chunk("PNTS", points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0,
                                                    0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1})),
                              chunk("POLS", cages)});
    std::ofstream("cage.lwo", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(run({"info", "cage.lwo"}), kExitOk) << err;
    EXPECT_NE(out.find("8 points, 2 polygons (SUBD 2)"), std::string::npos) << out;
    ASSERT_EQ(run({"run", "cage.lwo", "--all", "--dry-run", "--json"}), kExitOk) << err;
    const standin::JsonValue report = standin::parseJson(out);
    EXPECT_EQ(report.at("selected_polygons").numberText(), "2");
    EXPECT_EQ(report.at("pairs_linked").numberText(), "1");
    EXPECT_EQ(report.at("links_added").numberText(), "4");
    EXPECT_EQ(report.at("polygons_removed").numberText(), "2");
}

TEST_F(TarvelCommandsTest, aDryRunReportsAndWritesNothing) {
    copyExample("facing_grids.lwo", "model.lwo");
    ASSERT_EQ(run({"run", "model.lwo", "--select-polygons", "0-24", "-o", "out.lwo", "--dry-run",
                   "--json"}),
              kExitOk)
        << err;
    EXPECT_EQ(names(), std::vector<std::string>{"model.lwo"});
    const standin::JsonValue report = standin::parseJson(out);
    EXPECT_EQ(report.at("input").string(), "model.lwo");
    EXPECT_TRUE(report.at("output").isNull());
    EXPECT_EQ(report.at("format").string(), "lwo");
    EXPECT_EQ(report.at("selected_polygons").numberText(), "25");
    EXPECT_EQ(report.at("pairs_linked").numberText(), "1");
    EXPECT_EQ(report.at("links").at("DkRed").numberText(), "15");
    EXPECT_EQ(report.at("links_added").numberText(), "16");
    EXPECT_EQ(report.at("polygons_removed").numberText(), "25");
    EXPECT_TRUE(report.at("messages").items().empty());
    EXPECT_EQ(report.at("exit_code").numberText(), "0");
    EXPECT_TRUE(report.at("dry_run").boolean());

    ASSERT_EQ(run({"run", "model.lwo", "--select-surface", "Wall", "--dry-run", "--json"}),
              kExitToolStopped);
    const standin::JsonValue stopped = standin::parseJson(out);
    ASSERT_EQ(stopped.at("messages").items().size(), 1u);
    EXPECT_EQ(stopped.at("messages").at(0).string(),
              "Need at least two directly selected polys in primary foreground layer");
    EXPECT_EQ(stopped.at("exit_code").numberText(), "3");
    EXPECT_EQ(err, "");
}

TEST_F(TarvelCommandsTest, severalFilesGoToTheirOwnNamesAndOneFailureStopsNoOther) {
    copyExample("facing_grids.lwo", "a.lwo");
    copyExample("facing_grids.obj", "b.obj");
    std::ofstream("broken.obj") << "v 0 0 0\nf 1 2 3\n";
    copyExample("facing_grids.obj", "c.obj");
    errIsTerminal = true;
    const int code = run({"run", "a.lwo", "broken.obj", "b.obj", "c.obj", "--select-polygons",
                          "0-24", "--out-dir", "out"});
    EXPECT_EQ(code, kExitInputError);
    EXPECT_EQ(names(), (std::vector<std::string>{"a.lwo", "b.obj", "broken.obj", "c.obj", "out",
                                                 "out/a.lwo", "out/b.obj", "out/c.obj"}));
    EXPECT_EQ(withoutTimes(out),
              "a.lwo: 1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), 25 polygons removed, T s\n"
              "b.obj: 1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), 25 polygons removed, T s\n"
              "c.obj: 1 pair linked, 16 links (Red 1, DkRed 15, Blue 0), 25 polygons removed, T s\n"
              "total: 4 files (3 completed, 0 stopped, 1 failed), 3 pairs linked, 48 links, 75 "
              "polygons removed, T s\n");
    // On a terminal, a call this short shows no progress line.
    EXPECT_EQ(err, "tarvel: broken.obj:2: vertex index 3 beyond the 1 vertices of the file\n");

    // A selection one file cannot meet is that file's usage error; the others still run.
    std::ofstream("walls.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Wall\nf 1 2 3\n";
    errIsTerminal = false;
    EXPECT_EQ(run({"run", "walls.obj", "b.obj", "--select-surface", "Floor", "--select-surface",
                   "Ceiling", "--out-dir", "out", "--json"}),
              kExitUsageError);
    std::istringstream lines(out);
    std::string line;
    std::vector<standin::JsonValue> reports;
    while (std::getline(lines, line)) {
        reports.push_back(standin::parseJson(line));
    }
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].at("exit_code").numberText(), "2");
    EXPECT_EQ(reports[0].at("error").string(),
              "walls.obj: --select-surface 'Floor': no polygon has this surface (surfaces: Wall "
              "(1))");
    EXPECT_EQ(reports[1].at("exit_code").numberText(), "0");
    EXPECT_EQ(reports[1].at("output").string(), "out/b.obj");
    EXPECT_TRUE(reports[2].at("total").boolean());
    EXPECT_EQ(reports[2].at("failed").numberText(), "1");
    EXPECT_EQ(reports[2].at("exit_code").numberText(), "2");
    EXPECT_FALSE(fs::exists("out/walls.obj"));

    std::ofstream("plain") << "a file";
    EXPECT_EQ(run({"run", "a.lwo", "--all", "--out-dir", "plain/out"}), kExitInputError);
    EXPECT_EQ(err.rfind("tarvel: plain/out: cannot make the folder: ", 0), 0u) << err;
    EXPECT_EQ(run({"run", "a.lwo", "sub/a.lwo", "--all", "--out-dir", "out"}), kExitUsageError);
    EXPECT_EQ(err,
              "tarvel: --out-dir: two inputs are named a.lwo: their results would replace "
              "each other\n");
}

TEST_F(TarvelCommandsTest, aCrLfObjStaysCrLf) {
    std::string text = bytesOf(kSource / "examples/facing_grids.obj");
    text = std::regex_replace(text, std::regex("\n"), "\r\n");
    text.resize(text.size() - 2);  // and no line end after the last line
    std::ofstream("dos.obj", std::ios::binary) << text;
    ASSERT_EQ(run({"run", "dos.obj", "--select-polygons", "0-24", "-o", "out.obj"}), kExitOk)
        << err;
    const std::string result = bytesOf("out.obj");
    // Every line ends in CR LF, the added ones and the one that had no end.
    EXPECT_EQ(result.find("\n"), result.find("\r\n") + 1);
    EXPECT_EQ(std::regex_replace(result, std::regex("\r\n"), "").find('\n'), std::string::npos);
    EXPECT_NE(result.find("f 42 43 44 45\r\ng Red\r\n"), std::string::npos);
    EXPECT_EQ(result.substr(result.size() - 2), "\r\n");
    EXPECT_EQ(formats::MeshFile::load("out.obj").mesh().polygons.size(), 17u);
}

/// An LWO2 file of three layers: a base, a named child of it holding two facing quads with
/// parts and smoothing groups, and an empty one.
lwobytes::Bytes threeLayers() {
    using namespace tarvel::lwobytes;
    const Bytes quads = id("FACE") + u2(4) + vx(0) + vx(1) + vx(2) + vx(3) + u2(4) + vx(4) + vx(5) +
                        vx(6) + vx(7) + u2(2) + vx(0) + vx(4);
    return form({chunk("TAGS", s0("Default") + s0("lid") + s0("base")), layer(0, "Base"),
                 chunk("PNTS", points({0, 0, 0, 1, 0, 0, 1, 1, 0})),
                 chunk("POLS", id("FACE") + u2(3) + vx(0) + vx(1) + vx(2)),
                 chunk("LAYR", u2(4) + u2(0) + points({0, 0, 0}) + s0("Gap") + u2(0)),
                 chunk("PNTS", points({0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0,
                                       0, 0, 1, 0, 1, 1, 1, 1, 1, 1, 0, 1})),
                 chunk("POLS", quads), chunk("POLS", id("PTCH") + u2(3) + vx(0) + vx(1) + vx(4)),
                 layer(7)});
}

TEST_F(TarvelCommandsTest, infoListsLayersAndWhatASelectionCanName) {
    copyExample("facing_grids.lwo", "grids.lwo");
    ASSERT_EQ(run({"info", "grids.lwo"}), kExitOk) << err;
    EXPECT_EQ(out,
              "grids.lwo: LightWave object (.lwo), LWO2\n"
              "layer:\n"
              "* 1: 45 points, 26 polygons (FACE 26)\n"
              "in layer 1 (*), which a run takes: polygons 0-25\n"
              "  surfaces: Floor (16), Ceiling (9), Wall (1)\n"
              "  parts: none\n"
              "  smoothing groups: none\n");

    const lwobytes::Bytes bytes = threeLayers();
    std::ofstream("layers.lwo", std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    ASSERT_EQ(run({"info", "layers.lwo"}), kExitOk) << err;
    EXPECT_EQ(out,
              "layers.lwo: LightWave object (.lwo), LWO2\n"
              "layers:\n"
              "* 1 \"Base\": 3 points, 1 polygon (FACE 1)\n"
              "  5 \"Gap\" (parent 1): 8 points, 4 polygons (FACE 3, PTCH 1)\n"
              "  8: 0 points, 0 polygons\n"
              "in layer 1 (*), which a run takes: polygons 0\n"
              "  surfaces: Default (1)\n"
              "  parts: none\n"
              "  smoothing groups: none\n");
    ASSERT_EQ(run({"info", "layers.lwo", "--json"}), kExitOk) << err;
    const standin::JsonValue info = standin::parseJson(out);
    EXPECT_EQ(info.at("format").string(), "lwo");
    EXPECT_EQ(info.at("form").string(), "LWO2");
    ASSERT_EQ(info.at("layers").items().size(), 3u);
    const standin::JsonValue& gap = info.at("layers").at(1);
    EXPECT_EQ(gap.at("number").numberText(), "5");
    EXPECT_EQ(gap.at("name").string(), "Gap");
    EXPECT_EQ(gap.at("parent").numberText(), "1");
    EXPECT_EQ(gap.at("points").numberText(), "8");
    EXPECT_EQ(gap.at("polygons").at("FACE").numberText(), "3");
    EXPECT_EQ(gap.at("polygons").at("PTCH").numberText(), "1");
    EXPECT_TRUE(info.at("layers").at(0).at("parent").isNull());
    EXPECT_TRUE(info.at("layers").at(0).at("runs_on").boolean());
    EXPECT_EQ(
        out,
        "{\"input\": \"layers.lwo\", \"format\": \"lwo\", \"form\": \"LWO2\", \"layers\": [{\"num"
        "ber\": 1, \"name\": \"Base\", \"parent\": null, \"points\": 3, \"polygons\": {\"FACE\": "
        "1}, \"runs_on\": true}, {\"number\": 5, \"name\": \"Gap\", \"parent\": 1, \"points\": 8,"
        " \"polygons\": {\"FACE\": 3, \"PTCH\": 1}, \"runs_on\": false}, {\"number\": 8, \"name\""
        ": \"\", \"parent\": null, \"points\": 0, \"polygons\": {}, \"runs_on\": false}], \"surfa"
        "ces\": [{\"name\": \"Default\", \"polygons\": 1}], \"parts\": [], \"smoothing_groups\": "
        "[]}\n");

    in = "v 0 0 0\nv 1 0 0\nv 0 1 0\ng lid\nusemtl Paint\nf 1 2 3\nl 1 2\ng base\nf 3 2 1\n";
    ASSERT_EQ(run({"info", "-", "--format", "obj", "--json"}), kExitOk) << err;
    const standin::JsonValue obj = standin::parseJson(out);
    EXPECT_EQ(obj.at("input").string(), "standard input");
    EXPECT_EQ(obj.at("parts").at(0).at("name").string(), "lid");
    EXPECT_EQ(obj.at("parts").at(0).at("polygons").numberText(), "2");
    EXPECT_EQ(obj.at("parts").at(1).at("polygons").numberText(), "1");
    EXPECT_EQ(obj.at("surfaces").at(0).at("name").string(), "Paint");
    EXPECT_EQ(obj.at("surfaces").at(0).at("polygons").numberText(), "3");
    EXPECT_EQ(
        out,
        "{\"input\": \"standard input\", \"format\": \"obj\", \"layers\": [{\"number\": 1, \"name"
        "\": \"\", \"parent\": null, \"points\": 3, \"polygons\": {\"FACE\": 2, \"LINE\": 1}, \"r"
        "uns_on\": true}], \"surfaces\": [{\"name\": \"Paint\", \"polygons\": 3}], \"parts\": [{"
        "\"name\": \"lid\", \"polygons\": 2}, {\"name\": \"base\", \"polygons\": 1}], \"smoothing"
        "_groups\": []}\n");

    // A later layer the reader does not decode is still read with bounds: a POLS chunk that
    // ends inside a polygon, and a LAYR chunk too short for its name, are refused.
    using namespace tarvel::lwobytes;
    const Bytes base = layer(0) + chunk("PNTS", points({0, 0, 0, 1, 0, 0, 1, 1, 0})) +
                       chunk("POLS", id("FACE") + u2(3) + vx(0) + vx(1) + vx(2));
    for (const Bytes& damaged : {chunk("LAYR", u2(1) + u2(0)) + chunk("PNTS", points({0, 0, 0})),
                                 layer(1) + chunk("POLS", id("FACE") + u2(3) + vx(0) + vx(1))}) {
        in.clear();
        const Bytes file = form({base, damaged});
        in.assign(reinterpret_cast<const char*>(file.data()), file.size());
        EXPECT_EQ(run({"info", "-", "--format", "lwo"}), kExitInputError);
        EXPECT_EQ(err.rfind("tarvel: standard input: ", 0), 0u) << err;
        EXPECT_NE(err.find(" at byte "), std::string::npos) << err;
        EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1);
    }

    EXPECT_EQ(run({"info", "-"}), kExitUsageError);
    EXPECT_EQ(run({"info", "absent.obj"}), kExitInputError);
    EXPECT_EQ(err, "tarvel: absent.obj: cannot open: No such file or directory\n");
}

TEST_F(TarvelCommandsTest, versionAndHelpSayWhatThereIs) {
    ASSERT_EQ(run({"--version"}), kExitOk);
    EXPECT_EQ(out, "tarvel 1.0.1\nmodule " + std::string(TARVEL_MODULE_FILE) +
                       ": file version 1.0.1.330 (FileVersion \"1, 0, 0, 330\")\n");
    const std::optional<ModuleVersion> version = readModuleVersion(fs::path(TARVEL_MODULE_FILE));
    ASSERT_TRUE(version.has_value());
    EXPECT_EQ(version->fileVersion, "1.0.1.330");
    std::ofstream("plain.p") << "not a module";
    EXPECT_FALSE(readModuleVersion(fs::path("plain.p")).has_value());

    const std::vector<std::pair<std::string, std::vector<std::string>>> commands = {
        {"", {"run", "info", "host", "--version"}},
        {"run",
         {"--output", "--out-dir", "--format", "--all", "--select-surface", "--select-part",
          "--select-polygons", "--layer", "--svg", "--html", "--trace", "--module", "--in-place",
          "--dry-run", "--json", "--quiet"}},
        {"info", {"FILE", "--format", "--json"}},
        {"host", {"SCENE", "--trace", "--module"}}};
    for (const auto& [command, options] : commands) {
        SCOPED_TRACE(command);
        std::vector<std::string> args;
        if (!command.empty()) {
            args.push_back(command);
        }
        args.push_back("--help");
        ASSERT_EQ(run(args), kExitOk) << err;
        EXPECT_EQ(err, "");
        for (const std::string& option : options) {
            EXPECT_NE(out.find(option), std::string::npos) << option;
        }
        EXPECT_NE(out.find("Exit codes:\n  0  "), std::string::npos);
        // Each command lists the codes it can end with: info never runs the tool.
        EXPECT_EQ(out.find("  3  the tool stopped") != std::string::npos, command != "info");
        const std::size_t examples = out.find("Examples:\n");
        ASSERT_NE(examples, std::string::npos);
        std::istringstream lines(out.substr(examples));
        std::string line;
        std::size_t shown = 0;
        while (std::getline(lines, line)) {
            shown += line.rfind("  tarvel ", 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(shown, 2u);
    }
    EXPECT_EQ(run({}), kExitUsageError);
    EXPECT_EQ(err, "tarvel: no command given: run, info or host (see tarvel --help)\n");
}

}  // namespace
}  // namespace tarvel::cli
