// Feeds arbitrary message bodies of arbitrary body types to Ann's live plug-in
// (the shared two-client world), as a stranger, as Ann's own phone, as Bob or
// as the service account, live or in a pulled batch. Byte 0 is the body type;
// byte 1 picks the sender (bits 0-1), the road (bit 2: pulled), the target
// (bit 3: Ann rather than the group), a talk to meet the body (bit 6: Bob has
// called the group, so Ann rings) and a clock jump that lets due time-outs
// fire (bit 7). The rest is the body; its first half is also used as the
// message properties. Every input starts from the same world: no talk is
// left from the one before.
#include <cstddef>
#include <cstdint>
#include <string>

#include "clock_control.h"
#include "two_clients.h"

namespace {

constexpr int64_t kAnn = 1001;
constexpr int64_t kSenders[] = {4004, kAnn, 2001, 10001};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzworld::TwoClients& w = fuzzworld::twoClients();
  if (size < 2) return 0;
  const uint8_t bodyType = data[0];
  const uint8_t control = data[1];
  const std::string body(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string properties = body.substr(0, body.size() / 2);
  const int64_t sender = kSenders[control & 3];
  const int32_t device = sender == kAnn ? 2 : 1;
  const int64_t target = (control & 8) != 0 ? kAnn : fuzzworld::kGroup;

  if ((control & 0x40) != 0) {
    imsdk::req_mrtc_request call;
    call.groupId = fuzzworld::kGroup;
    call.roomId = "r1";
    call.roomName = "Team";
    call.members = {kAnn, 2002};
    call.extend = R"({"rtcType":"rtc","conferMode":"chat"})";
    w.bob.request(imsdk::kCmdCall, call);
    w.net.pump();
  }
  if ((control & 4) != 0) {
    imsdk::hostMessage msg;
    msg.sendUserId = sender;
    msg.targetId = target;
    msg.msgTime = w.net.nowMs();
    msg.body = body;
    msg.bodyType = bodyType;
    msg.extension = properties;
    w.ann.pull({msg, msg});
  } else {
    w.net.inject(sender, device, target, body, bodyType, properties);
    w.net.pump();
  }
  if ((control & 0x80) != 0) commlib::advance(70000, [&w] { w.net.pump(); });
  w.reset();
  return 0;
}
