#include "testing/mesh_file_fuzzing.h"

#include <span>
#include <vector>

#include "formats/format_error.h"

namespace tarvel::fuzzing {

namespace {

std::optional<std::string> readBack(const std::vector<std::byte>& bytes, formats::MeshFormat format,
                                    const std::optional<std::string>& layer, const char* what) {
    try {
        const formats::MeshFile again(bytes, format, "written", layer);
    } catch (const formats::FormatError& error) {
        return std::string("a file the tool wrote (") + what +
               ") does not read back: " + error.what();
    }
    return std::nullopt;
}

std::optional<std::string> editFault(std::span<const std::byte> bytes, formats::MeshFormat format,
                                     const std::optional<std::string>& layer) {
    std::optional<formats::MeshFile> file;
    try {
        file.emplace(bytes, format, "fuzz", layer);
    } catch (const formats::FormatError&) {
        return std::nullopt;
    }
    if (auto fault = readBack(file->editedBytes(file->mesh()), format, layer, "unchanged")) {
        return fault;
    }

    standin::Mesh edited = file->mesh();
    if (!edited.polygons.empty()) {
        edited.polygons.front().removed = true;
    }
    if (edited.points.size() >= 2) {
        standin::Polygon link;
        link.points = {0, 1};
        link.flags = 0;
        link.surface = "test";
        link.tags.push_back(standin::PolygonTag{kTagColour, "Red"});
        edited.polygons.push_back(std::move(link));
    }
    std::vector<std::byte> written;
    try {
        written = file->editedBytes(edited);
    } catch (const formats::FormatError&) {
        return std::nullopt;  // an edit the format cannot hold is refused with a message
    }
    return readBack(written, format, layer, "edited");
}

}  // namespace

std::optional<std::string> meshFileFault(const std::uint8_t* data, std::size_t size,
                                         formats::MeshFormat format) {
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    if (auto fault = editFault(bytes, format, std::nullopt)) {
        return fault;
    }
    // A LightWave object's second layer too, by its button number.
    return format == formats::MeshFormat::lwo ? editFault(bytes, format, "2") : std::nullopt;
}

}  // namespace tarvel::fuzzing
