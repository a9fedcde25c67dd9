// A small simulated network for the request tests: pc clients with their own
// plug-ins on virtual time, and shorthands for the requests an application
// makes.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"
#include "timer/plugin_other.h"

namespace reqtest {

// 2023-11-14 22:13:20 UTC: host time / 1000 is the talk's begin time.
constexpr int64_t kStartMs = 1700000000000;

class Site {
 public:
  Site() { commlib::useVirtualTime(kStartMs); }
  ~Site() {
    for (auto& plugin : plugins_) plugin->other()->stop();
    // Sleeping timer threads wake, see the stop flag and end.
    commlib::advance(10000);
  }

  // A device of the user; its plug-in reports the same device type.
  simhost::Client& add(const std::string& name, int64_t userId, uint8_t deviceType = 1) {
    simhost::Client& client = net.addClient(name, userId, deviceType);
    plugins_.push_back(std::make_unique<imsdkmrtc::mrtc_plugin>(deviceType));
    client.attach(plugins_.back().get());
    return client;
  }
  imsdkmrtc::mrtc_plugin& plugin(simhost::Client& client) {
    return *static_cast<imsdkmrtc::mrtc_plugin*>(client.plugin());
  }
  // Moves the clock, delivering messages at every step.
  void advance(int64_t ms) {
    net.pump();
    commlib::advance(ms, [this] { net.pump(); });
    net.pump();
  }

  simhost::Network net;

 private:
  std::vector<std::unique_ptr<imsdkmrtc::mrtc_plugin>> plugins_;
};

inline imsdk::req_mrtc_request req(int64_t groupId, const std::string& roomId,
                                   std::vector<int64_t> members = {},
                                   const std::string& extend = "",
                                   const std::string& annotation = "") {
  imsdk::req_mrtc_request r;
  r.groupId = groupId;
  r.roomId = roomId;
  r.roomName = "Team";
  r.members = std::move(members);
  r.extend = extend;
  r.annotation = annotation;
  return r;
}

// The answer to the request with this id; result -1000 when there is none.
inline simhost::Result answerTo(const simhost::Client& client, int64_t id) {
  simhost::Result none;
  none.result = -1000;
  int found = 0;
  for (const simhost::Result& r : client.results()) {
    if (r.id == id) {
      none = r;
      ++found;
    }
  }
  if (found > 1) none.result = -2000;  // answered more than once
  return none;
}

inline int32_t codeOf(const simhost::Client& client, int64_t id) {
  return answerTo(client, id).result;
}

inline std::vector<simhost::UiEvent> eventsOfType(const simhost::Client& client, int type) {
  std::vector<simhost::UiEvent> out;
  for (const simhost::UiEvent& e : client.events()) {
    if (e.eventType == type) out.push_back(e);
  }
  return out;
}

// Messages this client sent with a body of the given "type" word.
inline std::vector<simhost::NetMessage> sentOfType(const simhost::Client& client,
                                                   const std::string& word) {
  std::vector<simhost::NetMessage> out;
  const std::string needle = "\"type\":\"" + word + "\"";
  for (const simhost::NetMessage& m : client.sent()) {
    if (m.body.find(needle) != std::string::npos) out.push_back(m);
  }
  return out;
}

inline std::vector<simhost::NetMessage> sentOfMsgType(const simhost::Client& client,
                                                      uint16_t msgType) {
  std::vector<simhost::NetMessage> out;
  for (const simhost::NetMessage& m : client.sent()) {
    if (m.msgType == msgType) out.push_back(m);
  }
  return out;
}

inline std::vector<imsdk::timerCmd> timersOf(const simhost::Client& client, int32_t category,
                                             int32_t type) {
  std::vector<imsdk::timerCmd> out;
  for (const simhost::TimerPost& p : client.timerPosts()) {
    if (p.cmd.category == category && p.cmd.type == type) out.push_back(p.cmd);
  }
  return out;
}

inline std::vector<int64_t> sorted(std::vector<int64_t> ids) {
  std::sort(ids.begin(), ids.end());
  return ids;
}

}  // namespace reqtest
