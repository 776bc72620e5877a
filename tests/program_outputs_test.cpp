// The tarvel program as a user runs it: what it says it wrote is what is on disk, and a write
// that fails, on a file or on standard output, is an output error. Runs the built program
// through the shell; the permission cases drop root's privileges to an ordinary user.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/test_folder.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = TARVEL_SOURCE_DIR;
/// The ordinary user the permission cases run as (nobody).
constexpr unsigned kUser = 65534;

std::string textOf(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

void writeText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class ProgramOutputsTest : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = testfolder::freshTestFolder("program_outputs_");
        fs::copy_file(kSource / "examples" / "facing_grids.obj", folder_ / "in.obj");
    }
    void TearDown() override { fs::remove_all(folder_); }

    /// Runs `tarvel ARGS` in the folder through the shell (so ARGS may redirect), as the
    /// ordinary user when `asUser`. Fills out and err; returns the exit code.
    int tarvel(const std::string& args, bool asUser = false) {
        const std::string prefix = asUser ? "setpriv --reuid=" + std::to_string(kUser) +
                                                " --regid=" + std::to_string(kUser) +
                                                " --clear-groups "
                                          : "";
        const std::string command = "cd '" + folder_.string() + "' && { " + prefix + "'" +
                                    TARVEL_PROGRAM + "' " + args + "; } 2>.err";
        const int status = std::system(command.c_str());
        err = textOf(folder_ / ".err");
        fs::remove(folder_ / ".err");
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    /// Whether the ordinary user can be taken on: the tests run as root with setpriv there.
    bool canDropPrivileges() const {
        return ::geteuid() == 0 && std::system("command -v setpriv >/dev/null 2>&1") == 0;
    }

    /// Hands the folder and everything in it to the ordinary user.
    void giveFolderToUser() const {
        for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
            ASSERT_EQ(::lchown(entry.path().c_str(), kUser, kUser), 0);
        }
        ASSERT_EQ(::chown(folder_.c_str(), kUser, kUser), 0);
        // The user must reach the folder through the temporary folder.
        ::chmod(folder_.c_str(), 0755);
    }

    fs::path folder_;
    std::string err;
};

TEST_F(ProgramOutputsTest, anOutputTheUserMayNotWriteIsRefusedBeforeAnythingIsWritten) {
    if (!canDropPrivileges()) {
        GTEST_SKIP() << "needs root and setpriv to run as an ordinary user";
    }
    writeText(folder_ / "locked.obj", "old\n");
    writeText(folder_ / "locked.html", "old page\n");
    fs::create_directory(folder_ / "out");
    writeText(folder_ / "out" / "in.obj", "old\n");
    fs::copy_file(kSource / "examples" / "facing_grids.lwo", folder_ / "b.lwo");
    giveFolderToUser();
    for (const char* locked : {"locked.obj", "locked.html", "out/in.obj"}) {
        fs::permissions(folder_ / locked,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    }

    // The mesh onto a read-only file: refused, the file as it was, the JSON saying so.
    EXPECT_EQ(tarvel("run in.obj --all -o locked.obj --json >run.json", true), 1);
    EXPECT_EQ(textOf(folder_ / "locked.obj"), "old\n");
    EXPECT_NE(err.find("locked.obj: cannot write"), std::string::npos) << err;
    EXPECT_NE(textOf(folder_ / "run.json").find("\"output\": null"), std::string::npos);

    // The page onto a read-only file: neither the page nor the mesh beside it is written.
    EXPECT_EQ(tarvel("run in.obj --all -o new.obj --html locked.html", true), 1);
    EXPECT_EQ(textOf(folder_ / "locked.html"), "old page\n");
    EXPECT_FALSE(fs::exists(folder_ / "new.obj"));

    // --out-dir: the file that could not be written counts for nothing in the total.
    EXPECT_EQ(tarvel("run in.obj b.lwo --all --out-dir out >total.txt", true), 1);
    EXPECT_EQ(textOf(folder_ / "out" / "in.obj"), "old\n");
    EXPECT_TRUE(fs::exists(folder_ / "out" / "b.lwo"));
    const std::string total = textOf(folder_ / "total.txt");
    EXPECT_NE(total.find("total: 2 files (1 completed, 0 stopped, 1 failed), 1 pair linked, 16 "
                         "links, 25 polygons removed"),
              std::string::npos)
        << total;
}

TEST_F(ProgramOutputsTest, anotherUsersFileInAStickyFolderIsRefusedWithTheReason) {
    if (!canDropPrivileges()) {
        GTEST_SKIP() << "needs root and setpriv to run as an ordinary user";
    }
    ::chmod(folder_.c_str(), 01777);
    ::chmod((folder_ / "in.obj").c_str(), 0666);
    const std::string before = textOf(folder_ / "in.obj");
    EXPECT_EQ(tarvel("run in.obj --all --in-place", true), 1);
    EXPECT_NE(err.find("sticky bit"), std::string::npos) << err;
    EXPECT_EQ(textOf(folder_ / "in.obj"), before);
}

TEST_F(ProgramOutputsTest, aFailedWriteToStandardOutputIsAnOutputError) {
    // The summary, the JSON and the mesh itself onto a full device.
    for (const char* args :
         {"run in.obj --all -o out.obj >/dev/full", "run in.obj --all -o out.obj --json >/dev/full",
          "run in.obj --all -o - >/dev/full", "info in.obj >/dev/full"}) {
        EXPECT_EQ(tarvel(args), 1) << args;
        EXPECT_NE(err.find("No space left on device"), std::string::npos) << args << ": " << err;
    }
    // A reader that goes away: an unchanged mesh of a megabyte or more cannot fit in the pipe.
    std::string big;
    for (int k = 0; k < 40000; ++k) {
        big += "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    }
    writeText(folder_ / "big.obj", big + "f 1 2 3\nf 4 5 6\n");
    tarvel("run big.obj --all -o - | head -c 1 >/dev/null");
    EXPECT_NE(err.find("Broken pipe"), std::string::npos) << err;
}

TEST_F(ProgramOutputsTest, anUnchangedInPlaceRunLeavesTheFileUntouched) {
    // Two triangles that share an edge form one group: the tool stops and changes nothing.
    writeText(folder_ / "flat.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0\nf 1 2 3\nf 2 4 3\n");
    const fs::path flat = folder_ / "flat.obj";
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24);
    fs::last_write_time(flat, old);
    struct stat before {};
    ASSERT_EQ(::stat(flat.c_str(), &before), 0);
    EXPECT_EQ(tarvel("run flat.obj --all --in-place"), 3);
    struct stat after {};
    ASSERT_EQ(::stat(flat.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(fs::last_write_time(flat), old);
}

}  // namespace
}  // namespace tarvel::cli
