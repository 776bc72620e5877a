#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "cli/output_files.h"
#include "mesh/input_error.h"
#include "standin/scene_reader.h"
#include "tests/test_folder.h"

namespace tarvel::cli {
namespace {

namespace fs = std::filesystem;

/// A fresh folder per test, removed afterwards (made writable again first).
class OutputFilesTest : public ::testing::Test {
protected:
    void SetUp() override { folder_ = testfolder::freshTestFolder("tarvel_output_"); }
    void TearDown() override {
        for (const auto& entry : fs::recursive_directory_iterator(folder_)) {
            if (entry.is_directory()) {
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
            }
        }
        fs::remove_all(folder_);
    }

    fs::path write(const std::string& name, const std::string& text) {
        std::ofstream(folder_ / name, std::ios::binary) << text;
        return folder_ / name;
    }

    /// Every name in the folder and its subfolders, relative to it, sorted.
    std::vector<std::string> names() const { return testfolder::namesBelow(folder_); }

    static std::string refusal(const fs::path& path, const std::string& text) {
        try {
            OutputFiles files;
            files.stage(path, text);
            files.commit();
        } catch (const standin::InputError& error) {
            return error.what();
        }
        return "written";
    }

    static void writeNow(const fs::path& path, const std::string& text) {
        OutputFiles files;
        files.stage(path, text);
        files.commit();
    }

    static mode_t modeOf(const fs::path& path) {
        struct stat status {};
        EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
        return status.st_mode;
    }

    fs::path folder_;
};

TEST_F(OutputFilesTest, aReplacedFileKeepsItsPermissionsAndNothingIsLeftBeside) {
    const fs::path fresh = folder_ / "new.lwo";
    const mode_t mask = ::umask(022);
    writeNow(fresh, "first");
    EXPECT_EQ(modeOf(fresh) & 07777, 0644u);
    ::umask(mask);

    const fs::path kept = write("kept.lwo", "old");
    ASSERT_EQ(::chmod(kept.c_str(), 0600), 0);
    writeNow(kept, "new");
    EXPECT_EQ(standin::readTextFile(kept), "new");
    EXPECT_EQ(modeOf(kept) & 07777, 0600u);
    ASSERT_EQ(::chmod(kept.c_str(), 0751), 0);
    writeNow(kept, "newer");
    EXPECT_EQ(modeOf(kept) & 07777, 0751u);
    EXPECT_EQ(names(), (std::vector<std::string>{"kept.lwo", "new.lwo"}));

    // Where the user may set the owner (as root), the owner stays too.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(kept.c_str(), 4321, 8765), 0);
        writeNow(kept, "owned");
        struct stat status {};
        ASSERT_EQ(::stat(kept.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 4321u);
        EXPECT_EQ(status.st_gid, 8765u);
        EXPECT_EQ(status.st_mode & 07777, 0751u);
    }
}

TEST_F(OutputFilesTest, aSymbolicLinkStaysAndTheFileItLeadsToIsReplaced) {
    fs::create_directories(folder_ / "store");
    const fs::path target = write("store/model.lwo", "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    // A relative link to a relative link.
    fs::create_symlink("store/model.lwo", folder_ / "first.lwo");
    fs::create_symlink("first.lwo", folder_ / "latest.lwo");
    writeNow(folder_ / "latest.lwo", "new");
    EXPECT_TRUE(fs::is_symlink(folder_ / "latest.lwo"));
    EXPECT_TRUE(fs::is_symlink(folder_ / "first.lwo"));
    EXPECT_EQ(fs::read_symlink(folder_ / "latest.lwo"), "first.lwo");
    EXPECT_EQ(standin::readTextFile(target), "new");
    EXPECT_EQ(modeOf(target) & 07777, 0640u);

    // A link to nothing yet: the file is made where it points.
    fs::create_symlink(folder_ / "store" / "made.lwo", folder_ / "dangling.lwo");
    writeNow(folder_ / "dangling.lwo", "made");
    EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.lwo"));
    EXPECT_EQ(standin::readTextFile(folder_ / "store" / "made.lwo"), "made");

    fs::create_symlink("loop.lwo", folder_ / "loop.lwo");
    EXPECT_EQ(
        refusal(folder_ / "loop.lwo", "x"),
        (folder_ / "loop.lwo").string() + ": cannot write: too many levels of symbolic links");
    fs::remove(folder_ / "loop.lwo");
    EXPECT_EQ(names(), (std::vector<std::string>{"dangling.lwo", "first.lwo", "latest.lwo", "store",
                                                 "store/made.lwo", "store/model.lwo"}));
}

TEST_F(OutputFilesTest, aFifoIsWrittenIntoAndStaysAFifo) {
    const fs::path fifo = folder_ / "pipe.lwo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::future<std::string> reader = std::async(std::launch::async, [&fifo] {
        std::ifstream in(fifo, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    });
    writeNow(fifo, "through the pipe");
    EXPECT_EQ(reader.get(), "through the pipe");
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));

