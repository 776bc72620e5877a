// Whole files as bytes, for the readers that work on a buffer.
#pragma once

#include <cstddef>
#include <filesystem>
#include <vector>

namespace tarvel::formats {

/// The whole content of the file at `path`. Throws FormatError naming the file (as given) and
/// the reason when it cannot be opened or read, or is a folder.
std::vector<std::byte> readFileBytes(const std::filesystem::path& path);

}  // namespace tarvel::formats
