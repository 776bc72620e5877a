#include "cli/run_command.h"

#include <chrono>
#include <set>
#include <sstream>

#include "cli/exit_codes.h"
#include "cli/failure_exit.h"
#include "cli/host_program.h"
#include "cli/mesh_input.h"
#include "cli/output_files.h"
#include "cli/report/html_report.h"
#include "cli/run_summary.h"
#include "cli/svg_picture.h"
#include "formats/format_error.h"
#include "standin/input_error.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"
#include "standin/trace_writer.h"

namespace tarvelhost {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

/// Where the result of `input` goes: -o, or its own name in --out-dir; empty for a dry run
/// without either.
fs::path outputFor(const RunOptions& options, const fs::path& input) {
    if (options.outDir) {
        return *options.outDir / input.filename();
    }
    return options.output.value_or(fs::path());
}

/// Refuses outputs that would destroy the input: the output itself unless --in-place, the
/// picture and the trace always.
void refuseOverwritingInput(const RunOptions& options, const fs::path& input,
                            const fs::path& output) {
    if (input == "-") {
        return;
    }
    if (!output.empty() && output != "-" && !options.inPlace && sameFile(input, output)) {
        throw UsageError(inputName(input) + ": the output " + output.string() +
                         " is the input file: give --in-place to replace it");
    }
    const std::pair<const std::optional<fs::path>*, const char*> extras[] = {
        {&options.svg, "picture"}, {&options.html, "report page"}, {&options.trace, "trace"}};
    for (const auto& [extra, what] : extras) {
        if (*extra && sameFile(input, **extra)) {
            throw UsageError(inputName(input) + ": " + (*extra)->string() +
                             " is the input file: the " + what + " would replace it");
        }
    }
}

/// One input, start to finish. Fills `report`; returns the exit code; throws on failure.
int runOneFile(const RunOptions& options, const fs::path& input,
               const standin::PluginModule& module, Console& console, std::ostream& messages,
               FileReport& report) {
    const Clock::time_point start = Clock::now();
    const fs::path output = outputFor(options, input);
    const std::optional<std::string> layer =
        options.layers.empty() ? std::nullopt : std::optional<std::string>(options.layers.front());
    formats::MeshFile file = readMeshInput(input, options.format, console.in, layer);
    report.format = formatKey(file.format());
    if (!output.empty() && output != "-") {
        const std::optional<formats::MeshFormat> outputFormat = formats::formatFromName(output);
        if (outputFormat && *outputFormat != file.format()) {
            throw UsageError(output.string() + ": the output must be a " +
                             formats::formatName(file.format()) + ", as the input is");
        }
    }
    refuseOverwritingInput(options, input, output);
    if (file.mesh().polygons.empty()) {
        throw formats::FormatError(file.name() + ": no polygons" + file.meshPlace() +
                                   ": nothing to run the tool on");
    }
    checkSelection(file.mesh(), options.selection, file.name());

    standin::Scene scene;
    scene.mesh = file.takeMesh();
    report.selectedPolygons = applySelection(scene.mesh, options.selection);
    const standin::Mesh before = options.svg || options.html ? scene.mesh : standin::Mesh();
    const std::size_t scenePolygons = scene.mesh.polygons.size();
    const standin::Trace trace = standin::runTool(
        module, std::move(scene),
        options.trace ? standin::CallLogging::full : standin::CallLogging::countsOnly);
    if (!trace.mesh) {
        throw standin::InputError(file.name() + ": the module closed no edit; nothing written");
    }
    report.counts = countRun(trace, scenePolygons);
    report.messages = messageTexts(trace);
    if (!options.quiet && !options.json) {
        writeMessages(trace, messages);
    }
    const int code = runExitCode(trace, scenePolygons);
    report.exitCode = code;

    if (!options.dryRun) {
        const std::vector<std::byte> edited = file.editedBytes(*trace.mesh);
        OutputFiles files;
        if (options.svg) {
            std::ostringstream svg;
            writeSvg(before, *trace.mesh,
                     input == "-" ? "standard input" : input.filename().string(), svg);
            files.stage(*options.svg, svg.str());
        }
        if (options.html) {
            // The page shows the run's summary line, timed up to here.
            const std::string summary =
                runSummaryLine(report.input, report.counts, secondsSince(start));
            const report::ReportRun run{input == "-" ? "standard input" : input.filename().string(),
                                        summary,
                                        report.counts,
                                        trace.calls.messages(),
                                        before,
                                        *trace.mesh};
            std::ostringstream page;
            report::writeHtmlReport(run, page);
            files.stage(*options.html, page.str());
        }
        if (options.trace) {
            std::ostringstream text;
            standin::writeTrace(trace, text);
            files.stage(*options.trace, text.str());
        }
        if (output != "-") {
            files.stage(output, edited);
        }
        files.commit();
        if (output == "-") {
            console.out.write(reinterpret_cast<const char*>(edited.data()),
                              static_cast<std::streamsize>(edited.size()));
            console.out.flush();
        }
        report.output = output == "-" ? "-" : output.string();
    }
    report.seconds = secondsSince(start);
    return code;
}

/// Refuses, before anything runs, two inputs whose results would land on the same name.
void refuseCollidingOutputs(const RunOptions& options) {
    if (!options.outDir) {
        return;
    }
    std::set<fs::path> names;
    for (const fs::path& input : options.inputs) {
        if (!names.insert(input.filename()).second) {
            throw UsageError("--out-dir: two inputs are named " + input.filename().string() +
                             ": their results would replace each other");
        }
    }
}

/// The line that shows how far a long call has come; it is rewritten in place.
class Progress {
public:
    Progress(Console& console, std::size_t total, bool shown)
        : console_(console), total_(total), shown_(shown) {}
    void show(std::size_t done, const fs::path& input) {
        if (shown_) {
            console_.err << "\r\033[K[" << done + 1 << '/' << total_ << "] " << input.string()
                         << std::flush;
        }
    }
    void clear() {
        if (shown_) {
            console_.err << "\r\033[K" << std::flush;
        }
    }

private:
    Console& console_;
    std::size_t total_;
    bool shown_;
};

/// A progress line is worth drawing from this many files on.
constexpr std::size_t kProgressFiles = 4;

}  // namespace

