#pragma once

#include <filesystem>

namespace tarvelhost {

/// The folder holding the running program, or an empty path when the system cannot tell.
std::filesystem::path executableDirectory();

}  // namespace tarvelhost
