// Where mrtc-sim finds libmrtcplugin.so when no path is given.
#pragma once

#include <string>

namespace mrtcsim {

// Next to the running program (the build tree), one directory up from it,
// in the library folder of the installation the program belongs to, then
// the path the build recorded.
std::string defaultPluginPath();

}  // namespace mrtcsim
