// Several threads drive one network at once, as the host's threads do.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"
#include "support/support.h"
#include "timer/plugin_other.h"

namespace {

TEST(SimhostThreadsTest, DeliveriesRequestsPullsAndTimeRunTogether) {
  commlib::useVirtualTime(testsupport::kStartMs);
  simhost::Network net;
  net.addGroup(100, {1, 2, 3});
  imsdkmrtc::mrtc_plugin plugins[3];
  for (int i = 0; i < 3; ++i) net.addClient(std::string(1, 'a' + i), i + 1).attach(&plugins[i]);
  simhost::Client& b = *net.client("b");
  simhost::Client& c = *net.client("c");

  constexpr int kRounds = 200;
  std::atomic<size_t> delivered{0};
  std::thread sender([&] {
    for (int i = 0; i < kRounds; ++i) {
      net.inject(1, 2, 100, "{\"type\":\"multi_blank\"}");
      delivered += net.pump();
    }
  });
  std::thread pumper([&] {
    for (int i = 0; i < kRounds; ++i) delivered += net.pump();
  });
  std::thread requester([&] {
    imsdk::req_mrtc_request fields;
    for (int i = 0; i < kRounds; ++i) {
      b.request(imsdk::kCmdHungup, fields);
      b.extra(1, "{}");
      b.keepAlive();
    }
  });
  std::thread puller([&] {
    imsdk::hostMessage m;
    m.body = "{}";
    m.bodyType = 14;
    for (int i = 0; i < kRounds; ++i) c.pull({m});
  });
  for (int i = 0; i < 50; ++i) commlib::advance(1000, [&] { delivered += net.pump(); });
  sender.join();
  pumper.join();
  requester.join();
  puller.join();
  delivered += net.pump();

  // Every injected message reached the three pc clients (the sender was a phone).
  EXPECT_EQ(delivered.load(), 3u * kRounds);
  EXPECT_EQ(net.traffic().size(), static_cast<size_t>(kRounds));
  for (auto& p : plugins) p.other()->stop();
  commlib::useRealTime();
}

}  // namespace
