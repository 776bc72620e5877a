#include "formats/file_bytes.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

#include "formats/format_error.h"

namespace tarvel::formats {

namespace {

/// Reads the whole file into `content`, a vector of bytes or a string: in one piece as large as
/// the file says it is, then on in blocks for whatever it still holds.
template <typename Content>
Content readWhole(const std::filesystem::path& path) {
    const std::string name = path.string();
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw FormatError(name + ": is a folder, not a file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw FormatError(name + ": cannot open: " + std::strerror(errno));
    }
    Content content;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (!error && size > 0 && size < content.max_size()) {
        content.resize(static_cast<std::size_t>(size));
        file.read(reinterpret_cast<char*>(content.data()), static_cast<std::streamsize>(size));
        content.resize(static_cast<std::size_t>(file.gcount()));
    }
    char block[1 << 16];
    while (file) {
        file.read(block, sizeof block);
        const auto got = static_cast<std::size_t>(file.gcount());
        const auto* first = reinterpret_cast<const typename Content::value_type*>(block);
        content.insert(content.end(), first, first + got);
    }
    if (file.bad()) {
        throw FormatError(name + ": cannot read: " + std::strerror(errno));
    }
    return content;
}

}  // namespace

std::vector<std::byte> readFileBytes(const std::filesystem::path& path) {
    return readWhole<std::vector<std::byte>>(path);
}

}  // namespace tarvel::formats
