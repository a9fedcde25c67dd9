#include "invariants/invariants_busy.h"

#include <algorithm>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "base/json.h"
#include "invariants/independent_words.h"

namespace mrtcsim {

namespace {

// The plug-in's numbers and words, as this check knows them.
using namespace independent;

// A card join that asked the members for the talk has its answer, or gives
// up, well within this (its bound, the next tick, a late delivery).
constexpr int64_t kCardJoinAnswerMs = 20000;
// A call delivered later than this after it was placed was held back by a
// fault or replayed (the faults delay a delivery by up to 10 s).
constexpr int64_t kFreshCallMs = 11000;

using Key = std::pair<std::string, std::string>;  // client, room

struct CallBody {
  std::string room;
  std::string rtcType;
  std::vector<int64_t> selects;
  bool recall = false;
};

CallBody readCall(const std::string& text) {
  CallBody out;
  json::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return out;
  auto str = [&](const char* key) {
    auto it = doc.FindMember(key);
    return it != doc.MemberEnd() && it->value.IsString()
               ? std::string(it->value.GetString(), it->value.GetStringLength())
               : std::string();
  };
  out.room = str("roomId");
  out.rtcType = str("rtcType");
  out.recall = str("flag") == "recall";
  auto sel = doc.FindMember("selects");
  if (sel != doc.MemberEnd() && sel->value.IsArray()) {
    for (const auto& v : sel->value.GetArray()) {
      if (v.IsInt64()) out.selects.push_back(v.GetInt64());
    }
  }
  return out;
}

std::string roomOfRequest(const Item& it) {
  std::string room = it.str("roomId");
  if (!room.empty()) return room;
  json::Document doc;
  const std::string ext = it.str("extend");
  doc.Parse(ext.c_str(), ext.size());
  if (doc.HasParseError() || !doc.IsObject()) return "";
  auto info = doc.FindMember(kExtendInfoKey);
  if (info == doc.MemberEnd() || !info->value.IsObject()) return "";
  auto id = info->value.FindMember(kCardRoomKey);
  return id != info->value.MemberEnd() && id->value.IsString() ? id->value.GetString() : "";
}

std::string hintRoom(const std::string& properties) {
  size_t at = properties.find(kHintRoomKey);
  if (at == std::string::npos) return "";
  at += std::char_traits<char>::length(kHintRoomKey);
  size_t end = properties.find_first_of(",\"", at);
  return properties.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// What a group room went through, for "one_finish_notice".
struct GroupRoom {
  std::set<std::string> in;    // clients in the room now
  std::set<std::string> ever;  // clients that were in it
  bool hadLeave = false;       // somebody left it with a hang-up
  std::string disqualified;    // why no notice can be asked for
  std::string excused;         // the fault that makes a missing notice unavoidable
  int64_t lastLeave = 0;
};

class BusyChecker {
 public:
  BusyChecker(const RunResult& run, std::vector<Violation>& out) : run_(run), out_(out) {}

  void go() {
    for (const Participant& p : run_.clients) {
      userOf_[p.name] = p.user;
      clientsOf_[p.user].push_back(p.name);
    }
    for (const Item& it : run_.items) {
      if (it.kind == kind::kRequest) onRequest(it);
      if (it.kind == kind::kEvent) onEvent(it);
      if (it.kind == kind::kDeliver) onDeliver(it);
      if (it.kind == kind::kPull) pulledAt_[it.client] = it.t;
      if (it.kind == kind::kLifecycle) onLifecycle(it);
      if (it.kind == kind::kOnline) onOnline(it);
      if (it.kind == kind::kFault) onFault(it);
      if (it.kind == kind::kMessage && it.num("type") == kHintType &&
          it.str("properties").find(kFinishHintMark) != std::string::npos) {
        noticed_.insert(hintRoom(it.str("properties")));
      }
    }
    for (const auto& p : pendingRings_) {
      if (rings_.count(p) == 0) {
        add("nobody_left_busy", std::get<2>(p),
            std::get<0>(p) + ": a fresh call of room " + std::get<1>(p) +
                " did not ring although every talk of its user was over");
      }
    }
    for (const auto& r : rooms_) {
      const GroupRoom& g = r.second;
      if (!g.hadLeave || !g.in.empty() || !g.disqualified.empty() || noticed_.count(r.first)) {
        continue;
      }
      out_.push_back({"one_finish_notice",
                      "room " + r.first + " ended for everybody without a finish notice",
                      g.lastLeave, g.excused});
    }
  }

 private:
  void add(const char* invariant, int64_t t, const std::string& what) {
    out_.push_back({invariant, what + " (at " + std::to_string(t) + " ms)", t, ""});
  }

  void release(const std::string& client) {
    holds_.erase(client);
    for (auto i = tentative_.begin(); i != tentative_.end();) {
      i = i->first.first == client ? tentative_.erase(i) : std::next(i);
    }
    for (auto* set : {&answered_, &ringing_}) {
      for (auto i = set->begin(); i != set->end();) {
        i = i->first == client ? set->erase(i) : std::next(i);
      }
    }
  }

  bool userIdle(int64_t user, int64_t t) {
    for (auto i = tentative_.begin(); i != tentative_.end();) {
      if (i->second < t) {
        holds_[i->first.first].erase(i->first.second);
        i = tentative_.erase(i);
      } else {
        ++i;
      }
    }
    for (const std::string& c : clientsOf_[user]) {
      if (!holds_[c].empty()) return false;
    }
    return true;
  }

  void onRequest(const Item& it) {
    const int64_t cmd = it.num("cmd");
    // The user hung up the room its client holds: whether or not the plug-in
    // let the request through, that talk is over for the user.
    if (cmd == kCmdHungup && it.num("answered") == 0 &&
        holds_[it.client].count(roomOfRequest(it)) != 0) {
      release(it.client);
    }
    if (it.num("answered") == 0) return;
    const bool ok = it.find("result") != nullptr && it.num("result") == 0;
    if (cmd == kCmdExtra && it.num("type") == kP2pSwitch && ok) {
      // One-to-one calls ring only where they are switched on.
      const std::string text = it.str("cmdText");
      if (text.find("\"on\"") != std::string::npos) p2pOn_.insert(it.client);
      if (text.find("\"off\"") != std::string::npos) p2pOn_.erase(it.client);
      return;
    }
    if (cmd == kCmdExtra && it.num("type") == kCallsSwitch && ok) {
      const std::string text = it.str("cmdText");
      if (text.find("\"off\"") != std::string::npos) off_.insert(it.client);
      if (text.find("\"on\"") != std::string::npos) off_.erase(it.client);
      return;
    }
    if (cmd == kCmdConnectState) {
      onMediaReport(it);
      return;
    }
    const std::string room = roomOfRequest(it);
    const Key key{it.client, room};
    if (cmd == kCmdHungup) {
      leaveRooms(it, ok);
      release(it.client);
      return;
    }
    if (!ok || room.empty()) return;
    if (cmd == kCmdCall) placedAt_.emplace(room, it.t);
    if (cmd == kCmdCall || cmd == kCmdIntoRoom || cmd == kCmdJoin || cmd == kCmdTempletJoin) {
      const bool wasRinging = holds_[it.client].count(room) != 0 && ringing_.count(key) != 0;
      holds_[it.client].insert(room);
      seen_.insert(key);
      if (cmd == kCmdTempletJoin && !wasRinging) tentative_[key] = it.t + kCardJoinAnswerMs;
      if (cmd != kCmdCall) answered_.insert(key);
      enterRoom(it, room, cmd, wasRinging);
    }
  }

  void enterRoom(const Item& it, const std::string& room, int64_t cmd, bool wasRinging) {
    if (cmd == kCmdCall) {
      // Only group calls end with a finish notice.
      const std::string ext = it.str("extend");
      if (it.num("groupId") <= 0 || ext.find("p2pconfer") != std::string::npos) return;
      groupRooms_.insert(room);
    }
    auto g = rooms_.find(room);
    if (g == rooms_.end()) {
      if (groupRooms_.count(room) == 0) return;
      g = rooms_.emplace(room, GroupRoom()).first;
    }
    // A join of a talk that did not ring here leaves it quietly soon after.
    if ((cmd == kCmdJoin || cmd == kCmdTempletJoin) && !wasRinging) {
      g->second.disqualified = "joined from the board or a card";
    }
    g->second.in.insert(it.client);
    g->second.ever.insert(it.client);
  }

  void leaveRooms(const Item& it, bool ok) {
    for (auto& r : rooms_) {
      GroupRoom& g = r.second;
      if (g.in.count(it.client) == 0) continue;
      g.in.erase(it.client);
      if (!ok || it.str("annotation") != kLeaveWord || roomOfRequest(it) != r.first) {
        g.disqualified = "left otherwise than with a hang-up of the room";
        continue;
      }
      g.hadLeave = true;
      g.lastLeave = it.t;
    }
  }

  void dropOut(const std::string& client, const char* why) {
    for (auto& r : rooms_) {
      if (r.second.in.erase(client) != 0) r.second.disqualified = why;
    }
  }

  void onMediaReport(const Item& it) {
    // An entry reported after the same member's leave: the view is stale.
    const std::string room = it.str("roomId");
    const IdList about = it.ids("members");
    if (about.empty()) return;
    const auto key = std::make_tuple(it.client, room, about[0]);
    if (it.str("annotation") == kLevelRoom) left_.insert(key);
    if (it.str("annotation") == kIntoRoom && left_.count(key) != 0) excuse(room, "media");
  }

  void excuse(const std::string& room, const char* fault) {
    auto g = rooms_.find(room);
    if (g != rooms_.end() && g->second.excused.empty()) g->second.excused = fault;
  }

  void onEvent(const Item& it) {
    const int64_t type = it.num("type");
    const std::string room = it.str("roomId");
    const Key key{it.client, room};
    if (type == kEventRing) {
      holds_[it.client].insert(room);
      ringing_.insert(key);
      rings_.insert(std::make_tuple(it.client, room, it.t));
      seen_.insert(key);
    }
    if (type == kEventTalkState) {
      holds_[it.client].insert(room);
      tentative_.erase(key);
    }
    if (type != kEventFinished) return;
    if (it.str("annotation") == kRingRanOut && answered_.count(key) != 0) {
      add("no_throw_out", it.t,
          it.client + ": its ring ran out in room " + room + ", which its user had answered");
    }
    holds_[it.client].erase(room);
    tentative_.erase(key);
    answered_.erase(key);
    ringing_.erase(key);
    auto g = rooms_.find(room);
    if (g != rooms_.end() && g->second.in.count(it.client) != 0) {
      g->second.in.erase(it.client);
      g->second.disqualified = "the talk ended on a member's client";
    }
  }

  void onDeliver(const Item& it) {
    const CallBody call = readCall(it.str("body"));
    const Key key{it.client, call.room};
    const bool firstOfRoom = seen_.insert(key).second;
    if (it.str("command") != kCallCommand || call.recall || !firstOfRoom) return;
    // Only the call as placed, on its way at most as long as a delivery may be
    // held back: a copy or replay of an old call is no fresh call.
    const auto placed = placedAt_.find(call.room);
    if (placed == placedAt_.end() || it.t - placed->second > kFreshCallMs) return;
    const int64_t user = userOf_[it.client];
    // A call from a user with no client (a newer client's) cannot ring.
    if (clientsOf_.count(it.num("fromUser")) == 0) return;
    if (std::find(call.selects.begin(), call.selects.end(), user) == call.selects.end()) return;
    if (down_[it.client] || off_.count(it.client) != 0 || pulledAt_[it.client] == it.t) return;
    if (call.rtcType == "p2pconfer" && p2pOn_.count(it.client) == 0) return;
    // A call that arrives after its finish notice is over: it need not ring.
    if (noticed_.count(call.room) != 0) return;
    if (!userIdle(user, it.t)) return;
    pendingRings_.insert(std::make_tuple(it.client, call.room, it.t));
  }

  void onLifecycle(const Item& it) {
    const std::string event = it.str("event");
    if (event == kCrash || event == kRestart) {
      release(it.client);
      dropOut(it.client, "a member crashed");
      // A member that left may still be watching for the end: gone with it.
      for (auto& r : rooms_) {
        if (r.second.ever.count(it.client) != 0 && r.second.excused.empty()) {
          r.second.excused = kCrash;
        }
      }
    }
    if (event == kCrash) down_[it.client] = true;
    if (event == kRestart) down_[it.client] = false;
    if (event == kFrozen) dropOut(it.client, "a member's application stopped");
  }

  void onOnline(const Item& it) {
    down_[it.client] = it.num("online", 1) == 0;
    if (!down_[it.client]) return;
    // Cut off: its notice, questions and answers go nowhere.
    for (auto& r : rooms_) {
      if (r.second.ever.count(it.client) != 0 && r.second.excused.empty()) {
        r.second.excused = "partition";
      }
    }
  }

  void onFault(const Item& it) {
    const std::string fault = it.str("fault");
    if (fault == kMediaLoss) {
      excuse(it.str("roomId"), "media");
      return;
    }
    // A message to somebody in a room lost, late or repeated: its view may
    // be wrong (a member seen in the room, a question or answer missing).
    for (auto& r : rooms_) {
      if (r.second.ever.count(it.client) != 0 && (r.second.hadLeave || !r.second.in.empty())) {
        if (r.second.excused.empty()) r.second.excused = fault;
      }
    }
  }

  const RunResult& run_;
  std::vector<Violation>& out_;
  std::map<std::string, int64_t> userOf_;
  std::map<int64_t, std::vector<std::string>> clientsOf_;
  std::map<std::string, std::set<std::string>> holds_;
  std::map<Key, int64_t> tentative_;  // a card join waiting for its answer, until
  std::set<Key> answered_;
  std::set<Key> ringing_;
  std::set<Key> seen_;
  std::set<std::string> off_;
  std::set<std::string> p2pOn_;
  std::map<std::string, bool> down_;
  std::map<std::string, int64_t> pulledAt_;
  std::set<std::tuple<std::string, std::string, int64_t>> pendingRings_;
  std::set<std::tuple<std::string, std::string, int64_t>> rings_;
  std::set<std::tuple<std::string, std::string, int64_t>> left_;
  std::set<std::string> groupRooms_;
  std::map<std::string, int64_t> placedAt_;  // room: when a call of it was first placed
  std::map<std::string, GroupRoom> rooms_;
  std::set<std::string> noticed_;
};

}  // namespace

void checkBusyInvariants(const Scenario&, const RunResult& run, std::vector<Violation>& out) {
  BusyChecker(run, out).go();
}

}  // namespace mrtcsim
