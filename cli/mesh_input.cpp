#include "cli/mesh_input.h"

#include <iterator>
#include <vector>

#include "formats/file_bytes.h"
#include "formats/format_error.h"

namespace tarvelhost {

std::string inputName(const std::filesystem::path& path) {
    return path == "-" ? "standard input" : path.string();
}

const char* formatKey(formats::MeshFormat format) {
    return format == formats::MeshFormat::lwo ? "lwo" : "obj";
}

formats::MeshFile readMeshInput(const std::filesystem::path& path,
                                std::optional<formats::MeshFormat> format, std::istream& in,
                                const std::optional<std::string>& layer) {
    if (path != "-") {
        if (!format) {
            return formats::MeshFile::load(path, layer);
        }
        return formats::MeshFile(formats::readFileBytes(path), *format, path.string(), layer);
    }
    std::vector<std::byte> bytes;
    char block[1 << 16];
    while (in) {
        in.read(block, sizeof block);
        const auto* first = reinterpret_cast<const std::byte*>(block);
        bytes.insert(bytes.end(), first, first + in.gcount());
    }
    if (in.bad()) {
        throw formats::FormatError(inputName(path) + ": cannot read");
    }
    return formats::MeshFile(bytes, format.value_or(formats::MeshFormat::lwo), inputName(path),
                             layer);
}

}  // namespace tarvelhost
