// A run of the module file beside the extension on a mesh given as arrays, and what it did.
#include "python/run_edit.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>

#include "cli/exit_codes.h"
#include "cli/host_program.h"
#include "cli/run_outcome.h"
#include "formats/format_error.h"
#include "mesh/input_error.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"

namespace tarvel::python {
namespace {

namespace fs = std::filesystem;

/// The folder this extension was loaded from: the module file lies beside it.
fs::path extensionFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&extensionFolder), &info) == 0 ||
        info.dli_fname == nullptr) {
        return fs::path();
    }
    return fs::path(info.dli_fname).parent_path();
}

/// The stand-in host runs one edit at a time per process; the module file is loaded once, on
/// the first run, and stays loaded.
std::mutex& runMutex() {
    static std::mutex mutex;
    return mutex;
}

/// The loaded module; call with runMutex() held.
const standin::PluginModule& loadedModule() {
    static std::unique_ptr<standin::LoadedModule> loaded;
    if (!loaded) {
        loaded = std::make_unique<standin::LoadedModule>(defaultModulePath());
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

/// The polygons the run removed, and the links it added and kept, into `edit`.
void takeChanges(std::vector<standin::Polygon>& after, const std::string& name, RunEdit& edit) {
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
}

/// Runs the module on `mesh` as `tarvel run` does; `name` names the mesh in errors.
RunEdit runOnMesh(standin::Mesh mesh, const std::string& name, std::optional<unsigned> threads) {
    const auto start = std::chrono::steady_clock::now();
    if (mesh.polygons.empty()) {
        throw formats::FormatError(name + ": no polygons: nothing to run the tool on");
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
    standin::Scene scene;
    scene.mesh = std::move(mesh);
    std::optional<standin::Trace> trace;
    {
        const std::lock_guard<std::mutex> lock(runMutex());
        const standin::PluginModule& module = loadedModule();
        const ThreadsSetting setting(threads);
        trace = standin::runTool(module, std::move(scene), standin::CallLogging::countsOnly);
    }
    if (!trace->mesh) {
        throw standin::InputError(name + ": the module closed no edit; nothing written");
    }
    cli::refuseAbandonedEdit(*trace, name);
    edit.counts = cli::countRun(*trace, edit.polygonCount);
    edit.messages = trace->calls.messages();
    edit.stopReason = cli::silentStopReason(*trace, edit.counts, selectedCount);
    edit.stopped = cli::runExitCode(*trace, edit.polygonCount) == cli::kExitToolStopped;
    takeChanges(trace->mesh->polygons, name, edit);
    edit.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return edit;
}

/// The colour code of a link's tag: 1 Red, 2 DkRed, 3 Blue, 0 anything else.
std::int8_t colourCode(const standin::Polygon& link) {
    const std::string* tag = standin::findTag(link, kTagColour);
    if (tag == nullptr) {
        return 0;
    }
    const int code = *tag == "Red" ? 1 : *tag == "DkRed" ? 2 : *tag == "Blue" ? 3 : 0;
    return static_cast<std::int8_t>(code);
}

/// The messages the run showed: their titles where `kinds`, else their texts.
py::tuple messageTuple(const RunEdit& edit, bool kinds) {
    py::tuple out(edit.messages.size());
    for (std::size_t k = 0; k < edit.messages.size(); ++k) {
        const standin::ShownMessage& message = edit.messages[k];
        if (kinds) {
            out[k] = py::str(cli::messageBoxTitle(message.kind));
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

/// The result's entries that tell what the run did besides its links.
void describeRun(const RunEdit& edit, const std::string& name, py::dict& out) {
    out["removed"] = vectorArray(std::vector<std::int64_t>(edit.removed));
    out["pairs"] = edit.counts.pairs;
    out["messages"] = messageTuple(edit, false);
    out["message_kinds"] = messageTuple(edit, true);
    out["stopped"] = edit.stopped;
    out["stop_reason"] = edit.stopReason;
    out["summary"] = summaryLine(edit, name);
    out["seconds"] = edit.seconds;
    py::dict linksByTag;
    for (const auto& [tag, count] : edit.counts.links) {
        linksByTag[py::str(tag)] = count;
    }
    out["link_counts"] = linksByTag;
}

}  // namespace

fs::path defaultModulePath() {
    return extensionFolder() / "tarvel.p";
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
        for (const standin::Polygon& link : edit->added) {
            links.push_back(link.points[0]);
            links.push_back(link.points[1]);
            codes.push_back(colourCode(link));
        }
    }
    py::tuple colours(edit->added.size());
    for (std::size_t k = 0; k < edit->added.size(); ++k) {
        const std::string* tag = standin::findTag(edit->added[k], kTagColour);
        colours[k] = tag != nullptr ? py::str(*tag) : py::str("untagged");
    }
    py::array_t<std::int64_t> linkArray = vectorArray(std::move(links));
    linkArray.resize({static_cast<py::ssize_t>(edit->added.size()), py::ssize_t{2}});
    py::dict out;
    out["links"] = linkArray;
    out["colours"] = colours;
    out["colour_codes"] = vectorArray(std::move(codes));
    describeRun(*edit, name, out);
    out["edit"] = py::cast(edit);
    return out;
}

std::string summaryLine(const RunEdit& edit, const std::string& name) {
    std::string line = cli::runSummaryLine(name, edit.counts, edit.seconds);
    return name.empty() ? line.substr(2) : line;
}

}  // namespace tarvel::python
