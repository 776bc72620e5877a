// The version a module file carries, read from the file without loading it.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace tarvel::cli {

struct ModuleVersion {
    /// The fixed file version, "1.0.1.330".
    std::string fileVersion;
    /// The FileVersion text, "1, 0, 0, 330".
    std::string fileVersionText;
};

/// The version in a module file's bytes: from the version resource of a Windows DLL (PE), or
/// from the "Tarvel" note of an ELF file. Null when the file carries none or is neither.
std::optional<ModuleVersion> readModuleVersion(std::span<const std::byte> file);

/// The same for the file at `path`; null when it cannot be read either.
std::optional<ModuleVersion> readModuleVersion(const std::filesystem::path& path);

}  // namespace tarvel::cli
