// Which code the calling thread is running: the stand-in host's own, or a plug-in's. Tests
// that count or fail a plug-in's allocations use it to leave the host's own work alone.
#pragma once

namespace tarvel::standin {

/// True while the calling thread runs stand-in host code on a plug-in's behalf (inside a host
/// entry point or runTool), and false inside the plug-in, including the plug-in's callbacks
/// that the host calls.
bool inHostCode();

/// Marks the calling thread as running host code for the scope's lifetime.
class HostCodeScope {
public:
    HostCodeScope();
    ~HostCodeScope();
    HostCodeScope(const HostCodeScope&) = delete;
    HostCodeScope& operator=(const HostCodeScope&) = delete;

private:
    bool previous_;
};

/// Marks the calling thread as running plug-in code for the scope's lifetime: the host opens
/// one around each call into the plug-in.
class PluginCodeScope {
public:
    PluginCodeScope();
    ~PluginCodeScope();
    PluginCodeScope(const PluginCodeScope&) = delete;
    PluginCodeScope& operator=(const PluginCodeScope&) = delete;

private:
    bool previous_;
};

}  // namespace tarvel::standin