int runFiles(const RunOptions& options, const fs::path& defaultModule, Console& console) {
    refuseCollidingOutputs(options);
    if (options.layers.size() > 1) {
        // The tool edits the primary foreground layer alone, as in the modeller.
        throw UsageError("--layer: the tool runs on one layer at a time: give --layer once");
    }
    const Clock::time_point start = Clock::now();
    const standin::LoadedModule module(options.module.value_or(defaultModule));
    if (options.outDir && !options.dryRun) {
        std::error_code error;
        fs::create_directories(*options.outDir, error);
        if (error) {
            throw standin::InputError(options.outDir->string() +
                                      ": cannot make the folder: " + error.message());
        }
    }
    // The mesh on standard output leaves the reports to standard error.
    std::ostream& reports = options.output == fs::path("-") ? console.err : console.out;
    Progress progress(
        console, options.inputs.size(),
        console.errIsTerminal && !options.quiet && options.inputs.size() >= kProgressFiles);

    std::vector<FileReport> done;
    int worst = kExitOk;
    for (const fs::path& input : options.inputs) {
        progress.show(done.size(), input);
        FileReport report;
        report.input = inputName(input);
        report.dryRun = options.dryRun;
        std::ostringstream messages;
        std::ostringstream failure;
        const Clock::time_point fileStart = Clock::now();
        report.exitCode = exitCodeOf("tarvel", report.input, failure, [&] {
            return runOneFile(options, input, module.module(), console, messages, report);
        });
        progress.clear();
        console.err << messages.str() << failure.str();
        if (!failure.str().empty()) {
            report.output.clear();
            report.seconds = secondsSince(fileStart);
            std::string why = failure.str();
            why = why.substr(why.find(": ") + 2);
            report.error = why.substr(0, why.find('\n'));
        }
        worst = worseExit(worst, report.exitCode);
        if (options.json) {
            reports << reportJson(report) << '\n';
        } else if (!options.quiet && report.error.empty()) {
            reports << runSummaryLine(report.input, report.counts, report.seconds)
                    << (options.dryRun ? " (dry run: nothing written)" : "") << '\n';
        }
        reports.flush();
        done.push_back(std::move(report));
    }
    if (done.size() > 1) {
        if (options.json) {
            reports << totalJson(done, secondsSince(start), worst) << '\n';
        } else if (!options.quiet) {
            reports << totalLine(done, secondsSince(start)) << '\n';
        }
    }
    return worst;
}

}  // namespace tarvelhost
