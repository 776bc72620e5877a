// What tarvel says about a run: every stop has its reason, every refusal its way out, and
// every message its file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/run_outcome.h"
#include "cli/run_summary.h"
#include "mesh/input_error.h"
#include "tests/tarvel_in_process.h"
#include "tests/test_folder.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEL_SOURCE_DIR;

/// Two triangles, each lying on a copy of itself, facing each other a unit apart: the tool
/// pairs the two groups, and neither has a boundary to link.
constexpr const char* kDoubledTriangles =
    "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nv 1 0 1\nv 0 1 1\n"
    "f 1 2 3\nf 1 2 3\nf 6 5 4\nf 6 5 4\n";

class RunReportsTest : public ::testing::Test, protected testing::TarvelInProcess {
protected:
    void SetUp() override {
        folder_ = testfolder::freshTestFolder("run_reports_");
        previous_ = fs::current_path();
        fs::current_path(folder_);
        fs::copy_file(kSource / "examples" / "facing_grids.obj", "in.obj");
        fs::copy_file(kSource / "examples" / "facing_grids.lwo", "in.lwo");
    }
    void TearDown() override {
        fs::current_path(previous_);
        fs::remove_all(folder_);
    }

    fs::path folder_;
    fs::path previous_;
};

TEST_F(RunReportsTest, twoOutputsNamingOneFileAreAUsageErrorAndNothingIsWritten) {
    fs::create_symlink("o.obj", "link.obj");
    const std::vector<std::vector<std::string>> clashes = {
        {"-o", "o.obj", "--html", "o.obj"},
        {"-o", "o.obj", "--svg", "r.html", "--html", "r.html"},
        {"--trace", "x", "-o", "x"},
        {"-o", "o.obj", "--trace", "link.obj"},
        {"-o", "o.obj", "--svg", "./sub/../o.obj"}};
    for (std::vector<std::string> args : clashes) {
        args.insert(args.begin(), {"run", "in.obj", "--all"});
        EXPECT_EQ(run(args), kExitUsageError) << args[4];
        EXPECT_NE(err.find("give each output a file of its own"), std::string::npos) << err;
    }
    EXPECT_FALSE(fs::exists("o.obj"));
    EXPECT_FALSE(fs::exists("x"));
    EXPECT_FALSE(fs::exists("r.html"));
}

TEST_F(RunReportsTest, aDryRunWithFilesToWriteIsRefused) {
    for (const char* option : {"--svg", "--html", "--trace"}) {
        EXPECT_EQ(run({"run", "in.obj", "--all", "--dry-run", option, "extra"}), kExitUsageError);
        EXPECT_NE(err.find("--dry-run writes nothing"), std::string::npos) << err;
    }
    EXPECT_FALSE(fs::exists("extra"));
}

