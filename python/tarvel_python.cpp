// The Python extension `tarvel._tarvel`: runs the module file beside it in the stand-in host on
// meshes given as NumPy arrays, and reads and writes mesh files as `tarvel run` does. The
// package's __init__.py turns what the caller gives into the plain arrays taken here.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/exit_codes.h"
#include "cli/host_program.h"
#include "cli/mesh_input.h"
#include "cli/output_files.h"
#include "cli/report/html_report.h"
#include "cli/run_outcome.h"
#include "cli/run_summary.h"
#include "cli/selection.h"
#include "formats/format_error.h"
#include "formats/mesh_file.h"
#include "mesh/input_error.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"

namespace py = pybind11;
namespace fs = std::filesystem;

namespace {

/// A file that cannot be opened or written: raised as tarvel.FileError (an OSError).
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Arrays that do not describe a mesh: raised as ValueError.
class ArrayError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

/// The folder this extension was loaded from: the module file lies beside it.
fs::path extensionFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&extensionFolder), &info) == 0 ||
        info.dli_fname == nullptr) {
        return fs::path();
    }
    return fs::path(info.dli_fname).parent_path();
}

fs::path defaultModulePath() {
    return extensionFolder() / "tarvel.p";
}

/// The stand-in host runs one edit at a time per process; the module file is loaded once, on
/// the first run, and stays loaded.
std::mutex& runMutex() {
    static std::mutex mutex;
    return mutex;
}

/// The loaded module; call with runMutex() held.
const tarvel::standin::PluginModule& loadedModule() {
    static std::unique_ptr<tarvel::standin::LoadedModule> loaded;
    if (!loaded) {
        loaded = std::make_unique<tarvel::standin::LoadedModule>(defaultModulePath());
    }
    return loaded->module();
}

/// Sets TARVEL_THREADS for one run and puts back what was there.
class ThreadsSetting {
public:
    explicit ThreadsSetting(std::optional<unsigned> threads) : set_(threads.has_value()) {
        if (!set_) {
            return;
        }
        if (const char* old = std::getenv("TARVEL_THREADS")) {
            old_ = old;
        }
        setenv("TARVEL_THREADS", std::to_string(*threads).c_str(), 1);
    }
    ~ThreadsSetting() {
        if (!set_) {
            return;
        }
        if (old_) {
            setenv("TARVEL_THREADS", old_->c_str(), 1);
        } else {
            unsetenv("TARVEL_THREADS");
        }
    }
    ThreadsSetting(const ThreadsSetting&) = delete;
    ThreadsSetting& operator=(const ThreadsSetting&) = delete;

private:
    bool set_;
    std::optional<std::string> old_;
};

/// What a run did, enough to write the edited file and draw the report page of the mesh it
/// ran on: the result's arrays are made from it.
struct RunEdit {
    std::string name;
    std::size_t pointCount = 0;
    std::size_t polygonCount = 0;
    /// Which polygons the run was given selected.
    std::vector<bool> selected;
    /// The polygons the run added and kept, in the order added.
    std::vector<tarvel::standin::Polygon> added;
    std::vector<std::int64_t> removed;
    tarvel::cli::RunCounts counts;
    std::vector<tarvel::standin::ShownMessage> messages;
    std::string stopReason;
    double seconds = 0.0;
    bool stopped = false;
};

using ReadOnlyDoubles = py::array_t<double, py::array::c_style | py::array::forcecast>;
using ReadOnlyIndices = py::array_t<std::int64_t, py::array::c_style | py::array::forcecast>;
using ReadOnlyFlags = py::array_t<bool, py::array::c_style | py::array::forcecast>;
using ReadOnlyCodes = py::array_t<std::uint32_t, py::array::c_style | py::array::forcecast>;

/// The arrays of a run, checked for shape with the interpreter held; their contents are read
/// without it.
struct MeshArrays {
    const double* points = nullptr;
    std::size_t pointCount = 0;
    const std::int64_t* offsets = nullptr;
    std::size_t polygonCount = 0;
    const std::int64_t* indices = nullptr;
    std::size_t indexCount = 0;
    const bool* selected = nullptr;
    const std::uint32_t* types = nullptr;
};

