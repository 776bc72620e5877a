#include "cli/mesh_input.h"

#include <vector>

#include "cli/exit_codes.h"
#include "formats/format_error.h"
#include "formats/mesh_stream.h"

namespace tarvel::cli {

std::string inputName(const std::filesystem::path& path) {
    return path == "-" ? "standard input" : path.string();
}

PartNames partNamesIn(formats::MeshFormat format) {
    return format == formats::MeshFormat::obj ? PartNames::words : PartNames::whole;
}

const char* formatKey(formats::MeshFormat format) {
    return format == formats::MeshFormat::lwo ? "lwo" : "obj";
}

formats::MeshFile readMeshInput(const std::filesystem::path& path,
                                std::optional<formats::MeshFormat> format, std::istream& in,
                                const std::optional<std::string>& layer,
                                const formats::ReadProgress& progress) {
    if (!format) {
        format = formats::formatFromName(path);
    }
    if (!format) {
        throw UsageError(inputName(path) +
                         ": cannot tell the format from the name: give --format lwo or "
                         "--format obj");
    }
    const std::vector<std::byte> bytes =
        path == "-" ? formats::readMeshStream(in, *format, inputName(path), progress)
                    : formats::readMeshBytes(path, *format, progress);
    try {
        return formats::MeshFile(bytes, *format, inputName(path), layer);
    } catch (const formats::ChoiceError& error) {
        throw UsageError(error.what());
    }
}

}  // namespace tarvel::cli
