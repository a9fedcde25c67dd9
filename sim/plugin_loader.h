// Loads the plug-in library with dlopen and creates plug-in objects from it.
//
// The library is loaded once and never unloaded: a released plug-in's timer
// thread may still be asleep in the library's code. Every object created here
// shares the process's one commLib, so all of them see the same clock.
// Not thread-safe: open and create from one thread.
#pragma once

#include <memory>
#include <string>

#include "IPlugin.h"

namespace mrtcsim {

class PluginLibrary {
 public:
  // Loads the library at path; null with *error set when it cannot be loaded
  // or lacks the two exported entry points.
  static std::unique_ptr<PluginLibrary> open(const std::string& path, std::string* error);

  imsdk::IPlugin* create() const { return create_(); }
  void release(imsdk::IPlugin* plugin) const { release_(plugin); }
  const std::string& path() const { return path_; }

 private:
  using CreateFn = imsdk::IPlugin* (*)();
  using ReleaseFn = void (*)(imsdk::IPlugin*);
  PluginLibrary(std::string path, CreateFn create, ReleaseFn release)
      : path_(std::move(path)), create_(create), release_(release) {}

  std::string path_;
  CreateFn create_;
  ReleaseFn release_;
};

// The library to load when none is named: next to the running program, one
// directory up from it, then the path the build recorded.
std::string defaultPluginPath();

}  // namespace mrtcsim
