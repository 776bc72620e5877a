// A plug-in whose activation function runs whatever script the test sets, through the host's
// real entry points.
#pragma once

#include <functional>

#include "sdk/lwsdk.h"
#include "standin/call_log.h"
#include "standin/scene.h"
#include "standin/stand_in_host.h"

namespace tarvel::standin::testing {

using Script = std::function<int(GlobalFunc*, MeshEditBegin*)>;

/// What the plug-in's start-up returns: the address of startupToken.
extern int startupToken;
/// Calls of the plug-in's shutdown, and what the last one was given.
extern int shutdownCalls;
extern void* shutdownData;

/// Another class first, then the scripted "MeshDataEdit" server, then the end of the list.
extern const ServerRecord kScriptedServers[3];

ModuleDescriptor scriptedDescriptor();

/// Runs `script` as the plug-in's activation function on `scene`.
Trace runScript(Scene scene, Script script, CallLogging logging = CallLogging::full);

}  // namespace tarvel::standin::testing
