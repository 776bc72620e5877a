// NumPy arrays to the host's mesh and back.
#pragma once

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "standin/scene.h"

namespace tarvel::python {

namespace py = pybind11;

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

/// The arrays' shapes checked (raises ArrayError); `types` may be absent.
MeshArrays checkShapes(const ReadOnlyDoubles& points, const ReadOnlyIndices& offsets,
                       const ReadOnlyIndices& indices, const ReadOnlyFlags& selected,
                       const std::optional<ReadOnlyCodes>& types);

/// The host's mesh from the arrays, every value checked as it is read, so that arrays changed
/// by another thread meanwhile give a wrong mesh at worst, never a read out of bounds.
standin::Mesh meshFromArrays(const MeshArrays& arrays);

/// A flat array that owns `values`.
template <typename T>
py::array_t<T> vectorArray(std::vector<T> values) {
    auto* owner = new std::vector<T>(std::move(values));
    py::capsule free(owner, [](void* p) { delete static_cast<std::vector<T>*>(p); });
    return py::array_t<T>(static_cast<py::ssize_t>(owner->size()), owner->data(), free);
}

/// The mesh's points as an (n, 3) array.
py::array_t<double> pointArray(const standin::Mesh& mesh);

}  // namespace tarvel::python
