// Loads the plug-in shared library and makes and releases instances through
// its two exports. The library stays mapped for the life of the process, so a
// released plug-in's detached timer thread never runs unmapped code.
//
// Threads: create() and release() may be called from any thread.
#pragma once

#include <string>

#include "IPlugin.h"

namespace simhost {

class PluginLibrary {
 public:
  explicit PluginLibrary(const std::string& path);
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // False when the library or one of its exports could not be found;
  // error() then says why.
  bool loaded() const { return create_ != nullptr && release_ != nullptr; }
  const std::string& error() const { return error_; }

  // Null when not loaded or when the plug-in could not be made.
  imsdk::IPlugin* create() const;
  // Null is ignored.
  void release(imsdk::IPlugin* plugin) const;

 private:
  using CreateFn = imsdk::IPlugin* (*)();
  using ReleaseFn = void (*)(imsdk::IPlugin*);
  CreateFn create_ = nullptr;
  ReleaseFn release_ = nullptr;
  std::string error_;
};

}  // namespace simhost
