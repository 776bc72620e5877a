// A run of the module file beside the extension on a mesh given as arrays, and what it did.
#pragma once

#include <pybind11/pybind11.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "cli/run_summary.h"
#include "python/mesh_arrays.h"
#include "standin/call_log.h"
#include "standin/scene.h"

namespace tarvel::python {

/// What a run did, enough to write the edited file and draw the report page of the mesh it
/// ran on: the result's arrays are made from it.
struct RunEdit {
    std::string name;
    std::size_t pointCount = 0;
    std::size_t polygonCount = 0;
    /// Which polygons the run was given selected.
    std::vector<bool> selected;
    /// The polygons the run added and kept, in the order added.
    std::vector<standin::Polygon> added;
    std::vector<std::int64_t> removed;
    cli::RunCounts counts;
    std::vector<standin::ShownMessage> messages;
    std::string stopReason;
    double seconds = 0.0;
    bool stopped = false;
};

/// The module file the extension runs: tarvel.p beside it.
std::filesystem::path defaultModulePath();

/// Runs the module on the arrays as `tarvel run` runs it on a file; `name` names the mesh in
/// errors and the summary. The result's dictionary holds the edit itself under "edit".
py::dict runArrays(const ReadOnlyDoubles& points, const ReadOnlyIndices& offsets,
                   const ReadOnlyIndices& indices, const ReadOnlyFlags& selected,
                   const std::optional<ReadOnlyCodes>& types, std::optional<unsigned> threads,
                   const std::string& name);

/// The line `tarvel run` prints after the run, without the file's name where `name` is empty.
std::string summaryLine(const RunEdit& edit, const std::string& name);

}  // namespace tarvel::python
