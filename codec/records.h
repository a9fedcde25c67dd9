// What a host keeps of the records its plug-in posts to the application
// (service 11): a result answering a request, or a UI event. Copied out of
// the plug-in's record before the host releases it.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <vector>

#include "sdk_cmd.h"

namespace codec {

struct Result {
  uint16_t cmdId = 0;
  uint32_t word = 0;
  int64_t id = 0;
  int32_t result = 0;
  std::string extend;
};

struct UiEvent {
  int64_t id = 0;
  int32_t result = 0;
  uint8_t eventType = 0;
  std::string annotation;
  int64_t senderId = 0;
  std::vector<int64_t> selects;
  int64_t groupId = 0;
  int64_t onwerId = 0;
  std::string roomId;
  std::string roomName;
  std::vector<int64_t> members;
  std::string extend;
};

Result toResult(uint16_t cmdId, uint32_t word, const imsdk::resp_commonResult& r);
UiEvent toEvent(const imsdk::resp_mrtcEvent& e);
// For a record the host owns and is about to release: its member lists and
// texts move instead of being copied (a group call's event lists every
// member, once per client).
UiEvent toEvent(imsdk::resp_mrtcEvent&& e);

// A host's log service formats its line like printf; an absent format is an
// empty line.
std::string formatText(const char* fmt, va_list args);

}  // namespace codec