MeshArrays checkShapes(const ReadOnlyDoubles& points, const ReadOnlyIndices& offsets,
                       const ReadOnlyIndices& indices, const ReadOnlyFlags& selected,
                       const std::optional<ReadOnlyCodes>& types) {
    MeshArrays arrays;
    if (points.ndim() != 2 || points.shape(1) != 3) {
        throw ArrayError("points: an (n, 3) array of coordinates is needed");
    }
    arrays.pointCount = static_cast<std::size_t>(points.shape(0));
    if (arrays.pointCount > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
        throw ArrayError("points: " + std::to_string(arrays.pointCount) +
                         " points: the host numbers at most 2147483647");
    }
    if (offsets.ndim() != 1 || offsets.shape(0) < 1) {
        throw ArrayError("polygons: the offsets need one entry more than there are polygons");
    }
    if (indices.ndim() != 1) {
        throw ArrayError("polygons: the point indices must be a flat array");
    }
    arrays.polygonCount = static_cast<std::size_t>(offsets.shape(0)) - 1;
    arrays.indexCount = static_cast<std::size_t>(indices.shape(0));
    if (selected.ndim() != 1 ||
        static_cast<std::size_t>(selected.shape(0)) != arrays.polygonCount) {
        throw ArrayError("selected: one entry per polygon is needed (" +
                         std::to_string(arrays.polygonCount) + ")");
    }
    if (types &&
        (types->ndim() != 1 || static_cast<std::size_t>(types->shape(0)) != arrays.polygonCount)) {
        throw ArrayError("types: one entry per polygon is needed (" +
                         std::to_string(arrays.polygonCount) + ")");
    }
    arrays.points = points.data();
    arrays.offsets = offsets.data();
    arrays.indices = indices.data();
    arrays.selected = selected.data();
    arrays.types = types ? types->data() : nullptr;
    return arrays;
}

/// The host's mesh from the arrays, every value checked as it is read, so that arrays changed
/// by another thread meanwhile give a wrong mesh at worst, never a read out of bounds.
tarvel::standin::Mesh meshFromArrays(const MeshArrays& arrays) {
    tarvel::standin::Mesh mesh;
    mesh.points.resize(arrays.pointCount);
    for (std::size_t i = 0; i < arrays.pointCount; ++i) {
        mesh.points[i] = {arrays.points[3 * i], arrays.points[3 * i + 1], arrays.points[3 * i + 2]};
    }
    if (arrays.offsets[0] != 0) {
        throw ArrayError("polygons: the offsets must start at 0");
    }
    if (static_cast<std::uint64_t>(arrays.offsets[arrays.polygonCount]) != arrays.indexCount ||
        arrays.offsets[arrays.polygonCount] < 0) {
        throw ArrayError("polygons: the last offset must be the number of point indices (" +
                         std::to_string(arrays.indexCount) + ")");
    }
    mesh.polygons.resize(arrays.polygonCount);
    for (std::size_t j = 0; j < arrays.polygonCount; ++j) {
        const std::int64_t begin = arrays.offsets[j];
        const std::int64_t end = arrays.offsets[j + 1];
        if (end < begin || begin < 0 || static_cast<std::uint64_t>(end) > arrays.indexCount) {
            throw ArrayError("polygons: the offsets must not decrease (polygon " +
                             std::to_string(j) + ")");
        }
        tarvel::standin::Polygon& polygon = mesh.polygons[j];
        polygon.points.reserve(static_cast<std::size_t>(end - begin));
        for (std::int64_t k = begin; k < end; ++k) {
            const std::int64_t point = arrays.indices[k];
            if (point < 0 || static_cast<std::uint64_t>(point) >= arrays.pointCount) {
                throw ArrayError("polygons: polygon " + std::to_string(j) + " names point " +
                                 std::to_string(point) + ", and the points are numbered 0 to " +
                                 std::to_string(static_cast<std::int64_t>(arrays.pointCount) - 1));
            }
            polygon.points.push_back(static_cast<std::int32_t>(point));
        }
        polygon.type = arrays.types != nullptr ? arrays.types[j] : kTypeFace;
        polygon.flags = arrays.selected[j] ? 1 : 0;
    }
    return mesh;
}

