#include "invariants/invariants_races.h"

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

#include "base/json.h"
#include "base/wire_words.h"
#include "invariants/independent_words.h"
#include "notify/notify_texts.h"
#include "notify/race_texts.h"

namespace mrtcsim {

namespace {

// The plug-in's numbers and words, as this check knows them.
using namespace independent;

// A live call is answered while at most 120 whole seconds old.
constexpr int64_t kStaleMs = 121000;
constexpr int64_t kFutureMs = -60000;

struct CallBody {
  std::string roomId;
  int64_t beginTime = 0;
  std::string rtcType;
  std::vector<int64_t> selects;
};

// A string member of a JSON object text, or of its "extendInfo" object.
std::string textOf(const std::string& text, const char* key) {
  json::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return "";
  const json::Value* obj = &doc;
  auto info = doc.FindMember(kExtendInfoKey);
  if (!doc.HasMember(key) && info != doc.MemberEnd() && info->value.IsObject()) obj = &info->value;
  auto it = obj->FindMember(key);
  if (it == obj->MemberEnd() || !it->value.IsString()) return "";
  return std::string(it->value.GetString(), it->value.GetStringLength());
}

CallBody readCall(const std::string& body) {
  CallBody out;
  json::Document doc;
  doc.Parse(body.c_str(), body.size());
  if (doc.HasParseError() || !doc.IsObject()) return out;
  auto text = [&](const char* key) {
    auto it = doc.FindMember(key);
    return it != doc.MemberEnd() && it->value.IsString()
               ? std::string(it->value.GetString(), it->value.GetStringLength())
               : std::string();
  };
  out.roomId = text("roomId");
  const std::string begin = text("beginTime");
  out.beginTime = begin.empty() ? 0 : std::strtoll(begin.c_str(), nullptr, 10);
  out.rtcType = text("rtcType");
  auto sel = doc.FindMember("selects");
  if (sel != doc.MemberEnd() && sel->value.IsArray()) {
    for (const auto& v : sel->value.GetArray()) {
      if (v.IsInt64()) out.selects.push_back(v.GetInt64());
    }
  }
  return out;
}

// This client's own one-to-one call, from its request until it ends.
struct OwnCall {
  std::string roomId;
  int64_t peer = 0;
  bool answered = false;
};

// What a crossing delivery must lead to, checked on the items that follow it
// on that client until its next delivery or request.
struct Crossing {
  std::string client;
  std::string ownRoom;
  std::string incomingRoom;
  bool yields = false;
  bool ownEnded = false;
  bool rang = false;
  int64_t t = 0;
};

class RaceChecker {
 public:
  RaceChecker(const Scenario& sc, const RunResult& run) : sc_(sc), run_(run) {}

  RaceReport go() {
    for (const Participant& p : run_.clients) users_[p.name] = p.user;
    for (const ClientSpec& c : sc_.clients) {
      offsets_[c.name] = c.timeOffsetMs;
      if (!c.plugin.empty()) oldPeers_.insert(c.name);
    }
    for (const Item& it : run_.items) {
      const bool closesWindow = it.kind == kind::kDeliver || it.kind == kind::kRequest ||
                                it.kind == kind::kPull || it.kind == kind::kLifecycle;
      if (closesWindow) settle(it.client);
      if (it.kind == kind::kDeliver) {
        onDeliver(it);
      } else if (it.kind == kind::kRequest) {
        onRequest(it);
      } else if (it.kind == kind::kEvent) {
        onEvent(it);
      } else if (it.kind == kind::kLifecycle && it.str("event") == kRestart) {
        forget(it.client);
      } else if (it.kind == kind::kPull) {
        // A pulled batch may close rooms unseen here: crossings on this
        // client are no longer judged.
        pulled_.insert(it.client);
      }
    }
    for (auto& open : open_) judge(open.second);
    open_.clear();
    return std::move(out_);
  }

 private:
  void add(const char* invariant, const std::string& client, int64_t t, const std::string& what) {
    out_.violations.push_back(
        {invariant, client + " at " + std::to_string(t) + " ms: " + what, t, ""});
  }

