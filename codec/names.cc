#include "names.h"

#include "base/device_types.h"
#include "base/ui_event_types.h"
#include "sdk_cmd.h"
#include "timer/timeout_record.h"

namespace codec {

namespace {

struct Named {
  int64_t number;
  const char* name;
};

constexpr Named kRequests[] = {
    {imsdk::kCmdCall, "call"},
    {imsdk::kCmdInvite, "invite"},
    {imsdk::kCmdIntoRoom, "intoroom"},
    {imsdk::kCmdJoin, "join"},
    {imsdk::kCmdHungup, "hungup"},
    {imsdk::kCmdExtra, "extra"},
    {imsdk::kCmdKeepAlive, "keepalive"},
    {imsdk::kCmdConnectState, "connectstate"},
    {imsdk::kCmdTempletJoin, "templetjoin"},
};

constexpr Named kEvents[] = {
    {imsdkmrtc::kEventCall, "(incoming call)"},
    {imsdkmrtc::kEventInvite, "(invited)"},
    {imsdkmrtc::kEventIntoRoom, "(entered room)"},
    {imsdkmrtc::kEventHungup, "(hung up)"},
    {imsdkmrtc::kEventFinished, "(talk finished)"},
    {imsdkmrtc::kEventNoAnswer, "(no answer)"},
    {imsdkmrtc::kEventReply, "(reply)"},
    {imsdkmrtc::kEventBoardSummary, "(board summary)"},
    {imsdkmrtc::kEventBoardEmpty, "(board empty)"},
    {imsdkmrtc::kEventTalkState, "(talk state)"},
    {imsdkmrtc::kEventConferenceFinished, "(conference finished)"},
    {imsdkmrtc::kEventHint, "(hint)"},
    {imsdkmrtc::kEventCard, "(card)"},
};

constexpr Named kTimeouts[] = {
    {imsdkmrtc::kTimeoutWait, "wait"},
    {imsdkmrtc::kTimeoutRing, "ring"},
    {imsdkmrtc::kTimeoutKeepAlive, "keep-alive"},
    {imsdkmrtc::kTimeoutCallCard, "call card"},
    {imsdkmrtc::kTimeoutInviteCard, "invite card"},
    {imsdkmrtc::kTimeoutRecall, "recall"},
};

template <size_t N>
const char* nameIn(const Named (&table)[N], int64_t number, const char* fallback) {
  for (const Named& n : table) {
    if (n.number == number) return n.name;
  }
  return fallback;
}

}  // namespace

std::string requestName(int64_t cmdId) { return nameIn(kRequests, cmdId, "unknown"); }

uint16_t requestOfName(const std::string& name) {
  for (const Named& n : kRequests) {
    if (name == n.name) return static_cast<uint16_t>(n.number);
  }
  return 0;
}

std::string eventName(int64_t type) { return nameIn(kEvents, type, "(unknown)"); }

std::string timeoutName(int64_t type) { return nameIn(kTimeouts, type, "other"); }

std::string deviceName(int64_t type) {
  for (const imsdkmrtc::deviceTypeRow& d : imsdkmrtc::kDeviceTypeNames) {
    if (d.type == type) return d.name;
  }
  return "device " + std::to_string(type);
}

}  // namespace codec
