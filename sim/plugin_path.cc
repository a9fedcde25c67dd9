#include "plugin_path.h"

#include <unistd.h>

#include <climits>

namespace mrtcsim {

namespace {
constexpr const char* kLibraryName = "libmrtcplugin.so";

std::string programDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return ".";
  std::string exe(buf, static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}
}  // namespace

std::string defaultPluginPath() {
  const std::string dir = programDir();
  for (const std::string& candidate : {
           dir + "/" + kLibraryName,
           dir + "/../" + kLibraryName,
#ifdef MRTC_INSTALLED_PLUGIN
           dir + "/" + MRTC_INSTALLED_PLUGIN,
#endif
       }) {
    if (access(candidate.c_str(), R_OK) == 0) return candidate;
  }
#ifdef MRTC_PLUGIN_PATH
  return MRTC_PLUGIN_PATH;
#else
  return kLibraryName;
#endif
}

}  // namespace mrtcsim
