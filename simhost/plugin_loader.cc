#include "plugin_loader.h"

#include <dlfcn.h>

#include "base/entry_points.h"

namespace simhost {

namespace {
using imsdkmrtc::entry::kCreateSymbol;
using imsdkmrtc::entry::kReleaseSymbol;

std::string lastError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown error";
}
}  // namespace

PluginLibrary::PluginLibrary(const std::string& path) {
  // Never unmapped: see the header.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    error_ = lastError();
    return;
  }
  void* create = dlsym(handle, kCreateSymbol);
  void* release = dlsym(handle, kReleaseSymbol);
  if (create == nullptr || release == nullptr) {
    error_ = std::string("missing export ") + (create == nullptr ? kCreateSymbol : kReleaseSymbol);
    return;
  }
  create_ = reinterpret_cast<CreateFn>(create);
  release_ = reinterpret_cast<ReleaseFn>(release);
}

imsdk::IPlugin* PluginLibrary::create() const { return loaded() ? create_() : nullptr; }

void PluginLibrary::release(imsdk::IPlugin* plugin) const {
  if (plugin != nullptr && loaded()) release_(plugin);
}

}  // namespace simhost
