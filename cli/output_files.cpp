#include "cli/output_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "mesh/input_error.h"

#ifdef _WIN32
#include <process.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#endif

namespace tarvel::cli {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void cannotWrite(const fs::path& path, const std::string& why) {
    throw standin::InputError(path.string() + ": cannot write: " + why);
}

std::string_view asText(std::span<const std::byte> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

unsigned temporaryCounter = 0;

#ifndef _WIN32

/// The temporary files in being, for a signal that ends the program to remove them. Slots
/// are taken and given back with atomics, so the handler never sees half a name.
struct PendingSlot {
    std::atomic<bool> used{false};
    char path[4096] = {};
};
PendingSlot pendingSlots[16];

void removePendingAndReraise(int signal) {
    for (PendingSlot& slot : pendingSlots) {
        if (slot.used.load()) {
            ::unlink(slot.path);
        }
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

/// Registers `path` for removal on a signal; returns its slot, or -1 when all are taken (the
/// file is then removed on every path but a signal).
int registerPending(const fs::path& path) {
    const std::string& text = path.native();
    if (text.size() >= sizeof pendingSlots[0].path) {
        return -1;
    }
    for (int k = 0; k < 16; ++k) {
        PendingSlot& slot = pendingSlots[k];
        if (!slot.used.load()) {
            std::copy(text.begin(), text.end(), slot.path);
            slot.path[text.size()] = '\0';
            slot.used.store(true);
            return k;
        }
    }
    return -1;
}

void releasePending(int slot) {
    if (slot >= 0) {
        pendingSlots[slot].used.store(false);
    }
}

std::string systemError() {
    return std::strerror(errno);
}

/// Writes all of `text` to `fd`, however many calls it takes, telling `progress` (when set)
/// how far it has come.
bool writeAll(int fd, std::string_view text,
              const std::function<void(std::uint64_t, std::uint64_t)>& progress = {}) {
    const std::size_t total = text.size();
    constexpr std::size_t kPiece = std::size_t{4} << 20;
    while (!text.empty()) {
        const ssize_t written = ::write(fd, text.data(), std::min(text.size(), kPiece));
        if (progress && written > 0) {
            progress(total - text.size() + static_cast<std::size_t>(written), total);
        }
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

/// The file `path` leads to through any chain of symbolic links: `path` itself when it is not
/// a link. Sets `exists` and, when it exists, `status`.
fs::path followLinks(const fs::path& path, bool& exists, struct stat& status) {
    fs::path at = path;
    for (int depth = 0; depth < 40; ++depth) {
        if (::lstat(at.c_str(), &status) != 0) {
            if (errno == ENOENT) {
                exists = false;
                return at;
            }
            cannotWrite(path, systemError());
        }
        if (!S_ISLNK(status.st_mode)) {
            exists = true;
            return at;
        }
        std::string link(static_cast<std::size_t>(status.st_size) + 1, '\0');
        ssize_t length = 0;
        for (;;) {
            length = ::readlink(at.c_str(), link.data(), link.size());
            if (length < 0) {
                cannotWrite(path, systemError());
            }
            if (static_cast<std::size_t>(length) < link.size()) {
                break;
            }
            link.resize(link.size() * 2);
        }
        link.resize(static_cast<std::size_t>(length));
        const fs::path next(link);
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    cannotWrite(path, "too many levels of symbolic links");
}

/// Refuses a regular file that the user may not replace: one without write permission for
/// them, or one of another user's in another user's folder with the sticky bit (such as /tmp),
/// where the system lets only the file's owner replace it. Checked before anything is written.
void refuseUnreplaceable(const fs::path& path, const fs::path& target, const struct stat& file) {
    if (::access(target.c_str(), W_OK) != 0) {
        cannotWrite(path, errno == EACCES ? "the file is read-only for you (Permission denied)"
                                          : systemError());
    }
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    struct stat place {};
    const uid_t user = ::geteuid();
    if (::stat(folder.c_str(), &place) == 0 && (place.st_mode & S_ISVTX) != 0 && user != 0 &&
        file.st_uid != user && place.st_uid != user) {
        cannotWrite(path, "it belongs to another user and its folder " + folder.string() +
                              " has the sticky bit, so only its owner may replace it: write to "
                              "another name");
    }
}

/// Flushes the folder holding `file`, so that a rename into it is on disk.
void syncFolder(const fs::path& file) {
    fs::path folder = file.parent_path();
    if (folder.empty()) {
        folder = ".";
    }
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        // Some file systems cannot flush a folder; the rename has happened either way.
        (void)::fsync(fd);
        ::close(fd);
    }
}

/// Creates a hidden file beside `target`, unique to this process and call, and names it in
/// `temporary`. Returns its descriptor; a failure is one about `path`, the name given.
int createTemporaryBeside(const fs::path& path, const fs::path& target, fs::path& temporary) {
    int fd = -1;
    for (int attempt = 0; fd < 0; ++attempt) {
        std::string name = ".";
        name += target.filename().string();
        name += ".tarvel-";
        name += std::to_string(::getpid());
        name += '-';
        name += std::to_string(temporaryCounter++);
        temporary = target.parent_path() / name;
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && (errno != EEXIST || attempt > 100)) {
            cannotWrite(path, systemError());
        }
    }
    return fd;
}

#endif

}  // namespace

OutputFiles::OutputFiles() = default;

OutputFiles::~OutputFiles() {
    for (const Staged& staged : staged_) {
        if (!staged.temporary.empty()) {
            std::error_code ignored;
            fs::remove(staged.temporary, ignored);
        }
#ifndef _WIN32
        releasePending(staged.signalSlot);
        if (staged.device >= 0) {
            ::close(staged.device);
        }
#endif
    }
}

void OutputFiles::stage(const fs::path& path, std::string_view text) {
    stage(path,
          std::span<const std::byte>(reinterpret_cast<const std::byte*>(text.data()), text.size()));
}

#ifndef _WIN32

void OutputFiles::stage(const fs::path& path, std::span<const std::byte> bytes) {
    Staged staged;
    // What the name leads to, however: a FIFO or a device is written into through the name
    // itself, which also finds what the system's own links such as /dev/stdout lead to.
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 &&
        (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode) || S_ISBLK(status.st_mode))) {
        stageDevice(path, staged, bytes);
        return;
    }
    bool exists = false;
    staged.target = followLinks(path, exists, status);
    if (exists) {
        if (S_ISDIR(status.st_mode)) {
            cannotWrite(path, "is a folder");
        }
        if (S_ISSOCK(status.st_mode)) {
            cannotWrite(path, "is a socket");
        }
        if (!S_ISREG(status.st_mode)) {
            // A FIFO or a device: written into, never replaced.
            stageDevice(path, staged, bytes);
            return;
        }
        refuseUnreplaceable(path, staged.target, status);
    }
    const int fd = createTemporaryBeside(path, staged.target, staged.temporary);
    // From here on the destructor removes the temporary file, and a signal that ends the
    // program does too.
    staged.signalSlot = registerPending(staged.temporary);
    staged_.push_back(staged);
    if (exists) {
        // Keep the owner and group where the user may set them (the group alone otherwise),
        // then the permission bits, which a change of owner may clear.
        if (::fchown(fd, status.st_uid, status.st_gid) != 0) {
            (void)::fchown(fd, static_cast<uid_t>(-1), status.st_gid);
        }
        if (::fchmod(fd, status.st_mode & 07777) != 0) {
            const std::string why = systemError();
            ::close(fd);
            cannotWrite(path, why);
        }
    }
    if (!writeAll(fd, asText(bytes), progress_) || ::fsync(fd) != 0) {
        const std::string why = systemError();
        ::close(fd);
        cannotWrite(path, why);
    }
    if (::close(fd) != 0) {
        cannotWrite(path, systemError());
    }
    // The temporary file's name is on disk before the rename replaces anything; the rename
    // itself is flushed in commit().
    syncFolder(staged.temporary);
}

void OutputFiles::stageDevice(const fs::path& path, Staged& staged,
                              std::span<const std::byte> bytes) {
    // Opened now, so that a device the user may not write is refused before any file is
    // replaced; written into at commit.
    staged.target = path;
    staged.device = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (staged.device < 0) {
        cannotWrite(path, systemError());
    }
    staged.bytes = std::string(asText(bytes));
    staged_.push_back(std::move(staged));
}

void OutputFiles::commit() {
    for (Staged& staged : staged_) {
        if (staged.temporary.empty()) {
            continue;
        }
        if (::rename(staged.temporary.c_str(), staged.target.c_str()) != 0) {
            cannotWrite(staged.target, systemError());
        }
        staged.temporary.clear();
        releasePending(staged.signalSlot);
        staged.signalSlot = -1;
        syncFolder(staged.target);
    }
    for (Staged& staged : staged_) {
        if (staged.device < 0) {
            continue;
        }
        const int fd = staged.device;
        staged.device = -1;
        const bool written = writeAll(fd, staged.bytes);
        const std::string why = written ? std::string() : systemError();
        if (::close(fd) != 0 && written) {
            cannotWrite(staged.target, systemError());
        }
        if (!written) {
            cannotWrite(staged.target, why);
        }
    }
    staged_.clear();
}

void removeTemporaryFilesOnSignals() {
    // A closed pipe is a failed write, reported as any other (EPIPE) rather than ending the
    // program silently.
    ::signal(SIGPIPE, SIG_IGN);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction action {};
        action.sa_handler = removePendingAndReraise;
        sigemptyset(&action.sa_mask);
        ::sigaction(signal, &action, nullptr);
    }
}

bool sameFile(const fs::path& a, const fs::path& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

#endif

namespace {

/// Where writing to `path` lands: absolute, with every link on the way resolved, a link to a
/// file not yet made included.
fs::path placeOf(const fs::path& path) {
    std::error_code error;
    fs::path at = fs::absolute(path, error);
    for (int depth = 0; depth < 40 && fs::is_symlink(at, error); ++depth) {
        const fs::path next = fs::read_symlink(at, error);
        if (error) {
            break;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    const fs::path place = fs::weakly_canonical(at, error);
    return error ? at.lexically_normal() : place;
}

}  // namespace

bool samePlace(const fs::path& a, const fs::path& b) {
    return sameFile(a, b) || placeOf(a) == placeOf(b);
}

#ifdef _WIN32

// Windows: a temporary file beside the output, renamed over it (MoveFileEx replaces the old
// file in one step).
void OutputFiles::stage(const fs::path& path, std::span<const std::byte> bytes) {
    std::error_code error;
    if (fs::is_directory(path, error)) {
        cannotWrite(path, "is a folder");
    }
    Staged staged;
    staged.target = path;
    staged.temporary = path;
    staged.temporary +=
        ".tarvel-" + std::to_string(_getpid()) + "-" + std::to_string(temporaryCounter++);
    staged_.push_back(staged);
    std::ofstream file(staged.temporary, std::ios::binary | std::ios::trunc);
    if (!file) {
        cannotWrite(path, std::strerror(errno));
    }
    const std::string_view text = asText(bytes);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    if (!file) {
        cannotWrite(path, "write failed");
    }
}

void OutputFiles::commit() {
    for (Staged& staged : staged_) {
        std::error_code error;
        fs::rename(staged.temporary, staged.target, error);
        if (error) {
            cannotWrite(staged.target, error.message());
        }
        staged.temporary.clear();
    }
    staged_.clear();
}

void removeTemporaryFilesOnSignals() {}

bool sameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error) && !error;
}

#endif

}  // namespace tarvel::cli
