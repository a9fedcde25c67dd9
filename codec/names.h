// Names for the numbers the outputs show: requests, UI events, time-outs and
// device types.
#pragma once

#include <cstdint>
#include <string>

namespace codec {

std::string requestName(int64_t cmdId);
std::string eventName(int64_t type);
std::string timeoutName(int64_t type);
std::string deviceName(int64_t type);

}  // namespace codec
