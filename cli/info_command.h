// `tarvel info`: what a mesh file holds, enough to write a selection.
#pragma once

#include "cli/command_line.h"
#include "cli/console.h"

namespace tarvel::cli {

/// Prints the file's format; its layers (number as LightWave shows it, name, parent, points,
/// polygons by type), marking the one a run takes (the first, or --layer); the surfaces,
/// parts and smoothing groups of that layer with their polygon counts; as text or, with --json, one
/// JSON object. Throws on a file it cannot read.
int runInfo(const InfoOptions& options, Console& console);

}  // namespace tarvel::cli
