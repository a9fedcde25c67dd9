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
#include "simhost.h"
#include "support/support.h"
#include "timer/plugin_other.h"

namespace reqtest {

using testsupport::kStartMs;
// pc clients with their own plug-ins, on virtual time.
using Site = testsupport::Site;

// The group finish hint as written by Ann for room r1 of group 500.
constexpr const char* kFinishBody = R"({"body":"语音通话已经结束","msgBodyType":"12"})";
constexpr const char* kFinishProps =
    R"({"operType":"22","operUser":"11","usersInfo":"groupId=500,roomId=r1,operUserName=Ann"})";

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

// The records of `all` that `keep` accepts.
template <class T, class Keep>
std::vector<T> only(std::vector<T> all, Keep keep) {
  all.erase(std::remove_if(all.begin(), all.end(), [&](const T& x) { return !keep(x); }),
            all.end());
  return all;
}

// The answer to the request with this id: result -1000 when there is none,
// -2000 when there are several.
inline simhost::Result answerTo(const simhost::Client& client, int64_t id) {
  const auto found = only(client.results(), [&](const simhost::Result& r) { return r.id == id; });
  simhost::Result out = found.empty() ? simhost::Result{} : found.back();
  if (found.size() != 1) out.result = found.empty() ? -1000 : -2000;
  return out;
}

inline int32_t codeOf(const simhost::Client& client, int64_t id) {
  return answerTo(client, id).result;
}

// Ann (11) on a pc, with Bob (12) and Cid (13) in group 500.
struct Ann {
  Site site;
  simhost::Client& a = site.add("a", 11);
  Ann() {
    site.net.addUser(11, "Ann");
    site.net.addUser(12, "Bob");
    site.net.addUser(13, "Cid");
    site.net.addGroup(500, {11, 12, 13});
  }
  imsdkmrtc::mrtc_plugin& plugin() { return Site::plugin(a); }
  // A request for room `room` answered with this code (-1000: no answer).
  int32_t ask(uint16_t code, const std::string& room, const std::string& annotation = "",
              std::vector<int64_t> members = {}, const std::string& extend = "",
              int64_t groupId = 500) {
    return codeOf(a, a.request(code, req(groupId, room, std::move(members), extend, annotation)));
  }
  // Places a call in r1 and forgets what it produced.
  int32_t call(const std::string& extend = "", std::vector<int64_t> callees = {12, 13},
               int64_t groupId = 500) {
    const int32_t code = ask(24001, "r1", "", std::move(callees), extend, groupId);
    a.clearRecords();
    return code;
  }
};

inline std::vector<simhost::UiEvent> eventsOfType(const simhost::Client& c, int type) {
  return only(c.events(), [&](const simhost::UiEvent& e) { return e.eventType == type; });
}
// Messages this client sent with a body of the given "type" word.
inline std::vector<simhost::NetMessage> sentOfType(const simhost::Client& c,
                                                   const std::string& word) {
  const std::string needle = "\"type\":\"" + word + "\"";
  return only(c.sent(), [&](const simhost::NetMessage& m) {
    return m.body.find(needle) != std::string::npos;
  });
}
inline std::vector<simhost::NetMessage> sentOfMsgType(const simhost::Client& c, uint16_t type) {
  return only(c.sent(), [&](const simhost::NetMessage& m) { return m.msgType == type; });
}
inline std::vector<imsdk::timerCmd> timersOf(const simhost::Client& c, int32_t category,
                                             int32_t type) {
  std::vector<imsdk::timerCmd> out;
  for (const simhost::TimerPost& p : c.timerPosts()) {
    if (p.cmd.category == category && p.cmd.type == type) out.push_back(p.cmd);
  }
  return out;
}

}  // namespace reqtest
