// The world the request and settings fuzzers play in: two live plug-ins, Ann
// (1001) and Bob (2001), on one simulated network with group 300 (1001, 2001,
// 2002). Both hosts hold a token for room "r1", so calls and room entries of
// it are answered without a server. It is made once per process; reset() puts
// back what one input may have changed, so the next input starts without a
// talk, with the switches on and with empty records.
#pragma once

#include <cstdint>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"

namespace fuzzworld {

constexpr int64_t kGroup = 300;

struct TwoClients {
  TwoClients() {
    commlib::useVirtualTime(1700000000000);
    net.addUser(1001, "Ann");
    net.addUser(2001, "Bob");
    net.addGroup(kGroup, {1001, 2001, 2002});
    for (simhost::Client* client : {&ann, &bob}) {
      client->config().cacheValues["r1"] = R"({"code":0,"result":"ok","token":"t-r1"})";
      client->attach(new imsdkmrtc::mrtc_plugin);
    }
    reset();
  }
  static imsdkmrtc::mrtc_plugin& plugin(simhost::Client& client) {
    return *static_cast<imsdkmrtc::mrtc_plugin*>(client.plugin());
  }
  void reset() {
    for (simhost::Client* client : {&ann, &bob}) {
      imsdkmrtc::pluginSettings& settings = plugin(*client).settings();
      settings.pcOnOff.store(1);
      settings.p2pSwitch.store(1);
      settings.unbindSwitch.store(1);
      plugin(*client).store().resetTalk();
      client->clearRecords();
    }
    net.clearTraffic();
  }
  simhost::Network net;
  simhost::Client& ann = net.addClient("ann", 1001, 1);
  simhost::Client& bob = net.addClient("bob", 2001, 1);
};

inline TwoClients& twoClients() {
  static auto* instance = new TwoClients;
  return *instance;
}

}  // namespace fuzzworld
