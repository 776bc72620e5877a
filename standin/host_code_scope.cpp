#include "standin/host_code_scope.h"

namespace tarvel::standin {

namespace {

// Constant-initialised, so that an allocator may ask before anything else has run.
thread_local bool hostCode = false;

}  // namespace

bool inHostCode() {
    return hostCode;
}

HostCodeScope::HostCodeScope() : previous_(hostCode) {
    hostCode = true;
}

HostCodeScope::~HostCodeScope() {
    hostCode = previous_;
}

PluginCodeScope::PluginCodeScope() : previous_(hostCode) {
    hostCode = false;
}

PluginCodeScope::~PluginCodeScope() {
    hostCode = previous_;
}

}  // namespace tarvel::standin
