// Where mrtc-sim finds libmrtcplugin.so when no path is given.
#pragma once

#include <string>

namespace mrtcsim {

// Next to the running program, one directory up from it, then the path the
// build recorded.
std::string defaultPluginPath();

}  // namespace mrtcsim
