// A mesh file of either format, read for a run of the tool and written back with its edit.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "formats/lwo_object.h"
#include "formats/obj_model.h"
#include "mesh/mesh.h"

namespace tarvel::formats {

enum class MeshFormat { lwo, obj };

const char* formatName(MeshFormat format);

/// The format a file name asks for by its extension (".lwo" or ".obj", in any case), or null.
std::optional<MeshFormat> formatFromName(const std::filesystem::path& path);

class MeshFile {
public:
    /// Reads `bytes` as `format`; `name` names the file in messages. `layer` chooses the
    /// layer of a LightWave object that the tool sees (see chooseLayer); an OBJ file has
    /// none to choose. Throws FormatError.
    MeshFile(std::span<const std::byte> bytes, MeshFormat format, const std::string& name,
             const std::optional<std::string>& layer = std::nullopt);

    /// Reads the file at `path` in the format its extension names; a file with another
    /// extension is read as a LightWave object when it starts with "FORM" and refused
    /// otherwise. Throws FormatError naming `path`.
    static MeshFile load(const std::filesystem::path& path,
                         const std::optional<std::string>& layer = std::nullopt);

    MeshFormat format() const { return format_; }
    const std::string& name() const { return name_; }
    /// What the tool sees: the first or the chosen layer of a LightWave object, the whole of
    /// an OBJ file. Every polygon unselected.
    const standin::Mesh& mesh() const { return mesh_; }
    /// Hands the mesh over, for a run that needs no copy of it; mesh() is empty afterwards.
    /// editedBytes does not read it.
    standin::Mesh takeMesh() { return std::exchange(mesh_, standin::Mesh()); }
    /// Where in the file the mesh is, for messages: " in the first layer", " in layer 2 (Top)",
    /// and nothing for an OBJ file.
    std::string meshPlace() const;

    /// The file with the edit of a run applied: `edited` is the host's mesh after a run that
    /// started from mesh(). With nothing removed and nothing added, the bytes read. Throws
    /// FormatError naming the file when the result cannot be written in its format.
    std::vector<std::byte> editedBytes(const standin::Mesh& edited) const;

    /// The file as read: the LWO2 object, or null for an OBJ file.
    const LwoObject* lwoObject() const { return std::get_if<LwoObject>(&content_); }

private:
    MeshFormat format_;
    std::string name_;
    std::variant<LwoObject, ObjModel> content_;
    standin::Mesh mesh_;
};

}  // namespace tarvel::formats
