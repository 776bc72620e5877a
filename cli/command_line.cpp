#include "cli/command_line.h"

#include <algorithm>
#include <cctype>
#include <initializer_list>
#include <string_view>

#include <CLI/CLI.hpp>

#include "cli/exit_codes.h"

namespace tarvel::cli {

namespace {

constexpr const char* kExitCodes =
    "Exit codes:\n"
    "  0  the run completed: links added, patches removed\n"
    "  1  an input or output error: nothing was written\n"
    "  2  a usage error (options, or a selection the file cannot meet): nothing ran\n"
    "  3  the tool stopped with one of its messages and changed nothing; the output is\n"
    "     written unchanged\n";

constexpr const char* kInfoExitCodes =
    "Exit codes:\n"
    "  0  the file was read and listed\n"
    "  1  the file cannot be read (missing, unreadable, not a mesh file of its format)\n"
    "  2  a usage error (options, a layer the file does not hold, a format not given)\n";

constexpr const char* kHostExitCodes =
    "Exit codes:\n"
    "  0  the run changed the mesh: links added, patches removed\n"
    "  1  an input or output error (scene, module, trace file, memory): no trace written\n"
    "  2  a usage error: nothing ran\n"
    "  3  the tool stopped (with its message, or the reason printed) and changed nothing\n";

constexpr const char* kTarvelFooter =
    "\nExamples:\n"
    "  tarvel run model.lwo --select-part lid --select-part base -o model.linked.lwo\n"
    "  tarvel info scan.obj\n";

constexpr const char* kRunFooter =
    "\nWithout a selection option the run is refused: name the polygons, or give --all.\n"
    "Within a kind a polygon matches any of the names given; it must match every kind given.\n"
    "\nWhat a run does: the tool gathers the selected faces into groups (patches of faces that\n"
    "share edges and face the same way) and pairs groups that face each other: the partner's\n"
    "normal misses being exactly opposite the group's by at most 45 degrees (by just under 90\n"
    "when only two groups were formed), and the partner's centre lies in front of the group.\n"
    "The message \"Angle between groups should be less than 45 degrees\" speaks of that miss,\n"
    "not of the angle between the normals. Each pair's two boundaries are joined by two-point\n"
    "polygons (links) on the surface \"test\", tagged by colour (COLR):\n"
    "  Red    one per pair: from the first point, by angle around its centre, of the boundary\n"
    "         with more points to the point of the other boundary nearest it by angle\n"
    "  DkRed  from each other point of that boundary to the point of the other nearest it\n"
    "  Blue   from each point of the other boundary that no Red or DkRed link reached, to\n"
    "         the point of the first boundary nearest it by angle\n"
    "Then every face of both groups of every linked pair is removed; the links, the groups\n"
    "that found no partner and everything unselected stay.\n"
    "\nExamples:\n"
    "  tarvel run model.lwo --select-surface Gap -o model.linked.lwo\n"
    "  tarvel run parts/*.obj --all --out-dir linked/ --json\n";

constexpr const char* kInfoFooter =
    "\nExamples:\n"
    "  tarvel info model.lwo\n"
    "  tarvel info - --format obj --json < scan.obj\n";

constexpr const char* kHostFooter =
    "\nExamples:\n"
    "  tarvel host examples/facing_grids.json\n"
    "  tarvel host scene.json --trace scene.trace.json\n";

/// CLI11 reads its arguments from the back of the vector.
std::vector<std::string> reversed(std::span<const std::string> args) {
    return std::vector<std::string>(args.rbegin(), args.rend());
}

std::optional<std::filesystem::path> pathOf(const CLI::Option* option, const std::string& value) {
    if (option->count() == 0) {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::optional<formats::MeshFormat> formatOf(const CLI::Option* option, const std::string& value) {
    if (option->count() == 0) {
        return std::nullopt;
    }
    return value == "lwo" ? formats::MeshFormat::lwo : formats::MeshFormat::obj;
}

/// An option that may be given any number of times, one value each time.
CLI::Option* repeatable(CLI::App& app, const std::string& name, std::vector<std::string>& values,
                        const std::string& description) {
    return app.add_option(name, values, description)
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->allow_extra_args(false);
}

/// Where the host command's values land until they are checked.
struct HostValues {
    std::string scene;
    std::string trace;
    std::string module;
    CLI::Option* traceOption = nullptr;
    CLI::Option* moduleOption = nullptr;
};

void addHostOptions(CLI::App& app, HostValues& values) {
    app.add_option("SCENE", values.scene, "the scene file (JSON)")->required()->type_name("");
    values.traceOption =
        app.add_option("--trace", values.trace,
                       "write every call the module made, and the mesh after, to this file (JSON); "
                       "without it, print a summary")
            ->type_name("TRACE.json");
    values.moduleOption =
        app.add_option("--module", values.module,
                       "the module file to run (default: tarvel.p beside the program)")
            ->type_name("PATH");
    app.footer(std::string(kHostExitCodes) + kHostFooter);
}

HostOptions hostOptions(const HostValues& values) {
    HostOptions options;
    options.scene = values.scene;
    options.trace = pathOf(values.traceOption, values.trace);
    options.module = pathOf(values.moduleOption, values.module);
    return options;
}

struct RunValues {
    std::vector<std::string> inputs;
    std::string output;
    std::string outDir;
    std::string format;
    std::vector<std::string> polygons;
    std::string svg;
    std::string html;
    std::string trace;
    std::string module;
    CLI::Option* outputOption = nullptr;
    CLI::Option* outDirOption = nullptr;
    CLI::Option* formatOption = nullptr;
    CLI::Option* svgOption = nullptr;
    CLI::Option* htmlOption = nullptr;
    CLI::Option* traceOption = nullptr;
    CLI::Option* moduleOption = nullptr;
};

void addRunOptions(CLI::App& app, RunValues& values, RunOptions& options) {
    app.add_option("INPUT", values.inputs,
                   "mesh files to run on (.lwo LightWave, .obj Wavefront); - reads standard input")
        ->required()
        ->type_name("");
    values.outputOption =
        app.add_option("-o,--output", values.output,
                       "the edited file, in the input's format; - writes it to standard output")
            ->type_name("OUTPUT");
    values.outDirOption =
        app.add_option("--out-dir", values.outDir,
                       "write each input's result under its own name in this folder")
            ->type_name("DIR");
    values.formatOption = app.add_option("--format", values.format,
                                         "the inputs' format (required for standard input)")
                              ->check(CLI::IsMember({"lwo", "obj"}))
                              ->type_name("FORMAT");
    app.add_flag("--all", options.selection.all,
                 "select every FACE, PTCH and SUBD polygon (no --select option with it)");
    repeatable(app, "--select-surface", options.selection.surfaces,
               "select the polygons of this surface (OBJ: usemtl); repeatable")
        ->type_name("NAME");
    repeatable(app, "--select-part", options.selection.parts,
               "select the polygons of this part (OBJ: g group); repeatable")
        ->type_name("NAME");
    repeatable(app, "--select-polygons", values.polygons,
               "select these polygons, counted from 0: 0-99,150,200-; repeatable")
        ->type_name("LIST");
    repeatable(app, "--layer", options.layers,
               "the LightWave layer the tool sees, by its button number or name (default: "
               "the first)")
        ->type_name("N|NAME");
    values.svgOption =
        app.add_option("--svg", values.svg, "also draw the mesh before and after (SVG)")
            ->type_name("PICTURE.svg");
    values.htmlOption =
        app.add_option("--html", values.html,
                       "also write a report page to look at the run in 3D (HTML, one file)")
            ->type_name("REPORT.html");
    values.traceOption =
        app.add_option("--trace", values.trace,
                       "also write every call the module made (JSON, as tarvel host writes it)")
            ->type_name("TRACE.json");
    values.moduleOption =
        app.add_option("--module", values.module,
                       "the module file to run (default: tarvel.p beside the program)")
            ->type_name("PATH");
    app.add_flag("--in-place", options.inPlace, "allow the output to be the input file");
    app.add_flag("-n,--dry-run", options.dryRun, "run the tool and report; write nothing");
    app.add_flag("--json", options.json, "print one JSON object per file instead of the summary");
    app.add_flag("-q,--quiet", options.quiet, "print neither summary nor the tool's messages");
    app.footer(std::string(kExitCodes) + kRunFooter);
}

/// Refuses the options that name one file, or need one input, when several are given.
void refuseWithSeveralInputs(const RunOptions& options, bool fromInput) {
    if (fromInput) {
        throw UsageError("standard input (-) can only be the one input");
    }
    if (options.output) {
        throw UsageError("-o names one output, and " + std::to_string(options.inputs.size()) +
                         " inputs are given: use --out-dir DIR");
    }
    for (const auto& [option, given] : {std::pair{"--svg", options.svg.has_value()},
                                        std::pair{"--html", options.html.has_value()},
                                        std::pair{"--trace", options.trace.has_value()}}) {
        if (given) {
            throw UsageError(std::string(option) + " names one file: give one input with it");
        }
    }
    if (!options.outDir && !options.dryRun) {
        throw UsageError("no output given: --out-dir DIR for several inputs (or --dry-run)");
    }
}

/// Fills `options` from `values` and refuses options that do not go together.
void finishRunOptions(const RunValues& values, RunOptions& options) {
    for (const std::string& input : values.inputs) {
        options.inputs.emplace_back(input);
    }
    options.output = pathOf(values.outputOption, values.output);
    options.outDir = pathOf(values.outDirOption, values.outDir);
    options.format = formatOf(values.formatOption, values.format);
    options.svg = pathOf(values.svgOption, values.svg);
    options.html = pathOf(values.htmlOption, values.html);
    options.trace = pathOf(values.traceOption, values.trace);
    options.module = pathOf(values.moduleOption, values.module);
    for (const std::string& list : values.polygons) {
        const std::vector<IndexRange> ranges = parseIndexRanges(list, "--select-polygons");
        options.selection.polygons.insert(options.selection.polygons.end(), ranges.begin(),
                                          ranges.end());
    }

    if (options.selection.all &&
        (!options.selection.surfaces.empty() || !options.selection.parts.empty() ||
         !options.selection.polygons.empty())) {
        throw UsageError("--all selects every polygon: give it without --select options");
    }
    const bool fromInput =
        std::find(options.inputs.begin(), options.inputs.end(), "-") != options.inputs.end();
    if (fromInput && !options.format) {
        throw UsageError("standard input needs --format lwo or --format obj");
    }
    if (options.dryRun && (options.svg || options.html || options.trace)) {
        throw UsageError(
            "--dry-run writes nothing: give --svg, --html and --trace without it, or drop them");
    }
    if (options.output && options.outDir) {
        throw UsageError("-o and --out-dir do not go together: give one");
    }
    if (options.inputs.size() > 1) {
        refuseWithSeveralInputs(options, fromInput);
        return;
    }
    if (!options.output && !options.outDir && !options.dryRun) {
        if (!options.inPlace) {
            throw UsageError("no output given: -o OUTPUT, --out-dir DIR, --in-place or --dry-run");
        }
        if (fromInput) {
            throw UsageError("--in-place: standard input has no file to write back");
        }
        options.output = options.inputs.front();
    }
    if (fromInput && options.outDir) {
        throw UsageError("--out-dir: standard input has no file name: use -o OUTPUT");
    }
}

struct InfoValues {
    std::string input;
    std::string layer;
    std::string format;
    CLI::Option* formatOption = nullptr;
};

void addInfoOptions(CLI::App& app, InfoValues& values, InfoOptions& options) {
    app.add_option("FILE", values.input, "the mesh file (.lwo or .obj); - reads standard input")
        ->required()
        ->type_name("");
    values.formatOption =
        app.add_option("--format", values.format, "the file's format (required for standard input)")
            ->check(CLI::IsMember({"lwo", "obj"}))
            ->type_name("FORMAT");
    app.add_option("--layer", values.layer,
                   "list the names of this LightWave layer, by its button number or name "
                   "(default: the first)")
        ->type_name("N|NAME");
    app.add_flag("--json", options.json, "print one JSON object");
    app.footer(std::string(kInfoExitCodes) + kInfoFooter);
}

/// The number of single-character edits that turn `a` into `b`, ignoring case.
std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            const bool same = std::tolower(static_cast<unsigned char>(a[i - 1])) ==
                              std::tolower(static_cast<unsigned char>(b[j - 1]));
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (same ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

/// Refuses `word` when it is not one of `commands`, suggesting the one it comes near.
void refuseUnknownCommand(const std::string& word, std::initializer_list<const char*> commands) {
    std::string nearest;
    std::size_t best = 3;  // two edits at most
    for (const char* command : commands) {
        if (word == command) {
            return;
        }
        const std::size_t distance = editDistance(word, command);
        if (distance < best) {
            best = distance;
            nearest = command;
        }
    }
    throw UsageError("unknown command '" + word + "'" +
                     (nearest.empty() ? std::string() : ": did you mean '" + nearest + "'?") +
                     " (commands: run, info, host; see tarvel --help)");
}

/// Parses `args` with `app`; a request for help gives its text, a parse error a UsageError.
/// Returns whether help was asked for.
bool parse(CLI::App& app, std::span<const std::string> args, std::string& help,
           const std::string& program) {
    std::vector<std::string> words = reversed(args);
    try {
        app.parse(words);
    } catch (const CLI::CallForHelp&) {
        help = app.help();
        return true;
    } catch (const CLI::ParseError& error) {
        // CLI11 names the command it failed in only in the help; add it, and where to look.
        std::string command = program;
        for (const CLI::App* sub : app.get_subcommands()) {
            command += " " + sub->get_name();
        }
        throw UsageError(std::string(error.what()) + " (see " + command + " --help)");
    }
    return false;
}

/// Fills `options` from `values`; refuses standard input without --format.
void finishInfoOptions(const InfoValues& values, InfoOptions& options) {
    options.input = values.input;
    options.format = formatOf(values.formatOption, values.format);
    if (!values.layer.empty()) {
        options.layer = values.layer;
    }
    if (options.input == "-" && !options.format) {
        throw UsageError("standard input needs --format lwo or --format obj");
    }
}

}  // namespace

CommandLine parseTarvelCommandLine(std::span<const std::string> args) {
    CommandLine line;
    if (!args.empty() && args[0] == "help") {
        return parseTarvelCommandLine(std::vector<std::string>{"--help"});
    }
    if (!args.empty() && !args[0].empty() && args[0][0] != '-') {
        refuseUnknownCommand(args[0], {"run", "info", "host", "help"});
    }
    CLI::App app("Runs the Tarvel Tool on mesh files, without the modeller.", "tarvel");
    // A path such as /home/me/model.lwo (which Wine passes as it is) is a path, not an option.
    app.allow_windows_style_options(false);
    app.set_help_flag("-h,--help", "print this help and exit");
    bool version = false;
    app.add_flag("--version", version, "print the program's and the module file's versions");
    app.require_subcommand(0, 1);
    app.footer(std::string(kExitCodes) + kTarvelFooter);

    CLI::App* run = app.add_subcommand(
        "run", "Run the tool on mesh files and write the edited files in their format.");
    run->set_help_flag("-h,--help", "print this help and exit");
    RunValues runValues;
    addRunOptions(*run, runValues, line.run);

    CLI::App* info = app.add_subcommand(
        "info", "List a mesh file's layers, surfaces, parts and smoothing groups.");
    info->set_help_flag("-h,--help", "print this help and exit");
    InfoValues infoValues;
    addInfoOptions(*info, infoValues, line.info);

    CLI::App* host =
        app.add_subcommand("host", "Run the tool on a scene file (JSON), as tarvel-host does.");
    host->set_help_flag("-h,--help", "print this help and exit");
    HostValues hostValues;
    addHostOptions(*host, hostValues);

    if (parse(app, args, line.help, "tarvel")) {
        line.command = Command::help;
        return line;
    }
    if (version) {
        line.command = Command::version;
    } else if (run->parsed()) {
        line.command = Command::run;
        finishRunOptions(runValues, line.run);
    } else if (info->parsed()) {
        line.command = Command::info;
        finishInfoOptions(infoValues, line.info);
    } else if (host->parsed()) {
        line.command = Command::host;
        line.host = hostOptions(hostValues);
    } else {
        throw UsageError("no command given: run, info or host (see tarvel --help)");
    }
    return line;
}

CommandLine parseHostCommandLine(std::span<const std::string> args) {
    CommandLine line;
    CLI::App app("Runs the Tarvel Tool on a scene file (JSON) in the stand-in host.",
                 "tarvel-host");
    app.allow_windows_style_options(false);
    app.set_help_flag("-h,--help", "print this help and exit");
    HostValues values;
    addHostOptions(app, values);
    if (parse(app, args, line.help, "tarvel-host")) {
        line.command = Command::help;
        return line;
    }
    line.command = Command::host;
    line.host = hostOptions(values);
    return line;
}

}  // namespace tarvel::cli
