#include "standin/module_loader.h"

#include <string>

#include "mesh/input_error.h"

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace tarvel::standin {

namespace {

#ifdef _WIN32

void* openLibrary(const std::string& name, std::string& why) {
    HMODULE library = LoadLibraryA(name.c_str());
    if (library == nullptr) {
        const DWORD error = GetLastError();
        why = "cannot load (error " + std::to_string(error) + ")";
        // A DLL loads only into a process of its own width: a 32-bit host needs the 32-bit
        // module file, a 64-bit host the 64-bit one.
        if (error == ERROR_BAD_EXE_FORMAT) {
            why += sizeof(void*) == 8 ? ": not a 64-bit Windows DLL, as this 64-bit host needs"
                                      : ": not a 32-bit Windows DLL, as this 32-bit host needs";
        }
    }
    return reinterpret_cast<void*>(library);
}

void* findSymbol(void* library, const char* symbol) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), symbol));
}

void closeLibrary(void* library) {
    FreeLibrary(static_cast<HMODULE>(library));
}

#else

void* openLibrary(const std::string& name, std::string& why) {
    // A name without a slash would be searched for on the library path; the file meant is
    // the one named.
    const std::string path = name.find('/') == std::string::npos ? "./" + name : name;
    void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = dlerror();
        why = std::string("cannot load: ") + (error != nullptr ? error : "unknown error");
    }
    return library;
}

void* findSymbol(void* library, const char* symbol) {
    return dlsym(library, symbol);
}

void closeLibrary(void* library) {
    dlclose(library);
}

#endif

}  // namespace

LoadedModule::LoadedModule(const std::filesystem::path& path) {
    const std::string name = path.string();
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        throw InputError(
            name + ": not a plug-in module: " +
            (std::filesystem::exists(path, error) ? "not a regular file" : "no such file"));
    }
    std::string why;
    library_ = openLibrary(name, why);
    if (library_ == nullptr) {
        throw InputError(name + ": not a plug-in module: " + why);
    }
    try {
        const auto* descriptor =
            static_cast<const ModuleDescriptor*>(findSymbol(library_, kModuleDescriptorSymbol));
        if (descriptor == nullptr) {
            throw InputError(name + ": not a plug-in module: it exports no " +
                             kModuleDescriptorSymbol);
        }
        module_ = std::make_unique<PluginModule>(*descriptor, name);
    } catch (...) {
        closeLibrary(library_);
        throw;
    }
}

LoadedModule::~LoadedModule() {
    module_.reset();
    closeLibrary(library_);
}

void* LoadedModule::symbol(const char* name) const {
    return findSymbol(library_, name);
}

}  // namespace tarvel::standin
