// Host records that notifications and life-cycle events carry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imsdk {

// An IM message as the host hands it to the plug-in (slot 4, event 38).
struct hostMessage {
  int64_t msgId = 0;
  int64_t sendUserId = 0;
  int64_t targetId = 0;
  int64_t msgTime = 0;  // send time, milliseconds
  std::string body;
  uint8_t bodyType = 0;
  std::string extension;  // properties: a flat JSON object
  int32_t status = 0;
  // Bookkeeping the host reads after the service-account fix-up.
  int64_t fixRef = 0;
  int32_t fixState = 0;
};

// Life-cycle events delivered on slot 12.
enum : uint16_t {
  kEventPreLogin = 0,
  kEventLogin = 1,
  kEventPulled = 38,
};

// Event 0 (and other textual events) carry a text.
struct postServerText {
  std::string text;
};

// Event 38 carries the messages pulled after an offline period, in order.
struct postServerPulled {
  std::vector<hostMessage> messages;
};

// Host service 51: user information.
struct userInfo {
  int64_t userId = 0;
  std::string name;
};

}  // namespace imsdk
