// slbServer: derives the media server address from the host's pre-login
// description and server configuration. Keeps no state: every call asks the
// host again, so concurrent calls need no lock.
#pragma once

#include <cstdint>
#include <string>

namespace imsdkmrtc {

class pluginEnv;

class slbServer {
 public:
  void setPlugin(pluginEnv* plugin) { plugin_ = plugin; }

  std::string getMultiServer();
  // Splits getMultiServer() at its first ':'.
  bool getHostAndPort(std::string& host, uint16_t& port);
  bool parseApHostNetId(const std::string& desc, std::string& ap, std::string& netId);
  // The string member key of a JSON object text; empty when there is none.
  static std::string jsonStringMember(const std::string& text, const std::string& key);

 private:
  pluginEnv* plugin_ = nullptr;
};

}  // namespace imsdkmrtc
