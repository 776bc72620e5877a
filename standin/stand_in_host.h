// The stand-in host: an in-memory modeller that runs a plug-in's "MeshDataEdit" server on a
// scene and records every call the plug-in makes.
//
// The host's global function, its edit-begin function and the message functions take no
// pointer of the host's own, so they reach the run in progress through one process-wide
// pointer: one run at a time per process, started from any one thread.
#pragma once

#include <optional>

#include "sdk/lwsdk.h"
#include "standin/call_log.h"
#include "standin/plugin_module.h"
#include "standin/scene.h"

namespace tarvel::standin {

/// What one run gives.
struct Trace {
    /// What the activation function returned.
    int result = 0;
    CallLog calls;
    /// The mesh after the edit, present when the plug-in called done (and the caller asked for
    /// it): with the edit's changes when done was given error 0, as it was before the edit
    /// otherwise.
    std::optional<Mesh> mesh;
};

/// The class version the host passes to a "MeshDataEdit" activation function: that of
/// LightWave 2019 and later, whose edit record the stand-in lays out.
inline constexpr int kMeshDataEditVersion = 9;

/// Whether a run's trace gets the mesh after the edit. Handing it back is a pass over the
/// whole mesh (the host holds it in a form of its own during the run); a caller that reads
/// only the calls, as the benchmark does, may do without.
enum class MeshAfter { given, notGiven };

/// Runs the module's "MeshDataEdit" server once on `scene` and returns the trace. Every host
/// operation takes constant time (plus the length of the polygon it reads or writes), so a
/// run costs what the plug-in asks for. Throws std::logic_error when another run is in
/// progress, and std::bad_alloc when the host runs out of memory during the run.
Trace runTool(const PluginModule& module, Scene scene, CallLogging logging = CallLogging::full,
              MeshAfter meshAfter = MeshAfter::given);

/// Starts the module described by `descriptor` (see PluginModule), runs it as above and shuts
/// it down. `name` names the module in messages. For modules linked into the program.
Trace runTool(const ModuleDescriptor& descriptor, const std::string& name, Scene scene,
              CallLogging logging = CallLogging::full, MeshAfter meshAfter = MeshAfter::given);

}  // namespace tarvel::standin