/// Runs the module on `mesh` as `tarvel run` does; `name` names the mesh in errors.
RunEdit runOnMesh(tarvel::standin::Mesh mesh, const std::string& name,
                  std::optional<unsigned> threads) {
    const auto start = std::chrono::steady_clock::now();
    if (mesh.polygons.empty()) {
        throw tarvel::formats::FormatError(name + ": no polygons: nothing to run the tool on");
    }
    RunEdit edit;
    edit.name = name;
    edit.pointCount = mesh.points.size();
    edit.polygonCount = mesh.polygons.size();
    edit.selected.resize(edit.polygonCount);
    std::size_t selectedCount = 0;
    for (std::size_t j = 0; j < edit.polygonCount; ++j) {
        edit.selected[j] = (mesh.polygons[j].flags & 1) != 0;
        selectedCount += edit.selected[j] ? 1 : 0;
    }
    tarvel::standin::Scene scene;
    scene.mesh = std::move(mesh);
    std::optional<tarvel::standin::Trace> trace;
    {
        const std::lock_guard<std::mutex> lock(runMutex());
        const tarvel::standin::PluginModule& module = loadedModule();
        const ThreadsSetting setting(threads);
        trace = tarvel::standin::runTool(module, std::move(scene),
                                         tarvel::standin::CallLogging::countsOnly);
    }
    if (!trace->mesh) {
        throw tarvel::standin::InputError(name + ": the module closed no edit; nothing written");
    }
    tarvel::cli::refuseAbandonedEdit(*trace, name);
    edit.counts = tarvel::cli::countRun(*trace, edit.polygonCount);
    edit.messages = trace->calls.messages();
    edit.stopReason = tarvel::cli::silentStopReason(*trace, edit.counts, selectedCount);
    edit.stopped =
        tarvel::cli::runExitCode(*trace, edit.polygonCount) == tarvel::cli::kExitToolStopped;
    std::vector<tarvel::standin::Polygon>& after = trace->mesh->polygons;
    for (std::size_t j = 0; j < after.size(); ++j) {
        if (j < edit.polygonCount) {
            if (after[j].removed) {
                edit.removed.push_back(static_cast<std::int64_t>(j));
            }
        } else if (!after[j].removed) {
            if (after[j].points.size() != 2) {
                throw std::logic_error(name + ": the module added a polygon of " +
                                       std::to_string(after[j].points.size()) +
                                       " points, not a link");
            }
            edit.added.push_back(std::move(after[j]));
        }
    }
    edit.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return edit;
}

/// The colour code of a link's tag: 1 Red, 2 DkRed, 3 Blue, 0 anything else.
std::int8_t colourCode(const tarvel::standin::Polygon& link) {
    const std::string* tag = tarvel::standin::findTag(link, kTagColour);
    if (tag == nullptr) {
        return 0;
    }
    const int code = *tag == "Red" ? 1 : *tag == "DkRed" ? 2 : *tag == "Blue" ? 3 : 0;
    return static_cast<std::int8_t>(code);
}

/// A mesh file as `tarvel run` reads it, or a mesh made from arrays; and what the edit of a run
/// on it writes.
class MeshFileObject {
public:
    explicit MeshFileObject(tarvel::formats::MeshFile file)
        : file_(std::move(file)), name_(file_->name()) {}
    MeshFileObject(tarvel::standin::Mesh mesh, std::string name)
        : made_(std::move(mesh)), name_(std::move(name)) {}

    /// The file read, or null for a mesh made from arrays.
    const tarvel::formats::MeshFile* file() const { return file_ ? &*file_ : nullptr; }
    const tarvel::formats::MeshFile& requireFile() const {
        if (!file_) {
            throw ArrayError(name_ + ": a mesh made from arrays has no file to write back");
        }
        return *file_;
    }
    const tarvel::standin::Mesh& mesh() const { return file_ ? file_->mesh() : made_; }
    const std::string& name() const { return name_; }

    /// The mesh with `edit.selected` selected: what the run was given.
    tarvel::standin::Mesh before(const RunEdit& edit) const {
        checkFits(edit);
        tarvel::standin::Mesh copy = mesh();
        for (std::size_t j = 0; j < copy.polygons.size(); ++j) {
            copy.polygons[j].flags = edit.selected[j] ? 1 : 0;
        }
        return copy;
    }

    /// The mesh after the run: `before` with the edit made.
    static tarvel::standin::Mesh after(tarvel::standin::Mesh mesh, const RunEdit& edit) {
        for (const std::int64_t j : edit.removed) {
            mesh.polygons[static_cast<std::size_t>(j)].removed = true;
        }
        mesh.polygons.insert(mesh.polygons.end(), edit.added.begin(), edit.added.end());
        return mesh;
    }

