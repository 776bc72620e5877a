#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "cli/exit_codes.h"
#include "mesh/input_error.h"
#include "tests/usage_refusal.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

using testing::refusal;

std::string usageRefusal(std::vector<std::string> args) {
    return refusal([&args] { parseHostCommandLine(args); });
}

TEST(CommandLineTest, takesTheSceneAndBothOptionsInEitherForm) {
    const std::vector<std::string> args = {"--trace", "out.json", "s.json", "--module=m.p"};
    const CommandLine line = parseHostCommandLine(args);
    EXPECT_EQ(line.command, Command::host);
    EXPECT_EQ(line.host.scene, "s.json");
    EXPECT_EQ(line.host.trace, fs::path("out.json"));
    EXPECT_EQ(line.host.module, fs::path("m.p"));

    const CommandLine plain = parseHostCommandLine(std::vector<std::string>{"s.json"});
    EXPECT_FALSE(plain.host.trace.has_value());
    EXPECT_FALSE(plain.host.module.has_value());
    // After "--" a name that starts with '-' is the scene.
    EXPECT_EQ(parseHostCommandLine(std::vector<std::string>{"--", "-odd.json"}).host.scene,
              "-odd.json");
    const CommandLine help = parseHostCommandLine(std::vector<std::string>{"--help"});
    EXPECT_EQ(help.command, Command::help);
    EXPECT_NE(help.help.find("--trace"), std::string::npos);
    EXPECT_NE(help.help.find("Exit codes:"), std::string::npos);
}

TEST(CommandLineTest, refusesWhatItCannotUse) {
    EXPECT_EQ(usageRefusal({"s.json", "--tracefile", "t"}),
              "The following arguments were not expected: t --tracefile");
    EXPECT_EQ(usageRefusal({"s.json", "--trace"}), "--trace: 1 required TRACE.json missing");
    EXPECT_EQ(usageRefusal({"s.json", "--trace", "a", "--trace=b"}),
              "--trace: At Most 1 required but received 2");
    EXPECT_EQ(usageRefusal({"a.json", "b.json"}),
              "The following argument was not expected: b.json");
    EXPECT_EQ(usageRefusal({}), "SCENE is required");
    EXPECT_EQ(usageRefusal({"--trace", "t.json"}), "SCENE is required");
}

RunOptions runOptions(std::vector<std::string> words) {
    words.insert(words.begin(), "run");
    const CommandLine line = parseTarvelCommandLine(words);
    EXPECT_EQ(line.command, Command::run);
    return line.run;
}

TEST(RunOptionsTest, takesEveryOptionAndRefusesWhatItCannotUse) {
    const RunOptions options = runOptions({"in.lwo",
                                           "-o",
                                           "out.lwo",
                                           "--select-surface",
                                           "Floor",
                                           "--select-part=lid",
                                           "--select-part",
                                           "base",
                                           "--select-polygons",
                                           "0-24",
                                           "--select-polygons=30",
                                           "--svg",
                                           "p.svg",
                                           "--trace=t.json",
                                           "--layer",
                                           "2",
                                           "--layer",
                                           "Top",
                                           "--json",
                                           "-q"});
    EXPECT_EQ(options.inputs, std::vector<fs::path>{"in.lwo"});
    EXPECT_EQ(options.output, fs::path("out.lwo"));
    EXPECT_EQ(options.selection.surfaces, std::vector<std::string>{"Floor"});
    EXPECT_EQ(options.selection.parts, (std::vector<std::string>{"lid", "base"}));
    ASSERT_EQ(options.selection.polygons.size(), 2u);
    EXPECT_EQ(options.selection.polygons[0].last, 24u);
    EXPECT_EQ(options.selection.polygons[1].first, 30u);
    EXPECT_EQ(options.layers, (std::vector<std::string>{"2", "Top"}));
    EXPECT_EQ(options.svg, fs::path("p.svg"));
    EXPECT_EQ(options.trace, fs::path("t.json"));
    EXPECT_FALSE(options.module.has_value());
    EXPECT_TRUE(options.json && options.quiet);
    EXPECT_FALSE(options.inPlace || options.selection.all);

    const RunOptions several = runOptions({"a.obj", "b.obj", "--all", "--out-dir", "out"});
    EXPECT_EQ(several.inputs.size(), 2u);
    EXPECT_EQ(several.outDir, fs::path("out"));
    EXPECT_EQ(runOptions({"m.obj", "--all", "--in-place"}).output, fs::path("m.obj"));
    EXPECT_EQ(runOptions({"-", "--format", "obj", "--all", "-o", "-"}).format,
              formats::MeshFormat::obj);

    const auto refused = [](std::vector<std::string> words) {
        return refusal([&words] {
            words.insert(words.begin(), "run");
            parseTarvelCommandLine(words);
        });
    };
    EXPECT_EQ(refused({"in.lwo", "--all"}),
              "no output given: -o OUTPUT, --out-dir DIR, --in-place or --dry-run");
    EXPECT_EQ(refused({"-o", "out.lwo"}), "INPUT is required");
    EXPECT_EQ(refused({"a.lwo", "b.lwo", "-o", "c.lwo"}),
              "-o names one output, and 2 inputs are given: use --out-dir DIR");
    EXPECT_EQ(refused({"a.lwo", "b.lwo", "--out-dir", "d", "--svg", "p.svg"}),
              "--svg names one file: give one input with it");
    EXPECT_EQ(refused({"a.lwo", "-o", "c.lwo", "--out-dir", "d"}),
              "-o and --out-dir do not go together: give one");
    EXPECT_EQ(refused({"a.lwo", "-o", "c.lwo", "--output=d.lwo"}),
              "--output: At Most 1 required but received 2");
    EXPECT_EQ(refused({"a.lwo", "-o", "c.lwo", "--svg"}), "--svg: 1 required PICTURE.svg missing");
    EXPECT_EQ(refused({"a.lwo", "-o", "c.lwo", "--all", "--select-part", "x"}),
              "--all selects every polygon: give it without --select options");
    EXPECT_EQ(refused({"-", "-o", "c.lwo"}), "standard input needs --format lwo or --format obj");
    EXPECT_EQ(refused({"-", "--format", "stl", "-o", "c.lwo"}).substr(0, 9), "--format:");
    EXPECT_EQ(refused({"-", "a.lwo", "--format", "lwo", "--out-dir", "d"}),
              "standard input (-) can only be the one input");
    EXPECT_EQ(refused({"a.lwo", "-o", "c.lwo", "--select-polygons", "x"}),
              "--select-polygons: 'x' is not an index or a range of indices such as 0-99");
}

}  // namespace
}  // namespace tarvel::cli
