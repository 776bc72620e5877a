#include "cli/host_program.h"

#include <algorithm>
#include <sstream>

#include "cli/exit_codes.h"
#include "cli/failure_exit.h"
#include "cli/output_files.h"
#include "cli/run_outcome.h"
#include "cli/run_summary.h"
#include "mesh/input_error.h"
#include "sdk/polygon_flags.h"
#include "standin/module_loader.h"
#include "standin/scene_reader.h"
#include "standin/trace_writer.h"

namespace tarvel::cli {

int runExitCode(const standin::Trace& trace, std::size_t scenePolygons) {
    const RunCounts counts = countRun(trace, scenePolygons);
    return counts.linksAdded > 0 || counts.polygonsRemoved > 0 ? kExitOk : kExitToolStopped;
}

int runHost(const HostOptions& options, const std::filesystem::path& defaultModule,
            Console& console) {
    if (options.trace && sameFile(options.scene, *options.trace)) {
        throw UsageError(options.trace->string() + ": the trace would replace the scene file");
    }
    standin::Scene scene = standin::loadScene(options.scene);
    const std::size_t scenePolygons = scene.mesh.polygons.size();
    const auto selected = static_cast<std::size_t>(std::count_if(
        scene.mesh.polygons.begin(), scene.mesh.polygons.end(),
        [](const standin::Polygon& polygon) { return (polygon.flags & kPolygonSelected) != 0; }));
    const standin::LoadedModule module(options.module.value_or(defaultModule));
    const standin::Trace trace = standin::runTool(module.module(), std::move(scene));
    writeMessages(trace, console.err);
    refuseAbandonedEdit(trace, options.scene.string());
    if (options.trace) {
        std::ostringstream text;
        standin::writeTrace(trace, text);
        OutputFiles files;
        files.stage(*options.trace, text.str());
        files.commit();
    } else {
        writeSummary(trace, scenePolygons, console.out);
    }
    const std::string reason = silentStopReason(trace, countRun(trace, scenePolygons), selected);
    if (!reason.empty()) {
        console.err << "tarvel-host: " << options.scene.string() << ": " << reason << '\n';
    }
    return runExitCode(trace, scenePolygons);
}

int runHostProgram(std::span<const std::string> args, const std::filesystem::path& defaultModule,
                   Console& console) {
    return exitCodeOf("tarvel-host", "", console.err, [&] {
        const CommandLine line = parseHostCommandLine(args);
        if (line.command == Command::help) {
            console.out << line.help;
            return kExitOk;
        }
        return runHost(line.host, defaultModule, console);
    });
}

}  // namespace tarvel::cli