    void checkFits(const RunEdit& edit) const {
        if (edit.pointCount != mesh().points.size() ||
            edit.polygonCount != mesh().polygons.size()) {
            throw ArrayError(name_ + ": the result is of a run on another mesh (" +
                             std::to_string(edit.pointCount) + " points and " +
                             std::to_string(edit.polygonCount) + " polygons; this one has " +
                             std::to_string(mesh().points.size()) + " and " +
                             std::to_string(mesh().polygons.size()) + ")");
        }
    }

private:
    std::optional<tarvel::formats::MeshFile> file_;
    tarvel::standin::Mesh made_;
    std::string name_;
};

/// The file at `path`, opened to see that it can be; raises FileError as `tarvel run` words it.
void requireReadable(const fs::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) {
        throw FileError(path.string() + ": cannot open: " + std::strerror(errno));
    }
    ::close(fd);
}

std::shared_ptr<MeshFileObject> readFile(const std::string& path,
                                         const std::optional<std::string>& layer) {
    if (path == "-") {
        throw ArrayError("-: give the path of a file (standard input is not read here)");
    }
    const py::gil_scoped_release release;
    requireReadable(path);
    std::istringstream none;
    tarvel::formats::MeshFile file = tarvel::cli::readMeshInput(path, std::nullopt, none, layer);
    return std::make_shared<MeshFileObject>(std::move(file));
}

/// Stages and commits one output as `tarvel run` writes its files.
void writeOutput(const fs::path& path, std::span<const std::byte> bytes) {
    try {
        tarvel::cli::OutputFiles files;
        files.stage(path, bytes);
        files.commit();
    } catch (const tarvel::formats::FormatError&) {
        throw;
    } catch (const tarvel::standin::InputError& error) {
        throw FileError(error.what());
    }
}

std::string summaryLine(const RunEdit& edit, const std::string& name) {
    std::string line = tarvel::cli::runSummaryLine(name, edit.counts, edit.seconds);
    return name.empty() ? line.substr(2) : line;
}

py::tuple messageTuple(const RunEdit& edit, bool kinds) {
    py::tuple out(edit.messages.size());
    for (std::size_t k = 0; k < edit.messages.size(); ++k) {
        const tarvel::standin::ShownMessage& message = edit.messages[k];
        if (kinds) {
            out[k] = py::str(tarvel::cli::messageBoxTitle(message.kind));
        } else {
            std::string text = message.text.value_or("");
            if (message.text2) {
                text += "\n" + *message.text2;
            }
            out[k] = py::str(text);
        }
    }
    return out;
}

template <typename T>
py::array_t<T> vectorArray(std::vector<T> values) {
    auto* owner = new std::vector<T>(std::move(values));
    py::capsule free(owner, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(owner->size()), owner->data(), free);
}

py::dict runArrays(const ReadOnlyDoubles& points, const ReadOnlyIndices& offsets,
                   const ReadOnlyIndices& indices, const ReadOnlyFlags& selected,
                   const std::optional<ReadOnlyCodes>& types, std::optional<unsigned> threads,
                   const std::string& name) {
    const MeshArrays arrays = checkShapes(points, offsets, indices, selected, types);
    auto edit = std::make_shared<RunEdit>();
    std::vector<std::int64_t> links;
    std::vector<std::int8_t> codes;
    {
        py::gil_scoped_release release;
        *edit = runOnMesh(meshFromArrays(arrays), name.empty() ? "mesh" : name, threads);
        links.reserve(2 * edit->added.size());
        codes.reserve(edit->added.size());
        for (const tarvel::standin::Polygon& link : edit->added) {
            links.push_back(link.points[0]);
            links.push_back(link.points[1]);
            codes.push_back(colourCode(link));
        }
    }
    py::tuple colours(edit->added.size());
    for (std::size_t k = 0; k < edit->added.size(); ++k) {
        const std::string* tag = tarvel::standin::findTag(edit->added[k], kTagColour);
        colours[k] = tag != nullptr ? py::str(*tag) : py::str("untagged");
    }
    py::array_t<std::int64_t> linkArray = vectorArray(std::move(links));
    linkArray.resize({static_cast<py::ssize_t>(edit->added.size()), py::ssize_t{2}});
    py::dict out;
    out["links"] = linkArray;
    out["colours"] = colours;
    out["colour_codes"] = vectorArray(std::move(codes));
    out["removed"] = vectorArray(std::vector<std::int64_t>(edit->removed));
    out["pairs"] = edit->counts.pairs;
    out["messages"] = messageTuple(*edit, false);
    out["message_kinds"] = messageTuple(*edit, true);
    out["stopped"] = edit->stopped;
    out["stop_reason"] = edit->stopReason;
    out["summary"] = summaryLine(*edit, name);
    out["seconds"] = edit->seconds;
    py::dict linksByTag;
    for (const auto& [tag, count] : edit->counts.links) {
        linksByTag[py::str(tag)] = count;
    }
    out["link_counts"] = linksByTag;
    out["edit"] = py::cast(edit);
    return out;
}

