// The arguments of tarvel-host.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace tarvelhost {

inline constexpr const char* kUsage =
    "usage: tarvel-host SCENE.json [--trace TRACE.json] [--module PATH]";

struct CommandLine {
    std::filesystem::path scene;
    /// Where to write the trace; without it the program prints a summary.
    std::optional<std::filesystem::path> trace;
    /// The module file to run; without it, tarvel.p beside the program.
    std::optional<std::filesystem::path> module;
    /// --help: print the usage and do nothing else.
    bool help = false;
};

/// Reads the arguments after the program name. Options take their value as the next argument
/// or after '='; "--" ends the options. Throws standin::InputError with a one-line message for
/// an unknown option, an option without its value or given twice, and a missing or second
/// scene.
CommandLine parseCommandLine(std::span<const std::string> args);

}  // namespace tarvelhost
