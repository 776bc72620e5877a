// A started plug-in module: its descriptor checked, its start-up called, its "MeshDataEdit"
// server found. The module file, if any, is the caller's (see module_loader.h).
#pragma once

#include <string>

#include "sdk/lwsdk.h"

namespace tarvel::standin {

/// The server class the stand-in host runs.
inline constexpr const char* kMeshDataEditClass = "MeshDataEdit";

class PluginModule {
public:
    /// Checks `descriptor` and calls its start-up. `name` names the module in messages. Throws
    /// InputError for a wrong synchronisation word or interface version, a server list
    /// without a "MeshDataEdit" server (or with one that has no activation function), a
    /// missing start-up function, and a start-up that returns null. `descriptor` must outlive
    /// this object.
    PluginModule(const ModuleDescriptor& descriptor, std::string name);
    /// Calls the module's shut-down with what its start-up returned.
    ~PluginModule();

    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    /// The first server of the class "MeshDataEdit" in the module's list.
    const ServerRecord& server() const { return *server_; }
    /// What the module's start-up returned; handed to the activation function.
    void* serverData() const { return serverData_; }
    const std::string& name() const { return name_; }

private:
    const ModuleDescriptor& descriptor_;
    std::string name_;
    const ServerRecord* server_ = nullptr;
    void* serverData_ = nullptr;
};

}  // namespace tarvel::standin
