// The world the request, settings, notification and media-server fuzzers
// play in: two live plug-ins, Ann (1001) and Bob (2001), on one simulated
// network with group 300 (1001, 2001, 2002). Both hosts hold a token for room
// "r1", so calls and room entries of it are answered without a server.
//
// It is made once per process. reset() brings it back to the same state
// after every input, through the plug-ins' own roads: the talk reset, the
// settings back to their defaults (with the switches on), every time-out
// taken out with the timer's removal command, the network pumped until it is
// empty, the clock moved on until the timer threads have ended and then set
// back to its start, and the hosts' records and the traffic cleared. Each
// input thus starts at the same instant, without a talk, a time-out, a
// running thread or a record.
//
// What stays: the state that settings other than the switches write (card
// template and rows, living card, watched group and board, forced owner
// address, protocol version, detail address, limit range), the media server
// the media-server reader keeps, the message-id counters and the address a
// host registered. The plug-in has no road that puts those back, and a new
// plug-in per input would cost more than the input. The counters only make
// ids unique (ids are compared, never read as numbers). The media-server
// fuzzer writes its texts in full before every read. The request and
// settings fuzzers may leave a changed template or board switch behind; a
// finding they report is then replayed from its input alone, in a fresh
// process, which is where it must reproduce.
#pragma once

#include <cstdint>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"
#include "timer/plugin_other.h"
#include "timer/timeout_record.h"
#include "timer/timer_texts.h"

namespace fuzzworld {

constexpr int64_t kGroup = 300;
constexpr int64_t kStartMs = 1700000000000;
// Bounds on draining: a world that does not settle within these is a hang
// the fuzzer should see, not one to wait for.
constexpr int kMaxRemovals = 64;
constexpr int kMaxDrainTicks = 8;

struct TwoClients {
  TwoClients() {
    commlib::useVirtualTime(kStartMs);
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
    net.pump();
    for (simhost::Client* client : {&ann, &bob}) {
      imsdkmrtc::mrtc_plugin& p = plugin(*client);
      p.store().resetTalk();
      defaultSettings(p.settings());
      dropTimeouts(p);
    }
    drain();
    for (simhost::Client* client : {&ann, &bob}) client->clearRecords();
    net.clearTraffic();
  }
  simhost::Network net;
  simhost::Client& ann = net.addClient("ann", 1001, 1);
  simhost::Client& bob = net.addClient("bob", 2001, 1);

 private:
  static void defaultSettings(imsdkmrtc::pluginSettings& s) {
    const imsdkmrtc::pluginSettings d;
    s.loseDuration.store(d.loseDuration.load());
    s.activeFlag.store(d.activeFlag.load());
    s.activeTime.store(d.activeTime.load());
    s.redirectOn.store(d.redirectOn.load());
    s.recallEnable.store(d.recallEnable.load());
    s.recallDuration.store(d.recallDuration.load());
    s.recallCount.store(d.recallCount.load());
    s.recallBellDuration.store(d.recallBellDuration.load());
    s.addrSwitch.store(d.addrSwitch.load());
    s.maxBodyBytes.store(d.maxBodyBytes.load());
    s.maxIds.store(d.maxIds.load());
    // The switches the fuzzers want on, so that every kind of call is read.
    s.pcOnOff.store(1);
    s.p2pSwitch.store(1);
    s.unbindSwitch.store(1);
  }
  // The timer's own removal: a command without a member type takes out the
  // records of its category, a few at a time.
  static void dropTimeouts(imsdkmrtc::mrtc_plugin& p) {
    for (int i = 0; i < kMaxRemovals; ++i) {
      const std::vector<imsdkmrtc::timeoutRecord> left = p.other()->snapshot();
      if (left.empty()) return;
      imsdk::timerCmd drop;
      drop.op = imsdkmrtc::kTimerRemove;
      drop.category = left.front().category;
      drop.type = 0;
      p.postTimer(drop);
    }
  }
  // With the queues empty, a timer thread ends at its next tick.
  void drain() {
    for (int i = 0; i < kMaxDrainTicks && commlib::liveThreads() > 0; ++i) {
      commlib::advance(imsdkmrtc::kTimerTickMs, [this] { net.pump(); });
    }
    net.pump();
    if (commlib::liveThreads() == 0) commlib::useVirtualTime(kStartMs);
  }
};

inline TwoClients& twoClients() {
  static auto* instance = new TwoClients;
  return *instance;
}

}  // namespace fuzzworld
