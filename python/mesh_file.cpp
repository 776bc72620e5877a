// A mesh file as `tarvel run` reads it, or a mesh made from arrays, and the files a run on it
// writes: the edited mesh file and the report page.
#include "python/mesh_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <span>
#include <sstream>

#include "cli/mesh_input.h"
#include "cli/output_files.h"
#include "cli/report/html_report.h"
#include "cli/selection.h"
#include "formats/format_error.h"
#include "mesh/input_error.h"
#include "python/errors.h"

namespace tarvel::python {
namespace {

/// The file at `path`, opened to see that it can be; raises FileError as `tarvel run` words it.
void requireReadable(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        throw FileError(path.string() + ": cannot open: " + std::strerror(errno));
    }
    ::close(fd);
}

/// Stages and commits one output as `tarvel run` writes its files.
void writeOutput(const std::filesystem::path& path, std::span<const std::byte> bytes) {
    try {
        cli::OutputFiles files;
        files.stage(path, bytes);
        files.commit();
    } catch (const formats::FormatError&) {
        throw;
    } catch (const standin::InputError& error) {
        throw FileError(error.what());
    }
}

/// The file of `object` with `edit` made, as `tarvel run` writes it.
std::vector<std::byte> editedFileBytes(const MeshFileObject& object, const RunEdit& edit) {
    const formats::MeshFile& file = object.requireFile();
    return file.editedBytes(MeshFileObject::after(object.before(edit), edit));
}

}  // namespace

const formats::MeshFile& MeshFileObject::requireFile() const {
    if (!file_) {
        throw ArrayError(name_ + ": a mesh made from arrays has no file to write back");
    }
    return *file_;
}

standin::Mesh MeshFileObject::before(const RunEdit& edit) const {
    checkFits(edit);
    standin::Mesh copy = mesh();
    for (std::size_t j = 0; j < copy.polygons.size(); ++j) {
        copy.polygons[j].flags = edit.selected[j] ? 1 : 0;
    }
    return copy;
}

standin::Mesh MeshFileObject::after(standin::Mesh mesh, const RunEdit& edit) {
    for (const std::int64_t j : edit.removed) {
        mesh.polygons[static_cast<std::size_t>(j)].removed = true;
    }
    mesh.polygons.insert(mesh.polygons.end(), edit.added.begin(), edit.added.end());
    return mesh;
}

void MeshFileObject::checkFits(const RunEdit& edit) const {
    if (edit.pointCount != mesh().points.size() || edit.polygonCount != mesh().polygons.size()) {
        throw ArrayError(name_ + ": the result is of a run on another mesh (" +
                         std::to_string(edit.pointCount) + " points and " +
                         std::to_string(edit.polygonCount) + " polygons; this one has " +
                         std::to_string(mesh().points.size()) + " and " +
                         std::to_string(mesh().polygons.size()) + ")");
    }
}

std::shared_ptr<MeshFileObject> readFile(const std::string& path,
                                         const std::optional<std::string>& layer) {
    if (path == "-") {
        throw ArrayError("-: give the path of a file (standard input is not read here)");
    }
    const py::gil_scoped_release release;
    requireReadable(path);
    std::istringstream none;
    formats::MeshFile file = cli::readMeshInput(path, std::nullopt, none, layer);
    return std::make_shared<MeshFileObject>(std::move(file));
}

std::shared_ptr<MeshFileObject> meshFromArraysObject(const ReadOnlyDoubles& points,
                                                     const ReadOnlyIndices& offsets,
                                                     const ReadOnlyIndices& indices,
                                                     const std::optional<ReadOnlyCodes>& types,
                                                     const std::string& name) {
    ReadOnlyFlags none(offsets.ndim() == 1 && offsets.shape(0) > 0 ? offsets.shape(0) - 1 : 0);
    std::fill_n(none.mutable_data(), none.size(), false);
    const MeshArrays arrays = checkShapes(points, offsets, indices, none, types);
    standin::Mesh mesh;
    {
        const py::gil_scoped_release release;
        mesh = meshFromArrays(arrays);
    }
    return std::make_shared<MeshFileObject>(std::move(mesh), name);
}

py::dict meshArrays(const MeshFileObject& object) {
    const standin::Mesh& mesh = object.mesh();
    std::vector<std::int64_t> offsets{0};
    std::vector<std::int64_t> indices;
    std::vector<std::uint32_t> types;
    offsets.reserve(mesh.polygons.size() + 1);
    types.reserve(mesh.polygons.size());
    for (const standin::Polygon& polygon : mesh.polygons) {
        indices.insert(indices.end(), polygon.points.begin(), polygon.points.end());
        offsets.push_back(static_cast<std::int64_t>(indices.size()));
        types.push_back(polygon.type);
    }
    py::dict out;
    out["points"] = pointArray(mesh);
    out["offsets"] = vectorArray(std::move(offsets));
    out["indices"] = vectorArray(std::move(indices));
    out["type_codes"] = vectorArray(std::move(types));
    const formats::MeshFile* file = object.file();
    out["name"] = object.name();
    out["format"] = file != nullptr ? py::object(py::str(cli::formatKey(file->format())))
                                    : py::object(py::none());
    out["place"] = file != nullptr ? file->meshPlace() : std::string();
    return out;
}

py::array_t<bool> selection(const MeshFileObject& object, bool all,
                            const std::vector<std::string>& surfaces,
                            const std::vector<std::string>& parts,
                            const std::optional<std::string>& polygons) {
    cli::SelectionRules rules;
    rules.all = all;
    rules.surfaces = surfaces;
    rules.parts = parts;
    if (polygons) {
        rules.polygons = cli::parseIndexRanges(*polygons, "polygons");
    }
    const formats::MeshFile* file = object.file();
    const cli::PartNames names =
        file != nullptr ? cli::partNamesIn(file->format()) : cli::PartNames::whole;
    cli::checkSelection(object.mesh(), rules, object.name(), names);
    standin::Mesh mesh;
    mesh.polygons.resize(object.mesh().polygons.size());
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        const standin::Polygon& from = object.mesh().polygons[j];
        mesh.polygons[j].type = from.type;
        mesh.polygons[j].surface = from.surface;
        mesh.polygons[j].tags = from.tags;
    }
    cli::applySelection(mesh, rules, names);
    py::array_t<bool> out(static_cast<py::ssize_t>(mesh.polygons.size()));
    bool* flags = out.mutable_data();
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        flags[j] = (mesh.polygons[j].flags & 1) != 0;
    }
    return out;
}

void writeEdited(const std::string& path, const MeshFileObject& object, const RunEdit& edit) {
    const py::gil_scoped_release release;
    writeOutput(path, editedFileBytes(object, edit));
}

py::bytes editedBytes(const MeshFileObject& object, const RunEdit& edit) {
    std::vector<std::byte> bytes;
    {
        const py::gil_scoped_release release;
        bytes = editedFileBytes(object, edit);
    }
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

void writeReport(const std::string& path, const MeshFileObject& object, const RunEdit& edit,
                 const std::string& shownName) {
    const py::gil_scoped_release release;
    const standin::Mesh before = object.before(edit);
    const standin::Mesh after = MeshFileObject::after(before, edit);
    const cli::report::ReportRun run{shownName,
                                     summaryLine(edit, object.name()),
                                     edit.stopReason,
                                     edit.counts,
                                     edit.messages,
                                     before,
                                     after};
    std::ostringstream text;
    cli::report::writeHtmlReport(run, text);
    const std::string page = text.str();
    writeOutput(path, std::as_bytes(std::span(page.data(), page.size())));
}

}  // namespace tarvel::python
