// tarvel-host: runs a plug-in module on a scene and writes what happened.
#pragma once

#include <filesystem>
#include <functional>
#include <ostream>
#include <span>
#include <string>

namespace tarvelhost {

inline constexpr int kExitOk = 0;
/// Unreadable or refused input: scene, module, or the trace could not be written.
inline constexpr int kExitInputError = 1;
inline constexpr int kExitUsageError = 2;

/// The whole program for the arguments after its name: reads the scene, loads the module
/// (`defaultModule` unless --module names one), runs it, and writes the trace file or, without
/// --trace, a summary on `out`. A trace file appears only complete: it is written beside its
/// final name and renamed into place. Any failure is one line on `err` and a non-zero result,
/// and leaves no trace file.
int runHostProgram(std::span<const std::string> args, const std::filesystem::path& defaultModule,
                   std::ostream& out, std::ostream& err);

/// Writes `text` to `path` through a temporary file in the same folder, so that `path` is
/// either left alone or holds the whole of it. Throws standin::InputError naming `path`.
void writeFileInPlace(const std::filesystem::path& path,
                      const std::function<void(std::ostream&)>& write);

}  // namespace tarvelhost
