// pluginOther: the time-out queue and its worker thread.
#pragma once

#include <cstdint>

namespace imsdkmrtc {

class mrtc_plugin;

class pluginOther {
 public:
  explicit pluginOther(mrtc_plugin* plugin) : plugin_(plugin) {}
  virtual ~pluginOther() = default;

  // Request entry (slot 6): acts on command 24101 only.
  bool onRequest(uint16_t type, uintptr_t a, uintptr_t b);
  // Tells a running worker to stop (plug-in release).
  bool stop();

 private:
  mrtc_plugin* plugin_;
};

}  // namespace imsdkmrtc
