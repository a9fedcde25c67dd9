// The world the request, settings, notification and media-server fuzzers
// play in: two live plug-ins, Ann (1001) and Bob (2001), on one simulated
// network with group 300 (1001, 2001, 2002). Both hosts hold a token for room
// "r1", so calls and room entries of it are answered without a server.
//
// The network, its users and group, and both hosts with their configuration
// are made once per process. reset() brings the world back to the same state
// after every input: the network pumped until it is empty, each plug-in's
// timer told to stop and the clock moved on until its thread has ended, the
// clock set back to its start, the hosts' records, the traffic and the
// network's id counters cleared. Each input thus starts at the same instant,
// with the same ids, without a time-out, a running thread or a record.
//
// The plug-ins themselves are replaced by new ones at every reset. A plug-in
// keeps memories that no request or setting clears: the repeated-request
// guard, the fetched room tokens, the commands it already acted on, the
// rooms it hinted, refused and ended, the board and offline buffers, the card
// template and its rows, the protocol version and the message-id counter.
// With the clock set back, an input that met a memory left by the one before
// took another road (a second call to "r1" within the guard's window is
// refused), so libFuzzer saw different behaviour for the same input. Making
// and ending the plug-ins costs about 3 % of a round-trip input in Release
// (their constant tables are shared, not built per plug-in). A plug-in's
// timer worker still ends with its queue, as it always did. The workers run
// as fibers on the fuzzer's own thread (the clock's cooperative threads):
// each tick of a worker is a context switch, where a thread cost two thread
// switches, and a parked fiber runs the next worker, so nothing is made per
// input.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "timer/plugin_other.h"
#include "timer/timer_texts.h"

namespace fuzzworld {

constexpr int64_t kGroup = 300;
constexpr int64_t kStartMs = 1700000000000;
// A stopped timer thread ends at its next tick; a world that does not settle
// within these ticks is a hang the fuzzer should see, not one to wait for.
constexpr int kMaxDrainTicks = 4;

// When set, reset() appends what the plug-ins produced (results, events,
// messages sent and inserted, timer commands) before clearing it: the
// determinism check compares these between runs of one input.
inline std::string* gTranscript = nullptr;

struct TwoClients {
  TwoClients() {
    commlib::useVirtualTime(kStartMs);
    commlib::useCooperativeThreads(true);
    net.addUser(1001, "Ann");
    net.addUser(2001, "Bob");
    net.addGroup(kGroup, {1001, 2001, 2002});
    // Nothing reads the network's own copy of every message.
    net.keepTraffic(false);
    for (simhost::Client* client : {&ann, &bob}) {
      client->config().cacheValues["r1"] = R"({"code":0,"result":"ok","token":"t-r1"})";
      // No target reads the log; formatting and keeping every line was a
      // fifth of an input's time.
      simhost::setQuietLogs(*client, true);
    }
    freshPlugins();
  }
  static imsdkmrtc::mrtc_plugin& plugin(simhost::Client& client) {
    return *static_cast<imsdkmrtc::mrtc_plugin*>(client.plugin());
  }
  void reset() {
    net.pump();
    for (auto& p : plugins) p->other()->stop();
    drain();
    if (gTranscript != nullptr) transcribe(*gTranscript);
    for (simhost::Client* client : {&ann, &bob}) client->clearRecords();
    net.clearTraffic();
    net.restartIds();
    freshPlugins();
  }
  simhost::Network net;
  simhost::Client& ann = net.addClient("ann", 1001, 1);
  simhost::Client& bob = net.addClient("bob", 2001, 1);
  std::unique_ptr<imsdkmrtc::mrtc_plugin> plugins[2];

 private:
  void freshPlugins() {
    simhost::Client* clients[] = {&ann, &bob};
    for (int i = 0; i < 2; ++i) {
      auto fresh = std::make_unique<imsdkmrtc::mrtc_plugin>();
      // The switches the fuzzers want on, so that every kind of call is read.
      imsdkmrtc::pluginSettings& s = fresh->settings();
      s.pcOnOff.store(1);
      s.p2pSwitch.store(1);
      s.unbindSwitch.store(1);
      clients[i]->attach(fresh.get());
      plugins[i] = std::move(fresh);
    }
  }
  // Stopped timer threads end at their next tick; then the clock goes back.
  void drain() {
    for (int i = 0; i < kMaxDrainTicks && commlib::liveThreads() > 0; ++i) {
      commlib::advance(imsdkmrtc::kTimerTickMs, [this] { net.pump(); });
    }
    net.pump();
    if (commlib::liveThreads() != 0) {
      std::fprintf(stderr, "a stopped timer thread did not end\n");
      std::abort();
    }
    commlib::useVirtualTime(kStartMs);
  }
  void transcribe(std::string& out) const {
    for (const simhost::Client* client : {&ann, &bob}) {
      const std::string who = client->name() + " ";
      for (const auto& r : client->results()) {
        out += who + "result " + std::to_string(r.cmdId) + " " + std::to_string(r.id) + " " +
               std::to_string(r.result) + " " + r.extend + "\n";
      }
      for (const auto& e : client->events()) {
        out += who + "event " + std::to_string(e.eventType) + " " + e.annotation + " " + e.roomId +
               " " + e.extend + "\n";
      }
      for (const auto& m : client->sent()) {
        out += who + "sent " + std::to_string(m.msgType) + " " + std::to_string(m.msgId) + " " +
               std::to_string(m.targetId) + " " + m.body + " " + m.properties + "\n";
      }
      for (const auto& m : client->inserted()) {
        out += who + "inserted " + std::to_string(m.msgType) + " " + m.body + " " + m.properties +
               "\n";
      }
      for (const auto& t : client->timerPosts()) {
        out += who + "timer " + std::to_string(t.cmd.op) + " " + std::to_string(t.cmd.type) + " " +
               t.cmd.key + "\n";
      }
    }
    out += "--\n";
  }
};

// The world, with the hosts recording what the plug-ins produce only when
// this input's transcript will read it: nothing else reads the records.
inline TwoClients& twoClients() {
  static auto* instance = new TwoClients;
  for (simhost::Client* client : {&instance->ann, &instance->bob}) {
    client->keepRecords(gTranscript != nullptr);
  }
  return *instance;
}

}  // namespace fuzzworld
