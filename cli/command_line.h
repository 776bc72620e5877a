// The command lines of tarvel and tarvel-host, read with CLI11.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "cli/selection.h"
#include "formats/mesh_file.h"

namespace tarvel::cli {

/// `tarvel host SCENE.json` (tarvel-host).
struct HostOptions {
    std::filesystem::path scene;
    /// Where to write the trace; without it the program prints a summary.
    std::optional<std::filesystem::path> trace;
    /// The module file to run; without it, tarvel.p beside the program.
    std::optional<std::filesystem::path> module;
};

/// `tarvel run INPUT... (-o OUTPUT | --out-dir DIR)`.
struct RunOptions {
    /// "-" is standard input.
    std::vector<std::filesystem::path> inputs;
    /// One input's result; "-" is standard output.
    std::optional<std::filesystem::path> output;
    /// Each input's result under its own file name in this folder.
    std::optional<std::filesystem::path> outDir;
    /// The format of the inputs when their names do not give it (standard input, always).
    std::optional<formats::MeshFormat> format;
    SelectionRules selection;
    /// --layer as given: the layer of a LightWave object the tool sees, by the number on the
    /// modeller's layer button or by name (formats::chooseLayer); the first without. The tool
    /// runs on one layer, so more than one is refused before anything runs.
    std::vector<std::string> layers;
    std::optional<std::filesystem::path> svg;
    /// The report page (HTML).
    std::optional<std::filesystem::path> html;
    std::optional<std::filesystem::path> trace;
    std::optional<std::filesystem::path> module;
    /// Allows the output to be the input file.
    bool inPlace = false;
    /// Run and report; write nothing.
    bool dryRun = false;
    /// One JSON object per file instead of the summary line.
    bool json = false;
    /// Neither summary nor the tool's messages; errors still go to standard error.
    bool quiet = false;
};

/// `tarvel info FILE`.
struct InfoOptions {
    std::filesystem::path input;
    std::optional<formats::MeshFormat> format;
    /// The layer whose names are listed, as --layer of `tarvel run`; the first without.
    std::optional<std::string> layer;
    bool json = false;
};

enum class Command { run, host, info, help, version };

struct CommandLine {
    Command command = Command::help;
    RunOptions run;
    HostOptions host;
    InfoOptions info;
    /// For Command::help: the text to print.
    std::string help;
};

/// Reads tarvel's arguments (after the program name): "run", "host" or "info" and their
/// options, or --help / --version. Options take their value as the next argument or after
/// '='; "--" ends the options. Throws UsageError with a one-line message for anything it
/// cannot use: an unknown command or option, an option without its value or given twice
/// where it may be given once, a malformed polygon list, and options that do not go together.
CommandLine parseTarvelCommandLine(std::span<const std::string> args);

/// Reads tarvel-host's arguments: those of `tarvel host`. The result is Command::host or
/// Command::help.
CommandLine parseHostCommandLine(std::span<const std::string> args);

}  // namespace tarvel::cli