py::array_t<double> pointArray(const tarvel::standin::Mesh& mesh) {
    std::vector<double> values;
    values.reserve(3 * mesh.points.size());
    for (const tarvel::standin::Point& p : mesh.points) {
        values.insert(values.end(), p.begin(), p.end());
    }
    py::array_t<double> out = vectorArray(std::move(values));
    out.resize({static_cast<py::ssize_t>(mesh.points.size()), py::ssize_t{3}});
    return out;
}

py::dict meshArrays(const MeshFileObject& object) {
    const tarvel::standin::Mesh& mesh = object.mesh();
    std::vector<std::int64_t> offsets{0};
    std::vector<std::int64_t> indices;
    std::vector<std::uint32_t> types;
    std::vector<std::uint8_t> selectedAll;
    offsets.reserve(mesh.polygons.size() + 1);
    types.reserve(mesh.polygons.size());
    for (const tarvel::standin::Polygon& polygon : mesh.polygons) {
        indices.insert(indices.end(), polygon.points.begin(), polygon.points.end());
        offsets.push_back(static_cast<std::int64_t>(indices.size()));
        types.push_back(polygon.type);
    }
    py::dict out;
    out["points"] = pointArray(mesh);
    out["offsets"] = vectorArray(std::move(offsets));
    out["indices"] = vectorArray(std::move(indices));
    out["type_codes"] = vectorArray(std::move(types));
    const tarvel::formats::MeshFile* file = object.file();
    out["name"] = object.name();
    out["format"] = file != nullptr ? py::object(py::str(tarvel::cli::formatKey(file->format())))
                                    : py::object(py::none());
    out["place"] = file != nullptr ? file->meshPlace() : std::string();
    return out;
}

/// Which polygons `tarvel run` selects with these options, refused as it refuses them.
py::array_t<bool> selection(const MeshFileObject& object, bool all,
                            const std::vector<std::string>& surfaces,
                            const std::vector<std::string>& parts,
                            const std::optional<std::string>& polygons) {
    tarvel::cli::SelectionRules rules;
    rules.all = all;
    rules.surfaces = surfaces;
    rules.parts = parts;
    if (polygons) {
        rules.polygons = tarvel::cli::parseIndexRanges(*polygons, "polygons");
    }
    const tarvel::formats::MeshFile* file = object.file();
    const tarvel::cli::PartNames names =
        file != nullptr ? tarvel::cli::partNamesIn(file->format()) : tarvel::cli::PartNames::whole;
    tarvel::cli::checkSelection(object.mesh(), rules, object.name(), names);
    tarvel::standin::Mesh mesh;
    mesh.polygons.resize(object.mesh().polygons.size());
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        const tarvel::standin::Polygon& from = object.mesh().polygons[j];
        mesh.polygons[j].type = from.type;
        mesh.polygons[j].surface = from.surface;
        mesh.polygons[j].tags = from.tags;
    }
    tarvel::cli::applySelection(mesh, rules, names);
    py::array_t<bool> out(static_cast<py::ssize_t>(mesh.polygons.size()));
    bool* flags = out.mutable_data();
    for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
        flags[j] = (mesh.polygons[j].flags & 1) != 0;
    }
    return out;
}

/// The file of `object` with `edit` made, as `tarvel run` writes it.
std::vector<std::byte> editedFileBytes(const MeshFileObject& object, const RunEdit& edit) {
    const tarvel::formats::MeshFile& file = object.requireFile();
    return file.editedBytes(MeshFileObject::after(object.before(edit), edit));
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
    const tarvel::standin::Mesh before = object.before(edit);
    const tarvel::standin::Mesh after = MeshFileObject::after(before, edit);
    const tarvel::cli::report::ReportRun run{shownName,
                                             summaryLine(edit, object.name()),
                                             edit.stopReason,
                                             edit.counts,
                                             edit.messages,
                                             before,
                                             after};
    std::ostringstream text;
    tarvel::cli::report::writeHtmlReport(run, text);
    const std::string page = text.str();
    writeOutput(path, std::as_bytes(std::span(page.data(), page.size())));
}

}  // namespace

