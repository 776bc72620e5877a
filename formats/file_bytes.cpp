#include "formats/file_bytes.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>
#include <system_error>

#include "formats/format_error.h"

namespace formats {

std::vector<std::byte> readFileBytes(const std::filesystem::path& path) {
    const std::string name = path.string();
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        throw FormatError(name + ": is a folder, not a file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        throw FormatError(name + ": cannot open: " + std::strerror(errno));
    }
    std::vector<std::byte> bytes;
    char block[1 << 16];
    while (file) {
        file.read(block, sizeof block);
        const auto got = static_cast<std::size_t>(file.gcount());
        const auto* first = reinterpret_cast<const std::byte*>(block);
        bytes.insert(bytes.end(), first, first + got);
    }
    if (file.bad()) {
        throw FormatError(name + ": cannot read: " + std::strerror(errno));
    }
    return bytes;
}

}  // namespace formats