    // Through a link, as /dev/stdout leads to a pipe: the link and the FIFO stay.
    fs::create_symlink(fifo, folder_ / "stdout");
    reader = std::async(std::launch::async, [&fifo] {
        std::ifstream in(fifo, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    });
    writeNow(folder_ / "stdout", "through the link");
    EXPECT_EQ(reader.get(), "through the link");
    EXPECT_TRUE(fs::is_symlink(folder_ / "stdout"));
    EXPECT_TRUE(S_ISFIFO(modeOf(fifo)));
    EXPECT_EQ(names(), (std::vector<std::string>{"pipe.lwo", "stdout"}));
}

TEST_F(OutputFilesTest, aDeviceIsWrittenIntoAndStaysADevice) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making a device node needs root";
    }
    // The null device's numbers: whatever is written goes nowhere.
    const fs::path device = folder_ / "sink";
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
    writeNow(device, "into the device");
    EXPECT_TRUE(S_ISCHR(modeOf(device)));
    EXPECT_EQ(names(), std::vector<std::string>{"sink"});
}

TEST_F(OutputFilesTest, whatCannotBeWrittenIsRefusedAndNothingChanges) {
    fs::create_directories(folder_ / "folder.lwo");
    EXPECT_EQ(refusal(folder_ / "folder.lwo", "x"),
              (folder_ / "folder.lwo").string() + ": cannot write: is a folder");
    EXPECT_EQ(
        refusal(folder_ / "absent" / "m.lwo", "x"),
        (folder_ / "absent" / "m.lwo").string() + ": cannot write: No such file or directory");

    // A socket is neither replaced nor written into.
    const fs::path socketPath = folder_ / "socket.lwo";
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.string().size(), sizeof address.sun_path);
    std::copy_n(socketPath.c_str(), socketPath.string().size() + 1, address.sun_path);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(refusal(socketPath, "x"), socketPath.string() + ": cannot write: is a socket");
    ::close(fd);
    EXPECT_EQ(fs::status(socketPath).type(), fs::file_type::socket);

    // Of several files, one that fails leaves every one as it was: nothing is moved into place.
    const fs::path picture = write("picture.svg", "old picture");
    try {
        OutputFiles files;
        files.stage(picture, "new picture");
        files.stage(folder_ / "absent" / "m.lwo", "mesh");
        files.commit();
        ADD_FAILURE() << "staged into a folder that does not exist";
    } catch (const standin::InputError&) {
    }
    EXPECT_EQ(standin::readTextFile(picture), "old picture");
    fs::remove(socketPath);

    // A folder the user may not write into. Root may write anywhere, so as root the check
    // runs in a child that has become the unprivileged user "nobody".
    fs::create_directories(folder_ / "locked");
    const fs::path locked = write("locked/m.lwo", "old");
    fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec |
                                            fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
    const std::string expected =
        locked.string() + ": cannot write: the file is read-only for you (Permission denied)";
    if (::geteuid() != 0) {
        EXPECT_EQ(refusal(locked, "new"), expected);
    } else {
        fs::permissions(folder_, fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const bool unprivileged = ::setgid(65534) == 0 && ::setuid(65534) == 0;
            ::_exit(!unprivileged ? 2 : refusal(locked, "new") == expected ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "2: could not become nobody; 1: not refused";
    }
    EXPECT_EQ(standin::readTextFile(locked), "old");
    EXPECT_EQ(names(),
              (std::vector<std::string>{"folder.lwo", "locked", "locked/m.lwo", "picture.svg"}));
}

TEST_F(OutputFilesTest, aSignalThatEndsTheProgramTakesTheTemporaryFilesWithIt) {
    const fs::path kept = write("kept.lwo", "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        removeTemporaryFilesOnSignals();
        OutputFiles files;
        files.stage(kept, "new");
        files.stage(folder_ / "fresh.lwo", "new");
        ::raise(SIGTERM);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(names(), std::vector<std::string>{"kept.lwo"});
    EXPECT_EQ(standin::readTextFile(kept), "old");
}

TEST_F(OutputFilesTest, theSameFileIsRecognisedHoweverItIsNamed) {
    const fs::path model = write("model.lwo", "mesh");
    const fs::path other = write("other.lwo", "mesh");
    fs::create_hard_link(model, folder_ / "hard.lwo");
    fs::create_symlink("model.lwo", folder_ / "soft.lwo");
    EXPECT_TRUE(sameFile(model, folder_ / "hard.lwo"));
    EXPECT_TRUE(sameFile(model, folder_ / "soft.lwo"));
    EXPECT_TRUE(sameFile(model, folder_ / "." / "model.lwo"));
    EXPECT_FALSE(sameFile(model, other));
    EXPECT_FALSE(sameFile(model, folder_ / "absent.lwo"));
}

}  // namespace
}  // namespace tarvel::cli
