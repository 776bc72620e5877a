// NumPy arrays to the host's mesh and back.
#include "python/mesh_arrays.h"

#include <limits>
#include <string>

#include "python/errors.h"

namespace tarvel::python {

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

standin::Mesh meshFromArrays(const MeshArrays& arrays) {
    standin::Mesh mesh;
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
        standin::Polygon& polygon = mesh.polygons[j];
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

py::array_t<double> pointArray(const standin::Mesh& mesh) {
    std::vector<double> values;
    values.reserve(3 * mesh.points.size());
    for (const standin::Point& p : mesh.points) {
        values.insert(values.end(), p.begin(), p.end());
    }
    py::array_t<double> out = vectorArray(std::move(values));
    out.resize({static_cast<py::ssize_t>(mesh.points.size()), py::ssize_t{3}});
    return out;
}

}  // namespace tarvel::python
