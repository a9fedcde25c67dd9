// Gives a live plug-in arbitrary host texts for the media server choice: the
// pre-login description (host service 49) and the configuration items
// (service 54) under the per-network keys, the plain key and the keys of
// another network. They are read when the host registers the address (slot 6,
// type 2) and when a call answers with the server address (24001 after the
// owner-address setting). The input is split into the texts with
// FuzzedDataProvider; the per-network key is built from a network id that the
// description mostly names, so both roads get reached.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"

namespace {

constexpr const char* kNetworkKeys[] = {"mediaServerUrl_", "mediaServerAddr_", "turnServerUrl_",
                                        "turnServerAddr_"};

struct World {
  World() {
    commlib::useVirtualTime(1700000000000);
    net.addUser(1001, "Ann");
    net.addGroup(300, {1001, 2001});
    me.attach(&plugin);
    me.extra(13, R"({"forceOwnerAddr":"on"})");
  }
  simhost::Network net;
  imsdkmrtc::mrtc_plugin plugin;
  simhost::Client& me = net.addClient("me", 1001, 1);
};

World& world() {
  static World* instance = new World;
  return *instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  World& w = world();
  FuzzedDataProvider in(data, size);
  const std::string netId = in.ConsumeRandomLengthString(32);
  const bool descNamesNet = in.ConsumeBool();
  const std::string desc = descNamesNet ? R"({"apHost":")" + in.ConsumeRandomLengthString(128) +
                                              R"(","netId":)" + netId + "}"
                                        : in.ConsumeRandomLengthString(512);
  const size_t key = in.ConsumeIntegralInRange<size_t>(0, std::size(kNetworkKeys));
  const std::string networkValue = in.ConsumeRandomLengthString(512);
  const std::string plainValue = in.ConsumeRandomLengthString(512);
  w.me.updateConfig([&](simhost::ClientConfig& config) {
    config.preLoginDesc = desc;
    config.configItems.clear();
    if (key < std::size(kNetworkKeys)) {
      config.configItems[{kNetworkKeys[key] + netId, "value"}] = networkValue;
    }
    config.configItems[{"mediaServerAddr", "extend"}] = plainValue;
  });
  w.me.registerAddress();
  imsdk::req_mrtc_request call;
  call.groupId = 300;
  call.roomId = "r1";
  call.members = {2001};
  call.extend = R"({"rtcType":"rtc"})";
  w.me.request(imsdk::kCmdCall, call);
  w.net.pump();
  w.plugin.store().resetTalk();
  w.me.clearRecords();
  w.net.clearTraffic();
  return 0;
}
