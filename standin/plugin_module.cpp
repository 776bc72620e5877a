#include "standin/plugin_module.h"

#include <cstdio>
#include <cstring>

#include "mesh/input_error.h"
#include "standin/host_code_scope.h"

namespace tarvel::standin {

namespace {

// A server list must end with a null class name; one that runs on this long has lost its end,
// and reading on would leave the module's data.
constexpr int kMaxServers = 1024;

std::string hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

PluginModule::PluginModule(const ModuleDescriptor& descriptor, std::string name)
    : descriptor_(descriptor), name_(std::move(name)) {
    const auto refuse = [this](const std::string& why) {
        throw InputError(name_ + ": not a plug-in module: " + why);
    };
    if (descriptor.sysSync != kModuleSync) {
        refuse("synchronisation word " + hex(descriptor.sysSync) + ", expected " +
               hex(kModuleSync));
    }
    if (descriptor.sysVersion != kModuleVersion) {
        refuse("interface version " + std::to_string(descriptor.sysVersion) + ", expected " +
               std::to_string(kModuleVersion));
    }
    if (descriptor.serverDefs != nullptr) {
        for (int i = 0; i < kMaxServers; ++i) {
            const ServerRecord& record = descriptor.serverDefs[i];
            if (record.className == nullptr) {
                break;
            }
            if (std::strcmp(record.className, kMeshDataEditClass) == 0) {
                server_ = &record;
                break;
            }
            if (i + 1 == kMaxServers) {
                refuse("server list has no end within " + std::to_string(kMaxServers) + " entries");
            }
        }
    }
    if (server_ == nullptr) {
        refuse(std::string("no server of the class \"") + kMeshDataEditClass + "\"");
    }
    if (server_->activate == nullptr) {
        refuse(std::string("the \"") + kMeshDataEditClass + "\" server has no activation function");
    }
    if (descriptor.startup == nullptr) {
        refuse("no start-up function");
    }
    {
        const PluginCodeScope pluginCode;
        serverData_ = descriptor.startup();
    }
    // The host's convention: a start-up that returns null has failed.
    if (serverData_ == nullptr) {
        throw InputError(name_ + ": the module's start-up failed");
    }
}

PluginModule::~PluginModule() {
    if (descriptor_.shutdown != nullptr) {
        const PluginCodeScope pluginCode;
        descriptor_.shutdown(serverData_);
    }
}

}  // namespace tarvel::standin
