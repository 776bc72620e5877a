#include "standin/stand_in_host.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "sdk/polygon_flags.h"
#include "standin/host_code_scope.h"
#include "standin/host_info_records.h"
#include "standin/polygon_normal.h"
#include "standin/run_mesh.h"

namespace tarvel::standin {

namespace {

constexpr EDError kNoError = 0;
/// The host's result for arguments that name nothing it can act on.
constexpr EDError kBadArguments = 5;
/// The scene is one layer, the primary foreground layer; other layer selectors see nothing.
constexpr int kPrimaryLayer = 0;
constexpr int kCountAll = 0;
constexpr int kCountSelected = 1;
/// The exit code of a process whose plug-in called an operation it never should.
constexpr int kUncalledOperationExit = 1;

// Point i and polygon j are handed out as the handles i + 1 and j + 1, so that no element's
// handle is null, and a handle turns back into its index without a lookup.
LWPntID pointHandle(std::size_t index) {
    return reinterpret_cast<LWPntID>(static_cast<std::uintptr_t>(index) + 1);
}

LWPolID polygonHandle(std::size_t index) {
    return reinterpret_cast<LWPolID>(static_cast<std::uintptr_t>(index) + 1);
}

/// The index a handle stands for, or `limit` when it stands for none below `limit`.
std::size_t indexOf(const void* handle, std::size_t limit) {
    const auto raw = reinterpret_cast<std::uintptr_t>(handle);
    return raw == 0 || raw - 1 >= limit ? limit : static_cast<std::size_t>(raw - 1);
}

/// How to put back a tag an open edit changed.
struct TagUndo {
    std::size_t polygon;
    LWID type;
    /// Null when the polygon had no tag of this type before.
    std::optional<std::string> previous;
};

/// One run: the mesh being edited, the answers the host gives and the log.
class HostRun {
public:
    HostRun(Scene scene, CallLogging logging, std::string moduleName)
        : mesh_(std::move(scene.mesh)),
          answers_(scene.host),
          log_(logging),
          moduleName_(std::move(moduleName)) {
        for (std::size_t j = 0; j < mesh_.polygonCount(); ++j) {
            selectedCount_ += (mesh_.flags(j) & kPolygonSelected) != 0 ? 1 : 0;
        }
    }

    const std::string& moduleName() const { return moduleName_; }
    void* global(const char* service, int use);
    MeshEditOp* begin(int pointBuffer, int polygonBuffer, int selection);
    void message(CallOp kind, const char* text, const char* text2) {
        log_.message(kind, text, text2);
    }
    void done(EDError error, int selectionMode);
    int polyCount(int layer, int mode);
    EDError polyScan(EDPolyScanFunc* callback, void* userData, int layer);
    EDPointInfo* pointInfo(LWPntID point);
    int polyNormal(LWPolID handle, double normal[3]);
    LWPolID addFace(const char* surface, int count, const LWPntID* points);
    EDError remPoly(LWPolID handle);
    EDError polTag(LWPolID handle, LWID type, const char* value);

    /// Keeps the first exception a host operation met, for the run to throw once the plug-in
    /// has returned: exceptions must not cross the plug-in's frames.
    void noteFailure(std::exception_ptr failure) {
        if (!failure_) {
            failure_ = failure;
        }
    }

    Trace finish(int result, MeshAfter meshAfter) {
        if (failure_) {
            std::rethrow_exception(failure_);
        }
        // An edit the plug-in never closed is abandoned, as the modeller abandons it.
        if (editOpen_) {
            rollBack();
        }
        Trace trace{result, std::move(log_), std::nullopt};
        if (doneCalled_ && meshAfter == MeshAfter::given) {
            trace.mesh = mesh_.release();
        }
        return trace;
    }

private:
    /// The index of the polygon a handle names, or null when it names none or one that was
    /// removed.
    std::optional<std::size_t> livePolygon(LWPolID handle) const {
        const std::size_t j = indexOf(handle, mesh_.polygonCount());
        if (j == mesh_.polygonCount() || mesh_.removed(j)) {
            return std::nullopt;
        }
        return j;
    }

    void rollBack();

