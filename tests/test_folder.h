// A folder of its own for the running test, so that tests running at once never share files.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

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

}  // namespace tarvel::cli::testfolder
