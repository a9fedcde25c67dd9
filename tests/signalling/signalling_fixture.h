// Helpers shared by the signalling tests: a plug-in on the simulated host as
// user 11 ("Ann") at 09:05:00 UTC on 6 December 2026 in virtual time, and a
// the logs of one function.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "support/support.h"

namespace imsdkmrtc {

constexpr int64_t kNineOhFive = 1796547900;  // 2026-12-06 09:05:00 UTC

using testsupport::idText;
using testsupport::route;

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
