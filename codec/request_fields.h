// An application request in the shared vocabulary: the fields of a
// scenario's "request" step and of a line on a node's standard input.
#pragma once

#include <cstdint>
#include <string>

#include "item.h"

namespace codec {

struct RequestFields {
  uint16_t cmd = 0;
  int64_t kind = 0;
  std::string annotation;
  int64_t groupId = 0;
  std::string roomId;
  std::string roomName;
  IdList members;
  std::string extend;
};

// Request 24006: a setting or a pushed command.
struct ExtraFields {
  int64_t type = 0;
  std::string cmd;
  std::string extend;
};

}  // namespace codec
