#include "formats/mesh_file.h"

#include <algorithm>
#include <cctype>

#include "formats/file_bytes.h"
#include "formats/format_error.h"
#include "formats/lwo_edit.h"
#include "formats/lwo_reader.h"
#include "formats/lwo_writer.h"
#include "formats/obj_edit.h"
#include "formats/obj_reader.h"

namespace tarvel::formats {

const char* formatName(MeshFormat format) {
    return format == MeshFormat::lwo ? "LightWave object (.lwo)" : "Wavefront OBJ (.obj)";
}

std::optional<MeshFormat> formatFromName(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".lwo") {
        return MeshFormat::lwo;
    }
    if (extension == ".obj") {
        return MeshFormat::obj;
    }
    return std::nullopt;
}

MeshFile::MeshFile(std::span<const std::byte> bytes, MeshFormat format, const std::string& name,
                   const std::optional<std::string>& layer)
    : format_(format), name_(name) {
    if (format == MeshFormat::lwo) {
        LwoObject object = readLwo(bytes, name, layer);
        mesh_ = lwoMesh(object);
        content_ = std::move(object);
    } else {
        if (layer) {
            throw ChoiceError(name + ": an OBJ file has no layers to choose from");
        }
        ObjModel model = readObj(bytes, name);
        mesh_ = objMesh(model);
        content_ = std::move(model);
    }
}

MeshFile MeshFile::load(const std::filesystem::path& path,
                        const std::optional<std::string>& layer) {
    const std::vector<std::byte> bytes = readFileBytes(path);
    std::optional<MeshFormat> format = formatFromName(path);
    if (!format) {
        const bool form = bytes.size() >= 4 && bytes[0] == std::byte{'F'} &&
                          bytes[1] == std::byte{'O'} && bytes[2] == std::byte{'R'} &&
                          bytes[3] == std::byte{'M'};
        if (!form) {
            throw FormatError(path.string() +
                              ": unknown format: name the file .lwo (LightWave) or .obj "
                              "(Wavefront)");
        }
        format = MeshFormat::lwo;
    }
    return MeshFile(bytes, *format, path.string(), layer);
}

std::string MeshFile::meshPlace() const {
    if (const LwoObject* object = std::get_if<LwoObject>(&content_)) {
        return " in " + object->primaryName;
    }
    return "";
}

std::vector<std::byte> MeshFile::editedBytes(const standin::Mesh& edited) const {
    if (const LwoObject* object = std::get_if<LwoObject>(&content_)) {
        return writeLwo(applyMeshEdit(*object, edited, name_), name_);
    }
    const std::string text = applyMeshEdit(std::get<ObjModel>(content_), edited);
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return std::vector<std::byte>(first, first + text.size());
}

}  // namespace tarvel::formats
