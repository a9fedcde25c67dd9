// Names for the numbers the outputs show: requests, UI events, time-outs and
// device types. The numbers themselves come from the plug-in's headers.
#pragma once

#include <cstdint>
#include <string>

namespace codec {

std::string requestName(int64_t cmdId);
// The request a name stands for ("call": 24001); 0 for none.
uint16_t requestOfName(const std::string& name);
std::string eventName(int64_t type);
std::string timeoutName(int64_t type);
std::string deviceName(int64_t type);

}  // namespace codec