    RunMesh mesh_;
    HostAnswers answers_;
    CallLog log_;
    std::string moduleName_;
    std::exception_ptr failure_;
    /// The record pointInfo returns, valid until its next call.
    PointInfoRecord pointInfo_{};
    /// Selected polygons not removed.
    std::size_t selectedCount_ = 0;
    /// Polygons that keep a slot but were removed.
    std::size_t removedCount_ = 0;
    bool editOpen_ = false;
    bool doneCalled_ = false;
    // What an open edit changed, to be undone when it is closed with an error.
    std::size_t polygonsAtBegin_ = 0;
    std::vector<std::size_t> removedInEdit_;
    std::vector<TagUndo> tagUndo_;
    /// The identifiers addFace checks, kept between its calls.
    std::vector<std::int32_t> addedPoints_;
};

/// The run in progress, or null between runs; calls arriving between runs are ignored.
HostRun* activeRun = nullptr;

/// Calls `body` on the active run, or gives `fallback` when there is none or the body throws.
template <typename Result, typename Body>
Result guarded(Result fallback, const Body& body) {
    const HostCodeScope hostCode;
    if (activeRun == nullptr) {
        return fallback;
    }
    try {
        return body(*activeRun);
    } catch (...) {
        activeRun->noteFailure(std::current_exception());
        return fallback;
    }
}

template <typename Body>
void guardedVoid(const Body& body) {
    guarded(0, [&body](HostRun& run) {
        body(run);
        return 0;
    });
}

void infoEntry(const char* text, const char* text2) {
    guardedVoid([=](HostRun& run) { run.message(CallOp::info, text, text2); });
}

void errorEntry(const char* text, const char* text2) {
    guardedVoid([=](HostRun& run) { run.message(CallOp::error, text, text2); });
}

void warningEntry(const char* text, const char* text2) {
    guardedVoid([=](HostRun& run) { run.message(CallOp::warning, text, text2); });
}

void doneEntry(EDStateRef, EDError error, int selectionMode) {
    guardedVoid([=](HostRun& run) { run.done(error, selectionMode); });
}

int polyCountEntry(EDStateRef, EltOpLayer layer, int mode) {
    return guarded(0, [=](HostRun& run) { return run.polyCount(layer, mode); });
}

EDError polyScanEntry(EDStateRef, EDPolyScanFunc* callback, void* userData, EltOpLayer layer) {
    return guarded(kBadArguments,
                   [=](HostRun& run) { return run.polyScan(callback, userData, layer); });
}

EDPointInfo* pointInfoEntry(EDStateRef, LWPntID point) {
    return guarded<EDPointInfo*>(nullptr, [=](HostRun& run) { return run.pointInfo(point); });
}

int polyNormalEntry(EDStateRef, LWPolID polygon, double normal[3]) {
    return guarded(0, [=](HostRun& run) { return run.polyNormal(polygon, normal); });
}

LWPolID addFaceEntry(EDStateRef, const char* surface, int count, const LWPntID* points) {
    return guarded<LWPolID>(nullptr,
                            [=](HostRun& run) { return run.addFace(surface, count, points); });
}

EDError remPolyEntry(EDStateRef, LWPolID polygon) {
    return guarded(kBadArguments, [=](HostRun& run) { return run.remPoly(polygon); });
}

EDError polTagEntry(EDStateRef, LWPolID polygon, LWID type, const char* value) {
    return guarded(kBadArguments, [=](HostRun& run) { return run.polTag(polygon, type, value); });
}

void* globalEntry(const char* service, int use) {
    return guarded<void*>(nullptr, [=](HostRun& run) { return run.global(service, use); });
}

MeshEditOp* beginEntry(int pointBuffer, int polygonBuffer, EltOpSelect selection) {
    return guarded<MeshEditOp*>(
        nullptr, [=](HostRun& run) { return run.begin(pointBuffer, polygonBuffer, selection); });
}

/// The operations of the edit record that no plug-in this host runs may call. A call means the
/// plug-in reads the record with a layout of its own, and its next call may jump anywhere (into
/// the layer number, say): the process ends here, naming the operation, before it can, with the
/// exit code of a refused module and nothing written.
template <const char* Name>
void uncalledEntry() {
    const HostCodeScope hostCode;
    const std::string module = activeRun != nullptr ? activeRun->moduleName() : "the plug-in";
    std::fprintf(stderr,
                 "%s: the module called the host's edit operation %s, which this tool never "
                 "calls: it does not read the edit record as the host lays it out\n",
                 module.c_str(), Name);
    std::fflush(stderr);
    std::_Exit(kUncalledOperationExit);
}

#define TARVEL_UNCALLED(name)          \
    constexpr char k_##name[] = #name; \
    constexpr EDUncalledFunc name##Uncalled = uncalledEntry<k_##name>;
TARVEL_UNCALLED(pointCount)
TARVEL_UNCALLED(pointScan)
TARVEL_UNCALLED(polyInfo)
TARVEL_UNCALLED(addPoint)
TARVEL_UNCALLED(addCurve)
TARVEL_UNCALLED(addQuad)
TARVEL_UNCALLED(addTri)
TARVEL_UNCALLED(addPatch)
TARVEL_UNCALLED(remPoint)
TARVEL_UNCALLED(pntMove)
TARVEL_UNCALLED(polSurf)
TARVEL_UNCALLED(polPnts)
TARVEL_UNCALLED(polFlag)
TARVEL_UNCALLED(pntVMap)
TARVEL_UNCALLED(addPoly)
TARVEL_UNCALLED(addIPnt)
TARVEL_UNCALLED(initUV)
TARVEL_UNCALLED(pointVSet)
TARVEL_UNCALLED(pointVGet)
TARVEL_UNCALLED(polyTag)
TARVEL_UNCALLED(pntSelect)
TARVEL_UNCALLED(polSelect)
TARVEL_UNCALLED(pointVPGet)
TARVEL_UNCALLED(pointVEval)
TARVEL_UNCALLED(pntVPMap)
#undef TARVEL_UNCALLED

/// The layer number the edit record reports: the scene is the first layer.
constexpr int kLayerNumber = 1;

// The records handed to the plug-in live as long as the process, so that a plug-in that keeps
// a pointer past its run reaches entry points that ignore it, not freed memory.
LWMessageFuncs messageFuncs = {infoEntry, errorEntry, warningEntry};
int editStateToken = 0;
/// The whole record as the host lays it out, every member filled.
MeshEditOp editOp = {
    reinterpret_cast<EDStateRef>(&editStateToken),
    kLayerNumber,
    doneEntry,
    pointCountUncalled,
    polyCountEntry,
    pointScanUncalled,
    polyScanEntry,
    pointInfoEntry,
    polyInfoUncalled,
    polyNormalEntry,
    addPointUncalled,
    addFaceEntry,
    addCurveUncalled,
    addQuadUncalled,
    addTriUncalled,
    addPatchUncalled,
    remPointUncalled,
    remPolyEntry,
    pntMoveUncalled,
    polSurfUncalled,
    polPntsUncalled,
    polFlagUncalled,
    polTagEntry,
    pntVMapUncalled,
    addPolyUncalled,
    addIPntUncalled,
    initUVUncalled,
    pointVSetUncalled,
    pointVGetUncalled,
    polyTagUncalled,
    pntSelectUncalled,
    polSelectUncalled,
    pointVPGetUncalled,
    pointVEvalUncalled,
    pntVPMapUncalled,
};
/// "File IO" is asked for but not used by the plug-ins this host runs: it gets a record whose
/// functions are all null.
struct {
    void (*functions[32])();
} fileIoRecord = {};

void* HostRun::global(const char* service, int use) {
    log_.global(service, use);
    if (service == nullptr) {
        return nullptr;
    }
    if (std::strcmp(service, "Info Messages 2") == 0) {
        return answers_.messages ? &messageFuncs : nullptr;
    }
    if (std::strcmp(service, "File IO") == 0) {
        return &fileIoRecord;
    }
    return nullptr;
}

MeshEditOp* HostRun::begin(int pointBuffer, int polygonBuffer, int selection) {
    log_.begin(pointBuffer, polygonBuffer, selection);
    if (!answers_.edit) {
        return nullptr;
    }
    // A second begin while an edit is open continues that edit.
    if (!editOpen_) {
        editOpen_ = true;
        polygonsAtBegin_ = mesh_.polygonCount();
        removedInEdit_.clear();
        tagUndo_.clear();
    }
    return &editOp;
}

void HostRun::done(EDError error, int selectionMode) {
    log_.done(error, selectionMode);
    if (!editOpen_) {
        return;
    }
    if (error != kNoError) {
        rollBack();
    }
    editOpen_ = false;
    doneCalled_ = true;
    removedInEdit_.clear();
    tagUndo_.clear();
}

void HostRun::rollBack() {
    // Tags first, newest first, while every polygon they name is still there.
    for (auto undo = tagUndo_.rbegin(); undo != tagUndo_.rend(); ++undo) {
        std::vector<PolygonTag>& tags = mesh_.tags(undo->polygon);
        for (auto tag = tags.begin(); tag != tags.end(); ++tag) {
            if (tag->type == undo->type) {
                if (undo->previous) {
                    tag->value = *undo->previous;
                } else {
                    tags.erase(tag);
                }
                break;
            }
        }
    }
    for (const std::size_t j : removedInEdit_) {
        mesh_.setRemoved(j, false);
        --removedCount_;
        if (j < polygonsAtBegin_ && (mesh_.flags(j) & kPolygonSelected) != 0) {
            ++selectedCount_;
        }
    }
    // Added polygons are never selected, so dropping them leaves the count alone.
    mesh_.dropPolygonsFrom(polygonsAtBegin_);
    editOpen_ = false;
    removedInEdit_.clear();
    tagUndo_.clear();
}

int HostRun::polyCount(int layer, int mode) {
    int result = 0;
    if (layer == kPrimaryLayer && mode == kCountSelected) {
        result = answers_.polyCount ? *answers_.polyCount : static_cast<int>(selectedCount_);
    } else if (layer == kPrimaryLayer && mode == kCountAll) {
        result = static_cast<int>(mesh_.polygonCount() - removedCount_);
    }
    log_.polyCount(layer, mode, result);
    return result;
}

EDError HostRun::polyScan(EDPolyScanFunc* callback, void* userData, int layer) {
    log_.polyScan(layer);
    if (callback == nullptr) {
        return kBadArguments;
    }
    if (layer != kPrimaryLayer) {
        return kNoError;
    }
    // The callback may add or remove polygons: the scan visits those that were there when it
    // began and are still there, and hands out copies that stay valid whatever it changes.
    // The surface names stay where they are whatever the callback adds or removes.
    const std::size_t count = mesh_.polygonCount();
    // Its own list: the callback may start a scan of its own.
    std::vector<LWPntID> points;
    for (std::size_t j = 0; j < count && j < mesh_.polygonCount(); ++j) {
        if (mesh_.removed(j)) {
            continue;
        }
        points.clear();
        for (const std::int32_t id : mesh_.pointsOf(j)) {
            points.push_back(pointHandle(static_cast<std::size_t>(id)));
        }
        PolygonInfoRecord info{};
        info.whole = HostPolygonInfo{polygonHandle(j),
                                     nullptr,
                                     kPrimaryLayer,
                                     mesh_.flags(j),
                                     static_cast<int>(points.size()),
                                     points.data(),
                                     mesh_.surface(j).c_str(),
                                     mesh_.type(j),
                                     0,
                                     0,
                                     nullptr};
        EDError result = kNoError;
        {
            const PluginCodeScope pluginCode;
            result = callback(userData, &info.prefix);
        }
        if (result != kNoError) {
            return result;
        }
    }
    return kNoError;
}

EDPointInfo* HostRun::pointInfo(LWPntID point) {
    log_.pointInfo(point);
    const std::size_t i = indexOf(point, mesh_.points().size());
    if (i == mesh_.points().size()) {
        return nullptr;
    }
    const Point& position = mesh_.points()[i];
    pointInfo_.whole = HostPointInfo{
        point,   nullptr, kPrimaryLayer, 0,      {position[0], position[1], position[2]},
        nullptr, 0,       nullptr,       nullptr};
    return &pointInfo_.prefix;
}

int HostRun::polyNormal(LWPolID handle, double normal[3]) {
    log_.polyNormal(handle);
    if (normal == nullptr) {
        return 0;
    }
    Point result{0.0, 0.0, 0.0};
    bool found = false;
    if (const std::optional<std::size_t> j = livePolygon(handle)) {
        if (const Point* given = mesh_.normal(*j)) {
            result = *given;
            found = true;
        } else {
            found = newellNormal(mesh_.pointsOf(*j), mesh_.points(), result);
        }
    }
    normal[0] = result[0];
    normal[1] = result[1];
    normal[2] = result[2];
    return found ? 1 : 0;
}

LWPolID HostRun::addFace(const char* surface, int count, const LWPntID* points) {
    LWPolID result = nullptr;
    const bool readable = count >= 0 && (count == 0 || points != nullptr);
    const bool room =
        mesh_.polygonCount() < static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max());
    if (answers_.addFace && editOpen_ && surface != nullptr && readable && room) {
        std::vector<std::int32_t>& ids = addedPoints_;
        ids.clear();
        for (int k = 0; k < count; ++k) {
            const std::size_t i = indexOf(points[k], mesh_.points().size());
            if (i == mesh_.points().size()) {
                ids.clear();
                break;
            }
            ids.push_back(static_cast<std::int32_t>(i));
        }
        if (ids.size() == static_cast<std::size_t>(count)) {
            mesh_.addPolygon(surface, ids);
            result = polygonHandle(mesh_.polygonCount() - 1);
        }
    }
    log_.addFace(surface, count, points, result);
    return result;
}

EDError HostRun::remPoly(LWPolID handle) {
    log_.remPoly(handle);
    const std::optional<std::size_t> live = livePolygon(handle);
    if (!editOpen_ || !live) {
        return kBadArguments;
    }
    const std::size_t j = *live;
    removedInEdit_.push_back(j);
    mesh_.setRemoved(j, true);
    ++removedCount_;
    if (j < polygonsAtBegin_ && (mesh_.flags(j) & kPolygonSelected) != 0) {
        --selectedCount_;
    }
    return kNoError;
}

EDError HostRun::polTag(LWPolID handle, LWID type, const char* value) {
    log_.polTag(handle, type, value);
    const std::optional<std::size_t> live = livePolygon(handle);
    if (!editOpen_ || !live || value == nullptr) {
        return kBadArguments;
    }
    const std::size_t j = *live;
    std::vector<PolygonTag>& tags = mesh_.tags(j);
    for (PolygonTag& tag : tags) {
        if (tag.type == type) {
            if (j < polygonsAtBegin_) {
                tagUndo_.push_back(TagUndo{j, type, tag.value});
            }
            tag.value = value;
            return kNoError;
        }
    }
    // Polygons added by the edit go as a whole when it is undone; their tags need no undo.
    if (j < polygonsAtBegin_) {
        tagUndo_.push_back(TagUndo{j, type, std::nullopt});
    }
    tags.push_back(PolygonTag{type, value});
    return kNoError;
}

/// Makes a run the active one for its lifetime.
class ActiveRun {
public:
    explicit ActiveRun(HostRun& run) {
        if (activeRun != nullptr) {
            throw std::logic_error("the stand-in host runs one plug-in at a time");
        }
        activeRun = &run;
    }
    ~ActiveRun() { activeRun = nullptr; }
    ActiveRun(const ActiveRun&) = delete;
    ActiveRun& operator=(const ActiveRun&) = delete;
};

}  // namespace

Trace runTool(const PluginModule& module, Scene scene, CallLogging logging, MeshAfter meshAfter) {
    const HostCodeScope hostCode;
    HostRun run(std::move(scene), logging, module.name());
    int result = 0;
    {
        ActiveRun active(run);
        const PluginCodeScope pluginCode;
        result =
            module.server().activate(kMeshDataEditVersion, &globalEntry,
                                     reinterpret_cast<void*>(&beginEntry), module.serverData());
    }
    return run.finish(result, meshAfter);
}

Trace runTool(const ModuleDescriptor& descriptor, const std::string& name, Scene scene,
              CallLogging logging, MeshAfter meshAfter) {
    const HostCodeScope hostCode;
    const PluginModule module(descriptor, name);
    return runTool(module, std::move(scene), logging, meshAfter);
}

}  // namespace tarvel::standin