TEST_F(RunReportsTest, aSilentStopSaysWhatTheToolFoundInTheSummaryJsonAndPage) {
    std::ofstream("doubled.obj") << kDoubledTriangles;
    EXPECT_EQ(run({"run", "doubled.obj", "--all", "-o", "out.obj", "--html", "r.html"}),
              kExitToolStopped);
    EXPECT_NE(out.find("doubled.obj: the tool found groups facing each other among the 4 "
                       "selected polygons and paired them, but no pair had a boundary to link"),
              std::string::npos)
        << out;
    std::ostringstream page;
    page << std::ifstream("r.html").rdbuf();
    EXPECT_NE(page.str().find("\"stopReason\":\"the tool found groups facing"), std::string::npos);

    EXPECT_EQ(run({"run", "doubled.obj", "--all", "-o", "out.obj", "--json"}), kExitToolStopped);
    EXPECT_NE(out.find("\"stop_reason\": \"the tool found groups facing"), std::string::npos)
        << out;

    // A stop with the tool's own message needs no other reason.
    std::ofstream("one.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    EXPECT_EQ(run({"run", "one.obj", "--all", "-o", "out.obj", "--json"}), kExitToolStopped);
    EXPECT_EQ(out.find("stop_reason"), std::string::npos) << out;
}

TEST_F(RunReportsTest, anEditTheToolAbandonedForWantOfMemoryIsAnInputError) {
    standin::Trace trace;
    trace.calls = standin::CallLog(standin::CallLogging::countsOnly);
    trace.calls.done(kEditErrorNoMemory, 0);
    try {
        refuseAbandonedEdit(trace, "big.obj");
        FAIL() << "accepted";
    } catch (const standin::InputError& error) {
        EXPECT_STREQ(error.what(), "big.obj: the tool ran out of memory; nothing written");
    }
    standin::Trace closed;
    closed.calls.done(0, 9);
    EXPECT_NO_THROW(refuseAbandonedEdit(closed, "big.obj"));
}

TEST_F(RunReportsTest, withSeveralInputsEveryMessageNamesItsFile) {
    std::ofstream("one.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    fs::create_directory("out");
    EXPECT_EQ(run({"run", "one.obj", "in.obj", "--all", "--out-dir", "out"}), kExitToolStopped);
    EXPECT_NE(err.find("one.obj: Error: Need at least two directly selected polys"),
              std::string::npos)
        << err;
}

TEST_F(RunReportsTest, refusalsSayHowToGoOn) {
    EXPECT_EQ(run({"run", "in.lwo", "--all", "--layer", "7", "-o", "o.lwo"}), kExitUsageError);
    EXPECT_NE(err.find("no layer 7"), std::string::npos) << err;

    fs::copy_file("in.obj", "in.dat");
    EXPECT_EQ(run({"info", "in.dat"}), kExitUsageError);
    EXPECT_NE(err.find("give --format lwo or --format obj"), std::string::npos) << err;
    EXPECT_EQ(run({"info", "in.dat", "--format", "obj"}), kExitOk);

    EXPECT_EQ(run({"rn", "in.obj"}), kExitUsageError);
    EXPECT_NE(err.find("unknown command 'rn': did you mean 'run'?"), std::string::npos) << err;
    EXPECT_EQ(run({"RUN", "in.obj"}), kExitUsageError);
    EXPECT_NE(err.find("did you mean 'run'?"), std::string::npos) << err;

    std::ofstream("floor.obj") << "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl Floor\nf 1 2 3\n";
    EXPECT_EQ(run({"run", "floor.obj", "--select-surface", "floor", "-o", "o.obj"}),
              kExitUsageError);
    EXPECT_NE(err.find("did you mean 'Floor'?"), std::string::npos) << err;

    EXPECT_EQ(run({"run", "in.obj", "--select-polygons", "99999999999999999999", "-o", "o.obj"}),
              kExitUsageError);
    EXPECT_NE(err.find("is out of range"), std::string::npos) << err;

    outIsTerminal = true;
    EXPECT_EQ(run({"run", "in.lwo", "--all", "-o", "-"}), kExitUsageError);
    EXPECT_NE(err.find("standard output is a terminal"), std::string::npos) << err;
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(run({"run", "in.obj", "--all", "-o", "-"}), kExitOk);
}

TEST_F(RunReportsTest, eachCommandsHelpListsItsOwnExitCodes) {
    EXPECT_EQ(run({"info", "--help"}), kExitOk);
    EXPECT_NE(out.find("0  the file was read and listed"), std::string::npos) << out;
    EXPECT_EQ(out.find("  3  "), std::string::npos) << out;
    EXPECT_EQ(run({"host", "--help"}), kExitOk);
    EXPECT_NE(out.find("0  the run changed the mesh"), std::string::npos) << out;
    EXPECT_NE(out.find("3  the tool stopped"), std::string::npos) << out;
}

TEST(RunSummaryJsonTest, eachFileAndTheTotalAreOneLineOfJson) {
    FileReport stopped;
    stopped.input = "a \"b\".obj";
    stopped.format = "obj";
    stopped.selectedPolygons = 4;
    stopped.messages = {"first\nsecond", "<none>"};
    stopped.seconds = 0.25;
    stopped.exitCode = kExitToolStopped;
    stopped.stopReason = "nothing faced";
    stopped.dryRun = true;
    EXPECT_EQ(
        fileReportJson(stopped),
        "{\"input\": \"a \\\"b\\\".obj\", \"output\": null, \"format\": \"obj\", \"selected_polyg"
        "ons\": 4, \"pairs_linked\": 0, \"links\": {\"Red\": 0, \"DkRed\": 0, \"Blue\": 0}, \"lin"
        "ks_added\": 0, \"polygons_removed\": 0, \"messages\": [\"first\\nsecond\", \"<none>\"], "
        "\"seconds\": 0.250000, \"exit_code\": 3, \"dry_run\": true, \"stop_reason\": \"nothing f"
        "aced\"}");

    FileReport linked;
    linked.input = "in.lwo";
    linked.output = "out.lwo";
    linked.format = "lwo";
    linked.selectedPolygons = 50;
    linked.counts.pairs = 1;
    linked.counts.links[0].second = 1;
    linked.counts.links[1].second = 15;
    linked.counts.links.emplace_back("untagged", 2);
    linked.counts.linksAdded = 18;
    linked.counts.polygonsRemoved = 25;
    linked.seconds = 1234.5;
    EXPECT_EQ(
        fileReportJson(linked),
        "{\"input\": \"in.lwo\", \"output\": \"out.lwo\", \"format\": \"lwo\", \"selected_polygon"
        "s\": 50, \"pairs_linked\": 1, \"links\": {\"Red\": 1, \"DkRed\": 15, \"Blue\": 0, \"unta"
        "gged\": 2}, \"links_added\": 18, \"polygons_removed\": 25, \"messages\": [], \"seconds\""
        ": 1234.500000, \"exit_code\": 0, \"dry_run\": false}");

    FileReport failed;
    failed.input = "missing.obj";
    failed.exitCode = kExitInputError;
    failed.error = "missing.obj: cannot open";
    EXPECT_EQ(
        fileReportJson(failed),
        "{\"input\": \"missing.obj\", \"output\": null, \"format\": null, \"selected_polygons\": "
        "0, \"pairs_linked\": 0, \"links\": {\"Red\": 0, \"DkRed\": 0, \"Blue\": 0}, \"links_adde"
        "d\": 0, \"polygons_removed\": 0, \"messages\": [], \"seconds\": 0.000000, \"exit_code\":"
        " 1, \"dry_run\": false, \"error\": \"missing.obj: cannot open\"}");

    EXPECT_EQ(
        totalJson({stopped, linked, failed}, 2.0, kExitInputError),
        "{\"total\": true, \"files\": 3, \"completed\": 1, \"stopped\": 1, \"failed\": 1, \"pairs"
        "_linked\": 1, \"links_added\": 18, \"polygons_removed\": 25, \"seconds\": 2.000000, \"ex"
        "it_code\": 1}");
}

}  // namespace
}  // namespace tarvel::cli
