// The Python extension `tarvel._tarvel`: runs the module file beside it in the stand-in host on
// meshes given as NumPy arrays, and reads and writes mesh files as `tarvel run` does. The
// package's __init__.py turns what the caller gives into the plain arrays taken here. This file
// defines the extension's exceptions, classes and functions; mesh_arrays, run_edit and
// mesh_file do the work.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <exception>
#include <memory>
#include <string>

#include "cli/exit_codes.h"
#include "formats/format_error.h"
#include "mesh/input_error.h"
#include "python/errors.h"
#include "python/mesh_arrays.h"
#include "python/mesh_file.h"
#include "python/run_edit.h"

namespace tarvel::python {
namespace {

/// A new exception class of the package, derived from `bases`.
py::object newException(const char* name, const char* doc, PyObject* bases) {
    return py::reinterpret_steal<py::object>(PyErr_NewExceptionWithDoc(name, doc, bases, nullptr));
}

/// The package's exceptions as attributes of `m`, and each of the extension's errors raised as
/// one of them.
void defineErrors(py::module_& m) {
    static py::object error = newException(
        "tarvel.Error", "An error the tarvel module reports, with the message `tarvel run` gives.",
        PyExc_Exception);
    py::tuple formatBases = py::make_tuple(error, py::handle(PyExc_ValueError));
    static py::object formatError = newException(
        "tarvel.FormatError", "A mesh file that cannot be read, or written in its format.",
        formatBases.ptr());
    static py::object usageError = newException(
        "tarvel.SelectionError",
        "A selection or layer the file cannot meet (a surface or part it does not have...).",
        formatBases.ptr());
    py::tuple fileBases = py::make_tuple(error, py::handle(PyExc_OSError));
    static py::object fileError = newException(
        "tarvel.FileError", "A file that cannot be opened or written.", fileBases.ptr());
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
        } catch (const formats::ChoiceError& e) {
            PyErr_SetString(usageError.ptr(), e.what());
        } catch (const formats::FormatError& e) {
            PyErr_SetString(formatError.ptr(), e.what());
        } catch (const cli::UsageError& e) {
            PyErr_SetString(usageError.ptr(), e.what());
        } catch (const standin::InputError& e) {
            PyErr_SetString(error.ptr(), e.what());
        }
    });
}

/// The classes of a run's edit and of a mesh file, and the functions, as attributes of `m`.
void defineApi(py::module_& m) {
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

    m.def("mesh_from_arrays", &meshFromArraysObject, py::arg("points"), py::arg("offsets"),
          py::arg("indices"), py::arg("types"), py::arg("name"));
    m.def("read", &readFile, py::arg("path"), py::arg("layer"));
    m.def("run", &runArrays, py::arg("points"), py::arg("offsets"), py::arg("indices"),
          py::arg("selected"), py::arg("types"), py::arg("threads"), py::arg("name"));
    m.def("module_file", [] { return defaultModulePath().string(); });
}

}  // namespace
}  // namespace tarvel::python

PYBIND11_MODULE(_tarvel, m) {
    m.doc() = "The Tarvel Tool's module run in the stand-in host (see the tarvel package).";
    tarvel::python::defineErrors(m);
    tarvel::python::defineApi(m);
}
