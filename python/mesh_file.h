// A mesh file as `tarvel run` reads it, or a mesh made from arrays, and the files a run on it
// writes: the edited mesh file and the report page.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/mesh_file.h"
#include "python/mesh_arrays.h"
#include "python/run_edit.h"
#include "standin/scene.h"

namespace tarvel::python {

/// A mesh file as `tarvel run` reads it, or a mesh made from arrays; and what the edit of a run
/// on it writes.
class MeshFileObject {
public:
    explicit MeshFileObject(formats::MeshFile file)
        : file_(std::move(file)), name_(file_->name()) {}
    MeshFileObject(standin::Mesh mesh, std::string name)
        : made_(std::move(mesh)), name_(std::move(name)) {}

    /// The file read, or null for a mesh made from arrays.
    const formats::MeshFile* file() const { return file_ ? &*file_ : nullptr; }
    /// The file read; raises ArrayError for a mesh made from arrays.
    const formats::MeshFile& requireFile() const;
    const standin::Mesh& mesh() const { return file_ ? file_->mesh() : made_; }
    const std::string& name() const { return name_; }

    /// The mesh with `edit.selected` selected: what the run was given.
    standin::Mesh before(const RunEdit& edit) const;
    /// The mesh after the run: `before` with the edit made.
    static standin::Mesh after(standin::Mesh mesh, const RunEdit& edit);
    /// Raises ArrayError unless `edit` is of a run on a mesh of this one's size.
    void checkFits(const RunEdit& edit) const;

private:
    std::optional<formats::MeshFile> file_;
    standin::Mesh made_;
    std::string name_;
};

/// The file at `path` read as `tarvel run` reads it; `layer` chooses an LWO layer.
std::shared_ptr<MeshFileObject> readFile(const std::string& path,
                                         const std::optional<std::string>& layer);
/// A mesh made from arrays (nothing selected), named `name`.
std::shared_ptr<MeshFileObject> meshFromArraysObject(const ReadOnlyDoubles& points,
                                                     const ReadOnlyIndices& offsets,
                                                     const ReadOnlyIndices& indices,
                                                     const std::optional<ReadOnlyCodes>& types,
                                                     const std::string& name);

/// The mesh as arrays (points, offsets, indices, type codes) with its name, format and place.
py::dict meshArrays(const MeshFileObject& object);
/// Which polygons `tarvel run` selects with these options, refused as it refuses them.
py::array_t<bool> selection(const MeshFileObject& object, bool all,
                            const std::vector<std::string>& surfaces,
                            const std::vector<std::string>& parts,
                            const std::optional<std::string>& polygons);

/// The file of `object` with `edit` made, as `tarvel run` writes it: at `path`, or as bytes.
void writeEdited(const std::string& path, const MeshFileObject& object, const RunEdit& edit);
py::bytes editedBytes(const MeshFileObject& object, const RunEdit& edit);
/// The report page of `edit` at `path`, the mesh shown as `shownName`.
void writeReport(const std::string& path, const MeshFileObject& object, const RunEdit& edit,
                 const std::string& shownName);

}  // namespace tarvel::python
