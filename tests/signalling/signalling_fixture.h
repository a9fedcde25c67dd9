// Helpers shared by the signalling tests: a plug-in on the simulated host as
// user 11 ("Ann") at 09:05:00 UTC on 6 December 2026 in virtual time, and a
// one-line description of where a message went.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"

namespace imsdkmrtc {

constexpr int64_t kNineOhFive = 1796547900;  // 2026-12-06 09:05:00 UTC

inline std::string idText(const std::vector<int64_t>& ids) {
  std::string out = "[";
  for (size_t i = 0; i < ids.size(); ++i) out += (i ? "," : "") + std::to_string(ids[i]);
  return out + "]";
}

// "from 11 to 500 type 26 flag 1 limit [12,13]" for a sent or inserted message.
template <typename M>
std::string route(const M& m) {
  return "from " + std::to_string(m.senderId) + " to " + std::to_string(m.targetId) + " type " +
         std::to_string(m.msgType) + " flag " + std::to_string(m.msgFlag) + " limit " +
         idText(m.limitRange);
}

class CardsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    commlib::useVirtualTime(kNineOhFive * 1000);
    net.addUser(11, "Ann");
    net.addUser(12, "A");
    net.addGroup(500, {11, 12, 13});
    client = &net.addClient("a", 11, 1);
    client->attach(&plugin);
  }
  void TearDown() override { commlib::useRealTime(); }

  msgProxy& proxy() { return plugin.proxy(); }

  std::vector<std::string> logsOf(const std::string& func) const {
    std::vector<std::string> out;
    for (const auto& line : client->logs()) {
      if (line.func == func) out.push_back(line.text);
    }
    return out;
  }

  simhost::Network net;
  mrtc_plugin plugin;
  simhost::Client* client = nullptr;
};

}  // namespace imsdkmrtc
