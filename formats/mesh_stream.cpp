#include "formats/mesh_stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

#include "formats/file_bytes.h"
#include "formats/format_error.h"

namespace tarvel::formats {

namespace {

constexpr std::size_t kBlock = std::size_t{1} << 16;
constexpr std::size_t kFormHeader = 8;

std::uint64_t bigEndian32(const std::vector<std::byte>& bytes, std::size_t at) {
    std::uint64_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[at + k]);
    }
    return value;
}

void refuseNotForm(const std::vector<std::byte>& bytes, const std::string& name) {
    static constexpr char kForm[] = "FORM";
    const std::size_t seen = std::min<std::size_t>(bytes.size(), 4);
    if (std::memcmp(bytes.data(), kForm, seen) != 0) {
        throw FormatError(name + ": not a LightWave object: no FORM header");
    }
}

void refuseNul(const std::vector<std::byte>& bytes, std::size_t from, const std::string& name) {
    const auto* first = bytes.data() + from;
    const auto* nul = std::find(first, bytes.data() + bytes.size(), std::byte{0});
    if (nul != bytes.data() + bytes.size()) {
        throw FormatError(name + ": not an OBJ text file: byte " +
                          std::to_string(nul - bytes.data()) + " is a NUL");
    }
}

/// A regular file whole, in pieces, telling `progress` how far it has come.
std::vector<std::byte> readRegularFile(const std::filesystem::path& path,
                                       const ReadProgress& progress) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw FormatError(path.string() + ": cannot open: " + std::strerror(errno));
    }
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    std::vector<std::byte> bytes;
    constexpr std::uintmax_t kPiece = std::uintmax_t{8} << 20;
    while (file) {
        const std::size_t from = bytes.size();
        const auto want =
            static_cast<std::size_t>(from < size ? std::min(size - from, kPiece) : kBlock);
        bytes.resize(from + want);
        file.read(reinterpret_cast<char*>(bytes.data() + from), static_cast<std::streamsize>(want));
        bytes.resize(from + static_cast<std::size_t>(file.gcount()));
        progress(bytes.size(), std::max<std::uintmax_t>(size, bytes.size()));
    }
    if (file.bad()) {
        throw FormatError(path.string() + ": cannot read: " + std::strerror(errno));
    }
    return bytes;
}

}  // namespace

std::vector<std::byte> readMeshStream(std::istream& in, MeshFormat format, const std::string& name,
                                      const ReadProgress& progress) {
    std::vector<std::byte> bytes;
    // What may still be read: for a LightWave object, its header first, then what the header
    // promises and one byte more.
    std::uint64_t limit = format == MeshFormat::lwo ? kFormHeader : kObjByteLimit + 1;
    bool headerRead = format != MeshFormat::lwo;
    while (bytes.size() < limit) {
        const std::size_t from = bytes.size();
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(limit - from, kBlock));
        bytes.resize(from + want);
        in.read(reinterpret_cast<char*>(bytes.data() + from), static_cast<std::streamsize>(want));
        bytes.resize(from + static_cast<std::size_t>(in.gcount()));
        if (format == MeshFormat::lwo && !bytes.empty()) {
            refuseNotForm(bytes, name);
        }
        if (!headerRead && bytes.size() >= kFormHeader) {
            limit = kFormHeader + bigEndian32(bytes, 4) + 1;
            headerRead = true;
        }
        if (format == MeshFormat::obj) {
            refuseNul(bytes, from, name);
        }
        if (progress) {
            progress(bytes.size(), format == MeshFormat::lwo && headerRead ? limit - 1 : 0);
        }
        if (!in) {
            break;
        }
    }
    if (in.bad()) {
        throw FormatError(name + ": cannot read");
    }
    if (format == MeshFormat::obj && bytes.size() > kObjByteLimit) {
        throw FormatError(name + ": more than " + std::to_string(kObjByteLimit >> 30) +
                          " GiB of text: too large for an OBJ file, or a stream that does not end");
    }
    return bytes;
}

std::vector<std::byte> readMeshBytes(const std::filesystem::path& path, MeshFormat format,
                                     const ReadProgress& progress) {
    std::error_code error;
    if (std::filesystem::is_regular_file(path, error)) {
        return progress ? readRegularFile(path, progress) : readFileBytes(path);
    }
    if (std::filesystem::is_directory(path, error)) {
        throw FormatError(path.string() + ": is a folder, not a file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw FormatError(path.string() + ": cannot open: " + std::strerror(errno));
    }
    return readMeshStream(file, format, path.string(), progress);
}

}  // namespace tarvel::formats
