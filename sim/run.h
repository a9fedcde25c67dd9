// The runner's own state while it plays one scenario: the clients with
// their hosts and plug-ins, the network, the media rooms and what the
// applications have due. Inside the simulator only: the runner and the
// runners of the step actions (step_runs.cc) share it.
// Not thread-safe: everything runs on the runner's thread.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "describe.h"
#include "media_room.h"
#include "plugin_loader.h"
#include "run_result.h"
#include "scenario.h"
#include "simhost.h"
#include "tools.h"

namespace mrtcsim {

class RunError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct ClientState {
  const ClientSpec* spec = nullptr;
  simhost::Client* host = nullptr;
  imsdk::IPlugin* plugin = nullptr;
  size_t index = 0;           // in scenario order
  simhost::RecordMarks seen;  // the host's records already in the timeline
  bool appRunning = true;     // false after the client vanished, crashed or froze
  bool frozen = false;        // the application stopped for good: it asks nothing more
  bool inTalk = false;        // the application believes it is in a talk
  int64_t keepAliveDue = -1;
  int64_t offlineSince = -1;  // traffic sequence when it went away
  int64_t offlineUntil = -1;  // and when it came back (-1: still away)
};

class Run {
 public:
  Run(const Scenario& sc, const simhost::PluginLibrary& lib)
      : sc_(sc), lib_(lib), media_(sc.media) {}

  RunResult go();

  // What each step action does (the table in step_actions.cc names them);
  // `cs` is the step's client, null when it names none.
  void runRequest(ClientState* cs, const Step& step);
  void runExtra(ClientState* cs, const Step& step);
  void runKeepAlive(ClientState* cs, const Step& step);
  void runAdvance(ClientState* cs, const Step& step);
  void runInject(ClientState* cs, const Step& step);
  void runPull(ClientState* cs, const Step& step);
  void runPush(ClientState* cs, const Step& step);
  void runPreLogin(ClientState* cs, const Step& step);
  void runLogin(ClientState* cs, const Step& step);
  void runOnline(ClientState* cs, const Step& step);
  void runMedia(ClientState* cs, const Step& step);
  void runCrash(ClientState* cs, const Step& step);
  void runRestart(ClientState* cs, const Step& step);
  void runCut(ClientState* cs, const Step& step);
  void runFreeze(ClientState* cs, const Step& step);
  void runRedeliver(ClientState* cs, const Step& step);

 private:
  int64_t now() const { return tools::get_mill_sec(); }
  Item item(const std::string& client, const char* k) const {
    Item it;
    it.t = now() - sc_.startMs;
    it.client = client;
    it.kind = k;
    return it;
  }
  void add(Item it) { result_.items.push_back(std::move(it)); }
  ClientState& state(const std::string& name);
  std::string participant(int64_t user, int32_t device) const;

  void setUp();
  void tearDown();
  void runStep(const Step& step);
  void advanceTo(int64_t target);
  void settle();
  bool runDue();
  void collect(ClientState& cs);
  void collectAll();
  void reactToEvent(ClientState& cs, const Item& ev);

  void request(ClientState& cs, uint16_t cmd, const imsdk::req_mrtc_request& fields,
               const std::string& by);
  void extra(ClientState& cs, const ExtraSpec& e, const std::string& by);
  void answered(ClientState& cs, Item& it, int64_t id);
  void afterRequest(ClientState& cs, uint16_t cmd, const imsdk::req_mrtc_request& fields,
                    const Item& it);
  void enterMedia(ClientState& cs, const std::string& roomId, int64_t groupId);
  void leaveMedia(ClientState& cs);
  void schedule(const std::vector<MediaReport>& reports);
  void setInTalk(ClientState& cs, bool inTalk);
  void goAway(ClientState& cs);
  void comeBack(ClientState& cs);
  void pullMissed(ClientState& cs);
  // Hands offline messages to the client (event 38) and records what it
  // made of each.
  void handOver(ClientState& cs, const std::vector<imsdk::hostMessage>& msgs);
  // The traffic sequence of the last message on the network (0: none yet).
  int64_t lastTraffic() const;
  bool quiet() const;
  void setKeepAlive(ClientState& cs, int64_t due);

  std::string lastSignalBody(const std::string& client);
  std::string lastBodyOfType(const std::string& client, int64_t type);
  imsdk::hostMessage hostMessage(const MessageSpec& m);
  std::vector<imsdk::hostMessage> missedMessages(ClientState& cs);

  // The library a client's plug-in comes from: the run's, or its own.
  const simhost::PluginLibrary& libraryOf(const ClientSpec& spec);
  // The hold the scenario puts on this delivery (0: none).
  int64_t holdFor(const simhost::NetMessage& msg, const std::string& recipient) const;
  // The body of a delivered message as its items quote it.
  const codec::QuotedBody& quoted(const simhost::NetMessage& msg);

  const Scenario& sc_;
  const simhost::PluginLibrary& lib_;
  std::map<std::string, std::unique_ptr<simhost::PluginLibrary>> ownLibs_;
  int64_t newIds_ = 800000000;
  MediaSpec media_;
  MediaRoom rooms_;
  simhost::Network net_;
  std::vector<ClientState> clients_;
  // Lookups that would otherwise search every client, once per delivery.
  std::map<std::string, size_t> byName_;
  std::map<const simhost::Client*, size_t> byHost_;
  std::map<std::pair<int64_t, int32_t>, size_t> byDevice_;  // first client of a user's device
  // Keep-alives due: (time, client index).
  std::set<std::pair<int64_t, size_t>> keepAlives_;
  struct Pending {
    int64_t due;
    MediaReport report;
  };
  std::vector<Pending> pending_;
  int64_t mediaReports_ = 0;
  // The last message quoted, by its sequence number.
  int64_t quotedSeq_ = 0;
  size_t quotedSize_ = 0;
  codec::QuotedBody quotedBody_;
  RunResult result_;
};

}  // namespace mrtcsim
