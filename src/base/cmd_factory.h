// The command factory behind IPlugin slots 14 to 16: creates, clones and
// releases the host command records of each command id. Stateless.
#pragma once

#include <cstdint>

#include "sdk_cmd.h"

namespace imsdkmrtc {

// Which of a command's two records to create: what the application sends
// in, or what goes back out to it.
enum class cmdRecord { kRequest, kResponse };

class cmdFactory {
 public:
  imsdk::_sdkcmd_base* create(uint16_t cmdId, cmdRecord record) const;
  imsdk::_sdkcmd_base* clone(uint16_t cmdId, const imsdk::_sdkcmd_base* source) const;
  void release(imsdk::_sdkcmd_base* record) const;
};

}  // namespace imsdkmrtc
