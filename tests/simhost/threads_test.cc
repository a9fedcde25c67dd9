// Several threads drive one network at once, as the host's threads do.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"
#include "timer/plugin_other.h"

namespace {

TEST(SimhostThreadsTest, DeliveriesRequestsPullsAndTimeRunTogether) {
  commlib::useVirtualTime(1700000000000);
  simhost::Network net;
  net.addGroup(100, {1, 2, 3});
  imsdkmrtc::mrtc_plugin p1, p2, p3;
  auto& a = net.addClient("a", 1);
  auto& b = net.addClient("b", 2);
  auto& c = net.addClient("c", 3);
  a.attach(&p1);
  b.attach(&p2);
  c.attach(&p3);

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
  for (auto* p : {&p1, &p2, &p3}) p->other()->stop();
  commlib::useRealTime();
}

}  // namespace