  void forget(const std::string& client) {
    for (auto i = ended_.begin(); i != ended_.end();) {
      i = i->first.first == client ? ended_.erase(i) : std::next(i);
    }
    for (auto i = closed_.begin(); i != closed_.end();) {
      i = i->first == client ? closed_.erase(i) : std::next(i);
    }
    own_.erase(client);
    held_.erase(client);
  }

  void onDeliver(const Item& it) {
    const std::string command = it.str("command");
    const CallBody call = readCall(it.str("body"));
    const std::pair<std::string, std::string> key{it.client, call.roomId};
    cause_[it.client] = {};
    if (command == kHungupCommand || command == kFinishCommand || command == kMFinishCommand ||
        command == kIntoRoomCommand) {
      closed_.insert(key);
      auto own = own_.find(it.client);
      if (command == kIntoRoomCommand && own != own_.end() && own->second.roomId == call.roomId) {
        own->second.answered = true;
      }
      return;
    }
    if (command != kCallCommand && command != kInviteCommand) return;
    const int64_t seen = it.num("age") + offsets_[it.client];
    const bool stale = seen >= kStaleMs || seen < kFutureMs;
    if (stale) ++out_.counts[kRaceHeldLate];
    const bool recall = it.str("flag") == kRecallFlag;
    // No later than the talk that ended here: the same call again.
    auto ended = ended_.find(key);
    const bool copy = command == kCallCommand && !recall && ended != ended_.end() &&
                      call.beginTime <= ended->second;
    if (copy) ++out_.counts[kRaceCopyAfterEnd];
    cause_[it.client] = {call.roomId, call.beginTime, stale, copy};
    if (command != kCallCommand || recall || stale || copy) return;
    noteCrossing(it, call);
  }

  void noteCrossing(const Item& it, const CallBody& call) {
    auto own = own_.find(it.client);
    const int64_t me = users_[it.client];
    if (own == own_.end() || own->second.answered || own->second.peer != it.num("fromUser") ||
        call.rtcType != imsdkmrtc::texts::kP2pConfer || oldPeers_.count(it.client) != 0 ||
        pulled_.count(it.client) != 0 ||
        std::find(call.selects.begin(), call.selects.end(), me) == call.selects.end() ||
        closed_.count({it.client, call.roomId}) != 0 || own->second.roomId == call.roomId) {
      return;
    }
    Crossing c;
    c.client = it.client;
    c.ownRoom = own->second.roomId;
    c.incomingRoom = call.roomId;
    c.yields = c.ownRoom > c.incomingRoom;
    c.t = it.t;
    ++out_.counts[c.yields ? kRaceCrossedYield : kRaceCrossedKeep];
    open_[it.client] = c;
  }

  void onRequest(const Item& it) {
    if (it.num("answered") == 0) return;
    const bool ok = it.find("result") != nullptr && it.num("result") == 0;
    const int64_t cmd = it.num("cmd");
    std::string room = it.str("roomId");
    if (room.empty()) room = textOf(it.str("extend"), "roomId");
    if (room.empty()) room = textOf(it.str("extend"), kCardRoomKey);  // a card names it so
    if (ok &&
        (cmd == kCmdCall || cmd == kCmdIntoRoom || cmd == kCmdJoin || cmd == kCmdTempletJoin)) {
      auto held = held_.find(it.client);
      if (held == held_.end() || held->second.roomId != room) held_[it.client] = {room, 0};
    }
    if (cmd == kCmdCall && ok &&
        it.str("extend").find(imsdkmrtc::texts::kP2pConfer) != std::string::npos) {
      const IdList members = it.ids("members");
      if (members.size() == 1) own_[it.client] = {room, members[0], false};
    }
    // Answered 0, the hang-up ended the talk this client held, whatever room
    // it named (the plug-in ends the held talk on any hang-up).
    if (cmd == kCmdHungup && ok) {
      auto held = held_.find(it.client);
      endHeld(it.client, held != held_.end() ? held->second.roomId : room);
      own_.erase(it.client);
      held_.erase(it.client);
    }
    auto own = own_.find(it.client);
    if (cmd == kCmdConnectState && own != own_.end() && own->second.roomId == room) {
      const IdList members = it.ids("members");
      if (std::find(members.begin(), members.end(), own->second.peer) != members.end()) {
        own->second.answered = true;
      }
    }
  }

