// A folder of its own for the running test, so that tests running at once never share files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace tarvel::cli::testfolder {

/// An empty folder in the temporary folder, named after `prefix`, the running test and the
/// process (anything left there by an earlier run is removed first).
inline std::filesystem::path freshTestFolder(const std::string& prefix) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() /
        (prefix + std::string(info->name()) + "_" + std::to_string(getpid()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    return folder;
}

/// Every name in `folder` and its subfolders, relative to it, sorted.
inline std::vector<std::string> namesBelow(const std::filesystem::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        found.push_back(entry.path().lexically_relative(folder).string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace tarvel::cli::testfolder
