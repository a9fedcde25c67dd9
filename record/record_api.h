// How a host reaches libmrtcrecord.so: its file name, its own export and the
// environment it reads (docs/trace-format.md, docs/integration.md).
#pragma once

namespace mrtcrecord {

// Beside the plug-in in the build tree; installed, in the plug-in's private
// folder below the plug-in's own (lib/mrtcplugin/), where only a host that
// records looks for it.
constexpr const char* kLibraryFile = "libmrtcrecord.so";
constexpr const char* kInstalledDir = "mrtcplugin";

// int mrtcrecord_configure(const char* tracePath, const char* pluginPath, int keepLogs):
// overrides the environment; call it before the first plug-in is created.
constexpr const char* kConfigureSymbol = "mrtcrecord_configure";
using ConfigureFn = int (*)(const char* tracePath, const char* pluginPath, int keepLogs);

constexpr const char* kEnvTrace = "MRTC_RECORD_TRACE";    // trace file (appended to)
constexpr const char* kEnvPlugin = "MRTC_RECORD_PLUGIN";  // the real plug-in library
constexpr const char* kEnvLogs = "MRTC_RECORD_LOGS";      // "1": keep the log lines too

}  // namespace mrtcrecord