  void onEvent(const Item& it) {
    const int64_t type = it.num("type");
    const std::string room = it.str("roomId");
    auto open = open_.find(it.client);
    if (open != open_.end()) {
      if (type == kEventFinished && room == open->second.ownRoom &&
          it.str("annotation") == crossedWord()) {
        open->second.ownEnded = true;
      }
      if (type == kEventRing && room == open->second.incomingRoom) open->second.rang = true;
    }
    const Cause& cause = cause_[it.client];
    if (type == kEventRing && cause.roomId == room && !room.empty()) {
      if (cause.copy) {
        add("no_copy_ring", it.client, it.t, "rings for room " + room + " from a copy of its call");
      }
      if (cause.stale) {
        add("no_stale_ring", it.client, it.t, "rings for room " + room + " from a late delivery");
      }
    }
    auto own = own_.find(it.client);
    if (own != own_.end() && own->second.roomId == room) {
      if (type == kEventEntered) own->second.answered = true;
      if (type == kEventFinished) own_.erase(own);
    }
    if (type == kEventRing || type == kEventTalkState) {
      held_[it.client] = {room, cause.roomId == room ? cause.beginTime : 0};
    }
    // An event 5 is also pushed for rooms this client never held (the user
    // answered elsewhere before the call came); only a held one ended here.
    if (type == kEventFinished) endHeld(it.client, room);
  }

  void endHeld(const std::string& client, const std::string& room) {
    auto held = held_.find(client);
    if (held == held_.end() || held->second.roomId != room) return;
    int64_t& begin = ended_[{client, room}];
    begin = std::max(begin, held->second.beginTime);
    held_.erase(held);
  }

  static std::string crossedWord() {
    return std::string(imsdkmrtc::texts::notify::kLocalPrefix) +
           imsdkmrtc::texts::notify::kCallCrossed;
  }

  // The delivery's consequences are all in: judge the crossing it made.
  void settle(const std::string& client) {
    auto open = open_.find(client);
    if (open == open_.end()) return;
    judge(open->second);
    open_.erase(open);
  }

  void judge(const Crossing& c) {
    const std::string pair = " (own " + c.ownRoom + ", incoming " + c.incomingRoom + ")";
    if (c.yields && !(c.ownEnded && c.rang)) {
      add("one_call_when_crossed", c.client, c.t,
          std::string("the larger room did not yield") +
              (c.ownEnded ? "" : ": own call not ended") + (c.rang ? "" : ": no ring") + pair);
    }
    if (!c.yields && (c.ownEnded || c.rang)) {
      add("one_call_when_crossed", c.client, c.t, "the smaller room gave way" + pair);
    }
  }

  struct Cause {
    std::string roomId;
    int64_t beginTime = 0;
    bool stale = false;
    bool copy = false;
  };

  const Scenario& sc_;
  const RunResult& run_;
  std::map<std::string, int64_t> users_;
  std::map<std::string, int64_t> offsets_;
  std::set<std::string> oldPeers_;
  std::set<std::string> pulled_;
  struct Held {
    std::string roomId;
    int64_t beginTime = 0;  // of the call that rang it (0: not known)
  };
  std::map<std::string, Held> held_;  // the talk each client holds, as far as seen
  std::map<std::string, OwnCall> own_;
  std::map<std::string, Cause> cause_;
  std::map<std::string, Crossing> open_;
  // Rooms whose talk ended on a client, with the beginTime of that talk.
  std::map<std::pair<std::string, std::string>, int64_t> ended_;
  std::set<std::pair<std::string, std::string>> closed_;
  RaceReport out_;
};

}  // namespace

RaceReport checkRaces(const Scenario& scenario, const RunResult& run) {
  return RaceChecker(scenario, run).go();
}

}  // namespace mrtcsim
