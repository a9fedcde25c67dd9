// The names under which the shared library exports its two entry points
// (declared in IPlugin.h), as a loader looks them up with dlsym. The link's
// version script is written from this file (cmake/version_script.cmake), so
// what is exported and what is looked up cannot drift apart; keep one name a
// line in this form.
#pragma once

namespace imsdkmrtc::entry {

constexpr const char* kCreateSymbol = "mrtcplugin_createPlugin";
constexpr const char* kReleaseSymbol = "mrtcplugin_releasePlugin";

}  // namespace imsdkmrtc::entry
