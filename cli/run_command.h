// `tarvel run`: runs the tool on a mesh file and writes the edited file.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "cli/selection.h"

namespace tarvelhost {

inline constexpr const char* kRunUsage =
    "usage: tarvel run INPUT -o OUTPUT [--select-surface NAME] [--select-part NAME] "
    "[--select-polygons LIST] [--layer NUMBER|NAME] [--svg PICTURE.svg] [--html REPORT.html] "
    "[--trace TRACE.json] [--module PATH]";

struct RunOptions {
    std::filesystem::path input;
    std::filesystem::path output;
    SelectionRules selection;
    /// The layer of a LightWave object the tool sees (formats::chooseLayer); the first without.
    std::optional<std::string> layer;
    std::optional<std::filesystem::path> svg;
    std::optional<std::filesystem::path> html;
    std::optional<std::filesystem::path> trace;
    std::optional<std::filesystem::path> module;
    bool help = false;
};

/// Reads the arguments after "run". Options take their value as the next argument or after
/// '='; "--" ends the options. Throws standin::InputError with a one-line message for an
/// unknown option, an option without its value or given twice, a bad polygon list, and a
/// missing or second input or a missing output.
RunOptions parseRunOptions(std::span<const std::string> args);

/// The whole command for the arguments after "run": reads the input (LWO2 or OBJ), selects
/// its polygons, runs the module (`defaultModule` unless --module names one) on them through
/// the stand-in host, and writes the edited file in the input's format, the picture and the
/// report page and the trace when asked, each through a temporary file renamed into place. Prints
/// the tool's messages and one summary line on `out`. Any failure is one line on `err` and a
/// non-zero result (kExitUsageError for the arguments, kExitInputError otherwise), and leaves the
/// output untouched.
int runRunCommand(std::span<const std::string> args, const std::filesystem::path& defaultModule,
                  std::ostream& out, std::ostream& err);

/// `tarvel COMMAND ...`: "run" (above) or "host" (tarvel-host's arguments).
int runTarvel(std::span<const std::string> args, const std::filesystem::path& defaultModule,
              std::ostream& out, std::ostream& err);

}  // namespace tarvelhost
