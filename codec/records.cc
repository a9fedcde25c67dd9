#include "records.h"

#include <cstdio>
#include <utility>

namespace codec {

Result toResult(uint16_t cmdId, uint32_t word, const imsdk::resp_commonResult& r) {
  Result out;
  out.cmdId = cmdId;
  out.word = word;
  out.id = r.id;
  out.result = r.result;
  out.extend = r.extend;
  return out;
}

UiEvent toEvent(const imsdk::resp_mrtcEvent& e) {
  UiEvent out;
  out.id = e.id;
  out.result = e.result;
  out.eventType = e.eventType;
  out.annotation = e.annotation;
  out.senderId = e.senderId;
  out.selects = e.selects;
  out.groupId = e.groupId;
  out.onwerId = e.onwerId;
  out.roomId = e.roomId;
  out.roomName = e.roomName;
  out.members = e.members;
  out.extend = e.extend;
  return out;
}

UiEvent toEvent(imsdk::resp_mrtcEvent&& e) {
  UiEvent out;
  out.id = e.id;
  out.result = e.result;
  out.eventType = e.eventType;
  out.annotation = std::move(e.annotation);
  out.senderId = e.senderId;
  out.selects = std::move(e.selects);
  out.groupId = e.groupId;
  out.onwerId = e.onwerId;
  out.roomId = std::move(e.roomId);
  out.roomName = std::move(e.roomName);
  out.members = std::move(e.members);
  out.extend = std::move(e.extend);
  return out;
}

std::string formatText(const char* fmt, va_list args) {
  if (fmt == nullptr) return std::string();
  char small[512];
  va_list again;
  va_copy(again, args);
  int n = std::vsnprintf(small, sizeof small, fmt, args);
  std::string text;
  if (n >= static_cast<int>(sizeof small)) {
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(&text[0], text.size(), fmt, again);
    text.resize(static_cast<size_t>(n));
  } else if (n > 0) {
    text.assign(small, static_cast<size_t>(n));
  }
  va_end(again);
  return text;
}

}  // namespace codec
