#pragma once

#include <filesystem>

namespace tarvel::cli {

/// The folder holding the running program, or an empty path when the system cannot tell.
std::filesystem::path executableDirectory();

}  // namespace tarvel::cli
