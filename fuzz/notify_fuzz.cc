// Feeds arbitrary message bodies of arbitrary body types to a live plug-in on
// the simulated network, as a stranger, as the same user's phone, or in a
// pulled batch. Byte 0 is the body type; byte 1 picks the sender (bits 0-1),
// the road (bit 2: pulled), a talk reset (bit 6) and a clock jump that lets
// due time-outs fire (bit 7). The rest is the body; its first half is also
// used as the message properties.
#include <cstddef>
#include <cstdint>
#include <string>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"

namespace {

constexpr int64_t kMe = 1001;
constexpr int64_t kGroup = 300;
constexpr int64_t kSenders[] = {4004, kMe, 2001, 10001};

struct World {
  World() {
    commlib::useVirtualTime(1700000000000);
    net.addGroup(kGroup, {kMe, 2001, 2002, 4004});
    me.attach(&plugin);
    plugin.settings().p2pSwitch.store(1);
    plugin.settings().unbindSwitch.store(1);
  }
  simhost::Network net;
  imsdkmrtc::mrtc_plugin plugin;
  simhost::Client& me = net.addClient("me", kMe, 1);
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static World* world = new World;
  if (size < 2) return 0;
  const uint8_t bodyType = data[0];
  const uint8_t control = data[1];
  const std::string body(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string properties = body.substr(0, body.size() / 2);
  const int64_t sender = kSenders[control & 3];
  const int32_t device = sender == kMe ? 2 : 1;
  const int64_t target = (control & 8) != 0 ? kMe : kGroup;

  if ((control & 4) != 0) {
    imsdk::hostMessage msg;
    msg.sendUserId = sender;
    msg.targetId = target;
    msg.msgTime = world->net.nowMs();
    msg.body = body;
    msg.bodyType = bodyType;
    msg.extension = properties;
    world->me.pull({msg, msg});
  } else {
    world->net.inject(sender, device, target, body, bodyType, properties);
    world->net.pump();
  }
  if ((control & 0x80) != 0) commlib::advance(70000, [] { world->net.pump(); });
  if ((control & 0x40) != 0) world->plugin.store().resetTalk();
  world->me.clearRecords();
  world->net.clearTraffic();
  return 0;
}
