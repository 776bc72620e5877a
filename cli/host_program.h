// tarvel-host and `tarvel host`: runs a plug-in module on a scene and writes what happened.
#pragma once

#include <filesystem>
#include <span>
#include <string>

#include "cli/command_line.h"
#include "cli/console.h"
#include "standin/stand_in_host.h"

namespace tarvel::cli {

/// Reads the scene, loads the module (`defaultModule` unless --module names one), runs it,
/// and writes the trace file or, without --trace, a summary on the console's out. The tool's
/// messages go to its err. A trace file appears only complete. Returns kExitOk when the run
/// changed the mesh and kExitToolStopped when it did not; throws on any failure.
int runHost(const HostOptions& options, const std::filesystem::path& defaultModule,
            Console& console);

/// Whether a run changed the mesh (added or removed polygons): kExitOk, or
/// kExitToolStopped.
int runExitCode(const standin::Trace& trace, std::size_t scenePolygons);

/// The whole of tarvel-host for the arguments after its name. Any failure is one line on err
/// and its exit code; no trace file is left.
int runHostProgram(std::span<const std::string> args, const std::filesystem::path& defaultModule,
                   Console& console);

}  // namespace tarvel::cli
