// pluginNotify: turns received signalling messages into commands, acts on
// each, raises UI events and handles due time-outs.
#pragma once

#include <cstdint>
#include <string>

#include "host_records.h"
#include "signalling/mrtc_cmd.h"

namespace imsdkmrtc {

class mrtc_plugin;
struct timeoutRecord;

class pluginNotify {
 public:
  explicit pluginNotify(mrtc_plugin* plugin) : plugin_(plugin) {}
  virtual ~pluginNotify() = default;

  // Live message (slot 4, type 144).
  bool onNotify(uint16_t type, imsdk::hostMessage& msg);
  // Post-server events other than login (slot 12); acts on event 38.
  void onOffLineNotify(uint16_t event, void* data);
  void clearOfflineCache();
  // Due time-out from the timer thread.
  void onTimeoutDispatch(const timeoutRecord& record);

  // Entries used by the request handlers and msgProxy.
  int32_t onPushNotify(int64_t senderId, const std::string& text);
  void fireCacheOffline();
  // A weak hint received or about to be sent; true: hide it.
  bool onWeakHintNotify(const std::string& body, const std::string& extension);
  // UI events (command 24007): filled from a command, or carrying a text.
  bool pushCmdEvent(uint8_t type, const mrtcCmd& cmd);
  bool pushTextEvent(uint8_t type, const std::string& text);

 private:
  mrtc_plugin* plugin_;
};

}  // namespace imsdkmrtc
