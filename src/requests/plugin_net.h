// pluginNet: carries out the application's requests (24001 to 24010) under
// the plug-in lock and answers each with a result code.
#pragma once

#include <cstdint>

namespace imsdkmrtc {

class mrtc_plugin;

class pluginNet {
 public:
  explicit pluginNet(mrtc_plugin* plugin) : plugin_(plugin) {}
  virtual ~pluginNet() = default;

  // request points at the request record pointer (a command envelope).
  bool onNetRequest(uint16_t code, uintptr_t request, uintptr_t unused);

 private:
  mrtc_plugin* plugin_;
};

}  // namespace imsdkmrtc
