#include "cli/run_command.h"

#include <chrono>
#include <new>
#include <sstream>
#include <string_view>

#include "cli/host_program.h"
#include "cli/report/html_report.h"
#include "cli/run_summary.h"
#include "cli/svg_picture.h"
#include "formats/format_error.h"
#include "formats/mesh_file.h"
#include "standin/input_error.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"
#include "standin/trace_writer.h"

namespace tarvelhost {

namespace {

constexpr const char* kProgram = "tarvel";
constexpr const char* kTarvelUsage =
    "usage: tarvel run INPUT -o OUTPUT [options] | tarvel host SCENE.json [options] | "
    "tarvel COMMAND --help";

[[noreturn]] void refuse(const std::string& why) {
    throw standin::InputError(why + " (" + kRunUsage + ")");
}

void writeBytesInPlace(const std::filesystem::path& path, const std::vector<std::byte>& bytes) {
    writeFileInPlace(path, [&bytes](std::ostream& file) {
        file.write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    });
}

}  // namespace

RunOptions parseRunOptions(std::span<const std::string> args) {
    RunOptions options;
    bool haveInput = false;
    bool haveOutput = false;
    bool optionsEnded = false;
    std::optional<std::string> polygons;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        const bool isOption = !optionsEnded && arg.size() > 1 && arg[0] == '-';
        if (!isOption) {
            if (haveInput) {
                refuse("more than one input given: '" + std::string(arg) + "'");
            }
            options.input = std::string(arg);
            haveInput = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name(arg.substr(0, equals));
        std::string value;
        if (equals != std::string_view::npos) {
            value = std::string(arg.substr(equals + 1));
        } else if (i + 1 < args.size()) {
            value = args[++i];
        }
        const auto take = [&](auto& target, bool given) {
            if (given) {
                refuse(name + " given twice");
            }
            if (value.empty()) {
                refuse(name + " needs a value");
            }
            target = value;
        };
        if (name == "-o" || name == "--output") {
            take(options.output, haveOutput);
            haveOutput = true;
        } else if (name == "--select-surface") {
            take(options.selection.surface, options.selection.surface.has_value());
        } else if (name == "--select-part") {
            take(options.selection.part, options.selection.part.has_value());
        } else if (name == "--select-polygons") {
            take(polygons, polygons.has_value());
        } else if (name == "--layer") {
            take(options.layer, options.layer.has_value());
        } else if (name == "--svg") {
            take(options.svg, options.svg.has_value());
        } else if (name == "--html") {
            take(options.html, options.html.has_value());
        } else if (name == "--trace") {
            take(options.trace, options.trace.has_value());
        } else if (name == "--module") {
            take(options.module, options.module.has_value());
        } else {
            refuse("unknown option '" + std::string(arg) + "'");
        }
    }
    if (options.help) {
        return options;
    }
    if (!haveInput) {
        refuse("no input file given");
    }
    if (!haveOutput) {
        refuse("no output file given (-o OUTPUT)");
    }
    if (polygons) {
        options.selection.polygons = parseIndexRanges(*polygons, "--select-polygons");
    }
    return options;
}

int runRunCommand(std::span<const std::string> args, const std::filesystem::path& defaultModule,
                  std::ostream& out, std::ostream& err) {
    RunOptions options;
    try {
        options = parseRunOptions(args);
    } catch (const standin::InputError& error) {
        err << kProgram << " run: " << error.what() << '\n';
        return kExitUsageError;
    }
    if (options.help) {
        out << kRunUsage << '\n';
        return kExitOk;
    }
    try {
        const auto start = std::chrono::steady_clock::now();
        const formats::MeshFile input = formats::MeshFile::load(options.input, options.layer);
        const std::optional<formats::MeshFormat> outputFormat =
            formats::formatFromName(options.output);
        if (outputFormat && *outputFormat != input.format()) {
            throw standin::InputError(options.output.string() + ": the output must be a " +
                                      formats::formatName(input.format()) + ", as the input is");
        }
        if (input.mesh().polygons.empty()) {
            throw formats::FormatError(input.name() + ": no polygons" + input.meshPlace() +
                                       ": nothing to run the tool on");
        }
        standin::Scene scene;
        scene.mesh = input.mesh();
        applySelection(scene.mesh, options.selection);
        const standin::Mesh before = options.svg || options.html ? scene.mesh : standin::Mesh();
        const std::size_t scenePolygons = scene.mesh.polygons.size();

        const standin::LoadedModule module(options.module.value_or(defaultModule));
        const standin::Trace trace = standin::runTool(
            module.module(), std::move(scene),
            options.trace ? standin::CallLogging::full : standin::CallLogging::countsOnly);
        if (!trace.mesh) {
            throw standin::InputError(options.input.string() +
                                      ": the module closed no edit; nothing written");
        }
        const std::vector<std::byte> edited = input.editedBytes(*trace.mesh);
        // The time is the run's: reading, running and editing, before any file is written.
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        const RunCounts counts = countRun(trace, scenePolygons);
        const std::string summary = runSummaryLine(options.input.string(), counts, seconds.count());

        if (options.svg) {
            writeFileInPlace(*options.svg, [&](std::ostream& file) {
                writeSvg(before, *trace.mesh, options.input.filename().string(), file);
            });
        }
        if (options.html) {
            const report::ReportRun run{options.input.filename().string(),
                                        summary,
                                        counts,
                                        trace.calls.messages(),
                                        before,
                                        *trace.mesh};
            writeFileInPlace(*options.html,
                             [&run](std::ostream& file) { report::writeHtmlReport(run, file); });
        }
        if (options.trace) {
            writeFileInPlace(*options.trace,
                             [&trace](std::ostream& file) { standin::writeTrace(trace, file); });
        }
        writeBytesInPlace(options.output, edited);
        writeMessages(trace, out);
        out << summary << '\n';
        return kExitOk;
    } catch (const standin::InputError& error) {
        err << kProgram << ": " << error.what() << '\n';
    } catch (const std::bad_alloc&) {
        err << kProgram << ": " << options.input.string() << ": out of memory\n";
    } catch (const std::exception& error) {
        err << kProgram << ": " << error.what() << '\n';
    }
    return kExitInputError;
}

int runTarvel(std::span<const std::string> args, const std::filesystem::path& defaultModule,
              std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kProgram << ": no command given (" << kTarvelUsage << ")\n";
        return kExitUsageError;
    }
    const std::string& command = args[0];
    if (command == "run") {
        return runRunCommand(args.subspan(1), defaultModule, out, err);
    }
    if (command == "host") {
        return runHostProgram(args.subspan(1), defaultModule, out, err);
    }
    if (command == "--help" || command == "-h" || command == "help") {
        out << kTarvelUsage << '\n';
        return kExitOk;
    }
    err << kProgram << ": unknown command '" << command << "' (" << kTarvelUsage << ")\n";
    return kExitUsageError;
}

}  // namespace tarvelhost
