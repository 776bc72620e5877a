// Writing the files of a run so that nothing is lost: a file appears whole or not at all, and
// what stands at an output's name is replaced only when it is a regular file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarvel::cli {

/// The files one command writes, written together. stage() writes each one completely to a
/// temporary file beside its final place and flushes it to disk; commit() moves them all into
/// place. Anything staged and not committed is removed when the object goes, so a failure
/// before commit() leaves every output as it was and no temporary file behind.
///
/// What an output's name points at decides how it is written:
/// - nothing: a new file, with the permissions a new file gets (the umask applies);
/// - a regular file: replaced by an atomic rename; the new file keeps the old one's
///   permission bits, and its owner and group where the user may set them;
/// - a symbolic link (through any chain of links): the link stays, and the file it ends at is
///   written as above, beside itself;
/// - a regular file the user may not write, or may not replace (another user's file in a
///   folder with the sticky bit): refused at stage;
/// - a FIFO or a device: opened at stage, written into at commit, never replaced;
/// - a folder or a socket: refused.
/// The file and its folder are flushed to disk before and after the rename, so that a crash
/// leaves the old file or the new one, never a mix.
class OutputFiles {
public:
    OutputFiles();
    ~OutputFiles();
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    /// Stages `bytes` for `path`. Throws standin::InputError ("PATH: cannot write: REASON").
    void stage(const std::filesystem::path& path, std::span<const std::byte> bytes);
    void stage(const std::filesystem::path& path, std::string_view text);

    /// Tells `progress` how many bytes of how many of each file stage() writes are written.
    void onProgress(std::function<void(std::uint64_t, std::uint64_t)> progress) {
        progress_ = std::move(progress);
    }

    /// Moves every staged file into place, then writes into the FIFOs and devices. Throws
    /// standin::InputError naming the file that could not be written; files moved into place
    /// before it stay.
    void commit();

private:
    struct Staged {
        /// Where the bytes go in the end: the file the output's name leads to.
        std::filesystem::path target;
        /// The temporary file beside `target`; empty for a FIFO or device, written at commit.
        std::filesystem::path temporary;
        /// The bytes for a FIFO or device.
        std::string bytes;
        /// Where a signal handler finds `temporary`, or -1.
        int signalSlot = -1;
        /// The FIFO or device, opened at stage and written at commit; -1 otherwise.
        int device = -1;
    };
    void stageDevice(const std::filesystem::path& path, Staged& staged,
                     std::span<const std::byte> bytes);
    std::vector<Staged> staged_;
    std::function<void(std::uint64_t, std::uint64_t)> progress_;
};

/// Makes SIGINT, SIGTERM and SIGHUP remove the temporary files of every OutputFiles
/// before they end the program as they would have, and makes SIGPIPE ignored, so that a
/// closed pipe fails the write (EPIPE) and is reported. For a program's main.
void removeTemporaryFilesOnSignals();

/// Whether `a` and `b` name the same existing file, however named (links followed): the same
/// device and inode. False when either does not exist.
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

/// Whether writing to `a` and to `b` would write the same file: sameFile, or the same place
/// once each is made absolute and its links resolved, whether or not the file exists yet.
bool samePlace(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace tarvel::cli
