// tarvel: the commands run, info and host, and --help and --version.
#pragma once

#include <filesystem>
#include <span>
#include <string>

#include "cli/console.h"

namespace tarvel::cli {

/// The whole program for the arguments after its name. Every failure is one line on the
/// console's err and its exit code (see cli/exit_codes.h).
int runTarvel(std::span<const std::string> args, const std::filesystem::path& defaultModule,
              Console& console);

/// "tarvel 1.0.1" and the module file's versions as the file gives them (or why not).
std::string versionText(const std::filesystem::path& module);

}  // namespace tarvel::cli