PYBIND11_MODULE(_tarvel, m) {
    m.doc() = "The Tarvel Tool's module run in the stand-in host (see the tarvel package).";

    static py::object error = py::reinterpret_steal<py::object>(
        PyErr_NewExceptionWithDoc("tarvel.Error",
                                  "An error the tarvel module reports, with the message "
                                  "`tarvel run` gives.",
                                  PyExc_Exception, nullptr));
    py::tuple formatBases = py::make_tuple(error, py::handle(PyExc_ValueError));
    static py::object formatError = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
        "tarvel.FormatError", "A mesh file that cannot be read, or written in its format.",
        formatBases.ptr(), nullptr));
    static py::object usageError = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
        "tarvel.SelectionError",
        "A selection or layer the file cannot meet (a surface or part it does not have...).",
        formatBases.ptr(), nullptr));
    py::tuple fileBases = py::make_tuple(error, py::handle(PyExc_OSError));
    static py::object fileError = py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(
        "tarvel.FileError", "A file that cannot be opened or written.", fileBases.ptr(), nullptr));
    m.attr("Error") = error;
    m.attr("FormatError") = formatError;
    m.attr("SelectionError") = usageError;
    m.attr("FileError") = fileError;
    py::register_exception_translator([](std::exception_ptr thrown) {
        try {
            if (thrown) {
                std::rethrow_exception(thrown);
            }
        } catch (const FileError& e) {
            PyErr_SetString(fileError.ptr(), e.what());
        } catch (const ArrayError& e) {
            PyErr_SetString(PyExc_ValueError, e.what());
        } catch (const tarvel::formats::ChoiceError& e) {
            PyErr_SetString(usageError.ptr(), e.what());
        } catch (const tarvel::formats::FormatError& e) {
            PyErr_SetString(formatError.ptr(), e.what());
        } catch (const tarvel::cli::UsageError& e) {
            PyErr_SetString(usageError.ptr(), e.what());
        } catch (const tarvel::standin::InputError& e) {
            PyErr_SetString(error.ptr(), e.what());
        }
    });

    py::class_<RunEdit, std::shared_ptr<RunEdit>>(m, "_Edit")
        .def_property_readonly("point_count", [](const RunEdit& e) { return e.pointCount; })
        .def_property_readonly("polygon_count", [](const RunEdit& e) { return e.polygonCount; });

    py::class_<MeshFileObject, std::shared_ptr<MeshFileObject>>(m, "_MeshFile")
        .def("arrays", &meshArrays)
        .def("selection", &selection, py::arg("all"), py::arg("surfaces"), py::arg("parts"),
             py::arg("polygons"))
        .def("edited_bytes", &editedBytes)
        .def("write", [](const MeshFileObject& object, const std::string& path,
                         const RunEdit& edit) { writeEdited(path, object, edit); })
        .def("report",
             [](const MeshFileObject& object, const std::string& path, const RunEdit& edit,
                const std::string& shownName) { writeReport(path, object, edit, shownName); });

    m.def(
        "mesh_from_arrays",
        [](const ReadOnlyDoubles& points, const ReadOnlyIndices& offsets,
           const ReadOnlyIndices& indices, const std::optional<ReadOnlyCodes>& types,
           const std::string& name) {
            ReadOnlyFlags none(offsets.ndim() == 1 && offsets.shape(0) > 0 ? offsets.shape(0) - 1
                                                                           : 0);
            std::fill_n(none.mutable_data(), none.size(), false);
            const MeshArrays arrays = checkShapes(points, offsets, indices, none, types);
            tarvel::standin::Mesh mesh;
            {
                py::gil_scoped_release release;
                mesh = meshFromArrays(arrays);
            }
            return std::make_shared<MeshFileObject>(std::move(mesh), name);
        },
        py::arg("points"), py::arg("offsets"), py::arg("indices"), py::arg("types"),
        py::arg("name"));
    m.def("read", &readFile, py::arg("path"), py::arg("layer"));
    m.def("run", &runArrays, py::arg("points"), py::arg("offsets"), py::arg("indices"),
          py::arg("selected"), py::arg("types"), py::arg("threads"), py::arg("name"));
    m.def("module_file", [] { return defaultModulePath().string(); });
}
