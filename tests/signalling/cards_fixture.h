// A plug-in on the simulated host as user 11 ("Ann"), at 09:05:00 UTC on
// 6 December 2026 in virtual time, for the card, hint and shared-text tests.
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
constexpr int64_t kTen = 1796551200;         // 2026-12-06 10:00:00 UTC

class CardsFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("TZ", "UTC", 1);
    tzset();
    commlib::useVirtualTime(kNineOhFive * 1000);
    net.addUser(11, "Ann");
    net.addUser(12, "A");
    net.addGroup(500, {11, 12, 13});
    plugin = std::make_unique<mrtc_plugin>();
    client = &net.addClient("a", 11, 1);
    client->attach(plugin.get());
  }
  void TearDown() override { commlib::useRealTime(); }

  msgProxy& proxy() { return plugin->proxy(); }

  // Texts of the log lines a function wrote.
  std::vector<std::string> logsOf(const std::string& func) const {
    std::vector<std::string> out;
    for (const auto& line : client->logs()) {
      if (line.func == func) out.push_back(line.text);
    }
    return out;
  }

  simhost::Network net;
  std::unique_ptr<mrtc_plugin> plugin;
  simhost::Client* client = nullptr;
};

}  // namespace imsdkmrtc
