// `tarvel run`: runs the tool on mesh files and writes the edited files.
#pragma once

#include <filesystem>

#include "cli/command_line.h"
#include "cli/console.h"

namespace tarvel::cli {

/// Runs the module (`defaultModule` unless --module names one) on each input in turn and
/// writes each result in its input's format: to -o (standard output for "-"), or under the
/// input's file name in --out-dir (made when missing). For each file: reads it (standard input for
/// "-"), refuses a selection it cannot meet, selects, runs the tool through the stand-in host, and
/// writes the result, the picture and the trace together through OutputFiles (nothing with
/// --dry-run). The tool's messages go to err; one summary line per file (one JSON object with
/// --json, nothing with --quiet) goes to out, or to err when the mesh itself goes to out;
/// several files end with a total. A file that fails is one line on err and does not stop the
/// others. Returns the worst exit code of the files (worseExit); throws only when nothing
/// could run (the module refused).
int runFiles(const RunOptions& options, const std::filesystem::path& defaultModule,
             Console& console);

}  // namespace tarvel::cli
