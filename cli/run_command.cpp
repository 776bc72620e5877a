#include "cli/run_command.h"

#include <cerrno>
#include <chrono>
#include <optional>
#include <set>
#include <sstream>

#include "cli/exit_codes.h"
#include "cli/failure_exit.h"
#include "cli/host_program.h"
#include "cli/mesh_input.h"
#include "cli/output_files.h"
#include "cli/progress_line.h"
#include "cli/report/html_report.h"
#include "cli/run_outcome.h"
#include "cli/run_summary.h"
#include "cli/standard_output.h"
#include "cli/svg_picture.h"
#include "formats/format_error.h"
#include "mesh/input_error.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"
#include "standin/trace_writer.h"

namespace tarvel::cli {

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

/// Reads `input` and refuses, before anything runs, what cannot be done with it.
formats::MeshFile readChecked(const RunOptions& options, const fs::path& input,
                              const fs::path& output, Console& console, ProgressLine& progress) {
    const std::optional<std::string> layer =
        options.layers.empty() ? std::nullopt : std::optional<std::string>(options.layers.front());
    formats::MeshFile file = readMeshInput(
        input, options.format, console.in, layer,
        [&progress](std::uint64_t done, std::uint64_t total) { progress.advance(done, total); });
    if (output == "-" && console.outIsTerminal && file.format() == formats::MeshFormat::lwo) {
        throw UsageError(
            "-o -: standard output is a terminal, and a LightWave object is binary: "
            "redirect it to a file or a pipe");
    }
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
    checkSelection(file.mesh(), options.selection, file.name(), partNamesIn(file.format()));
    return file;
}

/// What one run hands on to the writing of its files.
struct RunResult {
    const formats::MeshFile& file;
    /// The mesh given to the tool, kept only for a picture or a page.
    const standin::Mesh& before;
    const standin::Trace& trace;
    Clock::time_point start;
};

/// Stages the picture, the page and the trace that the options ask for.
void stageReports(const RunOptions& options, const fs::path& input, const RunResult& run,
                  const FileReport& report, OutputFiles& files) {
    const std::string shownName = input == "-" ? "standard input" : input.filename().string();
    if (options.svg) {
        std::ostringstream svg;
        writeSvg(run.before, *run.trace.mesh, shownName, svg);
        files.stage(*options.svg, svg.str());
    }
    if (options.html) {
        // The page shows the run's summary line, timed up to here.
        const std::string summary =
            runSummaryLine(report.input, report.counts, secondsSince(run.start));
        const report::ReportRun page{shownName,
                                     summary,
                                     report.stopReason,
                                     report.counts,
                                     run.trace.calls.messages(),
                                     run.before,
                                     *run.trace.mesh};
        std::ostringstream text;
        report::writeHtmlReport(page, text);
        files.stage(*options.html, text.str());
    }
    if (options.trace) {
        std::ostringstream text;
        standin::writeTrace(run.trace, text);
        files.stage(*options.trace, text.str());
    }
}

/// Writes the edited file and the reports together; fills report.output.
void writeResults(const RunOptions& options, const fs::path& input, const fs::path& output,
                  const RunResult& run, Console& console, ProgressLine& progress,
                  FileReport& report) {
    OutputFiles files;
    files.onProgress(
        [&progress](std::uint64_t done, std::uint64_t total) { progress.advance(done, total); });
    if (options.svg || options.html || options.trace) {
        progress.step(report.label, RunStep::report);
        stageReports(options, input, run, report, files);
    }
    progress.step(report.label, RunStep::writing);
    const std::vector<std::byte> edited = run.file.editedBytes(*run.trace.mesh);
    // A run that changed nothing leaves the file it would replace untouched.
    const bool unchangedInPlace = report.exitCode == kExitToolStopped && output != "-" &&
                                  options.inPlace && sameFile(input, output);
    if (output != "-" && !unchangedInPlace) {
        files.stage(output, edited);
    }
    files.commit();
    if (output == "-") {
        errno = 0;
        console.out.write(reinterpret_cast<const char*>(edited.data()),
                          static_cast<std::streamsize>(edited.size()));
        requireWritten(console);
    }
    report.output = output == "-" ? "-" : output.string();
}

/// One input, start to finish. Fills `report`; returns the exit code; throws on failure.
int runOneFile(const RunOptions& options, const fs::path& input,
               const standin::PluginModule& module, Console& console, ProgressLine& progress,
               std::ostream& messages, FileReport& report) {
    const Clock::time_point start = Clock::now();
    const fs::path output = outputFor(options, input);
    progress.step(report.label, RunStep::reading);
    formats::MeshFile file = readChecked(options, input, output, console, progress);
    report.format = formatKey(file.format());

    progress.step(report.label, RunStep::running);
    standin::Scene scene;
    scene.mesh = file.takeMesh();
    report.selectedPolygons =
        applySelection(scene.mesh, options.selection, partNamesIn(file.format()));
    const standin::Mesh before = options.svg || options.html ? scene.mesh : standin::Mesh();
    const std::size_t scenePolygons = scene.mesh.polygons.size();
    const standin::Trace trace = standin::runTool(
        module, std::move(scene),
        options.trace ? standin::CallLogging::full : standin::CallLogging::countsOnly);
    if (!trace.mesh) {
        throw standin::InputError(file.name() + ": the module closed no edit; nothing written");
    }
    refuseAbandonedEdit(trace, file.name());
    report.counts = countRun(trace, scenePolygons);
    report.messages = messageTexts(trace);
    report.stopReason = silentStopReason(trace, report.counts, report.selectedPolygons);
    if (!options.quiet && !options.json) {
        // With several inputs each message names its file.
        writeMessages(trace, messages,
                      options.inputs.size() > 1 ? report.input + ": " : std::string());
    }
    report.exitCode = runExitCode(trace, scenePolygons);
    if (!options.dryRun) {
        writeResults(options, input, output, RunResult{file, before, trace, start}, console,
                     progress, report);
    }
    report.seconds = secondsSince(start);
    return report.exitCode;
}

/// Refuses, before anything runs, two outputs of one input that name the same file, however
/// named (links followed).
void refuseSharedOutputs(const RunOptions& options) {
    if (options.inputs.size() != 1) {
        return;
    }
    const fs::path output = outputFor(options, options.inputs.front());
    const std::pair<std::optional<fs::path>, const char*> named[] = {
        {output.empty() || output == "-" ? std::nullopt : std::optional(output),
         options.outDir ? "--out-dir" : "-o"},
        {options.svg, "--svg"},
        {options.html, "--html"},
        {options.trace, "--trace"}};
    for (std::size_t a = 0; a < std::size(named); ++a) {
        for (std::size_t b = a + 1; b < std::size(named); ++b) {
            if (named[a].first && named[b].first && samePlace(*named[a].first, *named[b].first)) {
                throw UsageError(std::string(named[a].second) + " and " + named[b].second +
                                 " both name " + named[b].first->string() +
                                 ": give each output a file of its own");
            }
        }
    }
}

/// Refuses, before anything runs, two inputs whose results would land on the same name.
void refuseCollidingOutputs(const RunOptions& options) {
    refuseSharedOutputs(options);
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

/// Makes the --out-dir folder when it is missing (not for a dry run).
void makeOutDir(const RunOptions& options) {
    if (options.outDir && !options.dryRun) {
        std::error_code error;
        fs::create_directories(*options.outDir, error);
        if (error) {
            throw standin::InputError(options.outDir->string() +
                                      ": cannot make the folder: " + error.message());
        }
    }
}

/// Writes what became of one file: its summary line and any stop reason, or its JSON object.
void writeFileReport(const RunOptions& options, const FileReport& report, Console& console,
                     std::ostream& reports) {
    errno = 0;
    if (options.json) {
        reports << fileReportJson(report) << '\n';
    } else if (!options.quiet && report.error.empty()) {
        reports << runSummaryLine(report.input, report.counts, report.seconds)
                << (options.dryRun ? " (dry run: nothing written)" : "") << '\n';
        if (!report.stopReason.empty()) {
            reports << report.input << ": " << report.stopReason << '\n';
        }
    }
    if (&reports == &console.out) {
        flushOut(console);
    } else {
        reports.flush();
    }
}

}  // namespace

int runFiles(const RunOptions& options, const fs::path& defaultModule, Console& console) {
    refuseCollidingOutputs(options);
    if (options.layers.size() > 1) {
        // The tool edits the primary foreground layer alone, as in the modeller.
        throw UsageError("--layer: the tool runs on one layer at a time: give --layer once");
    }
    const Clock::time_point start = Clock::now();
    const standin::LoadedModule module(options.module.value_or(defaultModule));
    makeOutDir(options);
    // The mesh on standard output leaves the reports to standard error.
    std::ostream& reports = options.output == fs::path("-") ? console.err : console.out;
    ProgressLine progress(console.err, console.errIsTerminal && !options.quiet && !options.json);

    std::vector<FileReport> done;
    int worst = kExitOk;
    for (const fs::path& input : options.inputs) {
        FileReport report;
        report.input = inputName(input);
        report.label = options.inputs.size() > 1
                           ? "[" + std::to_string(done.size() + 1) + "/" +
                                 std::to_string(options.inputs.size()) + "] " + report.input
                           : report.input;
        report.dryRun = options.dryRun;
        std::ostringstream messages;
        std::optional<std::string> failure;
        const Clock::time_point fileStart = Clock::now();
        report.exitCode = runCatching(
            report.input,
            [&] {
                return runOneFile(options, input, module.module(), console, progress, messages,
                                  report);
            },
            failure);
        progress.pause();
        console.err << messages.str();
        if (failure) {
            console.err << "tarvel: " << *failure << '\n';
            // Nothing of a failed file was written, so it counts for nothing.
            report.output.clear();
            report.counts = RunCounts{};
            report.seconds = secondsSince(fileStart);
            report.error = failure->substr(0, failure->find('\n'));
        }
        worst = worseExit(worst, report.exitCode);
        writeFileReport(options, report, console, reports);
        done.push_back(std::move(report));
    }
    if (done.size() > 1) {
        errno = 0;
        if (options.json) {
            reports << totalJson(done, secondsSince(start), worst) << '\n';
        } else if (!options.quiet) {
            reports << totalLine(done, secondsSince(start)) << '\n';
        }
    }
    return worst;
}

}  // namespace tarvel::cli
