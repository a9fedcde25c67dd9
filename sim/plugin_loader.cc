#include "plugin_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace mrtcsim {

namespace {
constexpr const char* kLibraryName = "libmrtcplugin.so";

bool readable(const std::string& path) { return access(path.c_str(), R_OK) == 0; }

std::string programDir() {
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return ".";
  std::string exe(buf, static_cast<size_t>(n));
  size_t slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}
}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::open(const std::string& path, std::string* error) {
  // RTLD_GLOBAL is not wanted: the library keeps its own symbols; commLib is
  // found through the dependency the library already carries.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    *error = "cannot load " + path + ": " + (why != nullptr ? why : "unknown error");
    return nullptr;
  }
  auto create = reinterpret_cast<CreateFn>(dlsym(handle, "mrtcplugin_createPlugin"));
  auto release = reinterpret_cast<ReleaseFn>(dlsym(handle, "mrtcplugin_releasePlugin"));
  if (create == nullptr || release == nullptr) {
    *error = path + " does not export mrtcplugin_createPlugin and mrtcplugin_releasePlugin";
    dlclose(handle);
    return nullptr;
  }
  return std::unique_ptr<PluginLibrary>(new PluginLibrary(path, create, release));
}

std::string defaultPluginPath() {
  const std::string dir = programDir();
  for (const std::string& candidate : {dir + "/" + kLibraryName, dir + "/../" + kLibraryName}) {
    if (readable(candidate)) return candidate;
  }
#ifdef MRTC_PLUGIN_PATH
  return MRTC_PLUGIN_PATH;
#else
  return kLibraryName;
#endif
}

}  // namespace mrtcsim
