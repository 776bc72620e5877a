// Loading a plug-in module file with the platform's loader.
#pragma once

#include <filesystem>
#include <memory>

#include "standin/plugin_module.h"

namespace tarvel::standin {

/// The symbol through which a module file describes itself.
inline constexpr const char* kModuleDescriptorSymbol = "_mod_descrip";

/// A module file, loaded and started. The destructor shuts the module down, then unloads the
/// file.
class LoadedModule {
public:
    /// Loads the file at `path`, finds its descriptor and starts it (see PluginModule). Throws
    /// InputError naming the file when it cannot be loaded, exports no descriptor, or the
    /// descriptor is refused.
    explicit LoadedModule(const std::filesystem::path& path);
    ~LoadedModule();

    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    const PluginModule& module() const { return *module_; }

    /// Another symbol the file exports, or null.
    void* symbol(const char* name) const;

private:
    /// The platform's handle of the loaded file (a dlopen handle or an HMODULE).
    void* library_ = nullptr;
    /// Destroyed before the file is unloaded: its shut-down runs the module's code.
    std::unique_ptr<PluginModule> module_;
};

}  // namespace tarvel::standin
