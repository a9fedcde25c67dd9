// pluginRequest: the first stop of an application request (IPlugin slot 3),
// which hands it straight back to the host. Takes no lock.
#pragma once

#include <cstdint>

namespace imsdkmrtc {

class pluginEnv;

class pluginRequest {
 public:
  explicit pluginRequest(pluginEnv* plugin) : plugin_(plugin) {}
  virtual ~pluginRequest() = default;

  bool transCmdToNet(uint16_t code, uintptr_t payload, void* present);

 private:
  pluginEnv* plugin_;
};

}  // namespace imsdkmrtc
