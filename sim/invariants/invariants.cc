#include "invariants/invariants.h"

#include <map>
#include <set>
#include <utility>

#include "base/json.h"
#include "invariants/independent_words.h"
#include "invariants/invariants_busy.h"
#include "invariants/invariants_races.h"
#include "invariants/invariants_rings.h"

namespace mrtcsim {

namespace {

// The plug-in's numbers and words, as this check knows them.
using namespace independent;

constexpr int64_t kKeepAliveMs = 60000;
constexpr int64_t kLongestRingMs = 98000;

// A string member of a JSON object text, or of its "extendInfo" object.
std::string member(const std::string& text, const char* key) {
  json::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return "";
  auto it = doc.FindMember(key);
  if (it == doc.MemberEnd()) {
    auto info = doc.FindMember(kExtendInfoKey);
    if (info == doc.MemberEnd() || !info->value.IsObject()) return "";
    it = info->value.FindMember(key);
    if (it == info->value.MemberEnd()) return "";
  }
  if (!it->value.IsString()) return "";
  return std::string(it->value.GetString(), it->value.GetStringLength());
}

std::string hintRoom(const std::string& properties) {
  size_t at = properties.find(kHintRoomKey);
  if (at == std::string::npos) return "";
  at += std::char_traits<char>::length(kHintRoomKey);
  size_t end = properties.find_first_of(",\"", at);
  return properties.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

// The users a call or invitation text selects.
std::vector<int64_t> selects(const std::string& text) {
  std::vector<int64_t> out;
  json::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return out;
  auto it = doc.FindMember("selects");
  if (it == doc.MemberEnd() || !it->value.IsArray()) return out;
  for (const auto& v : it->value.GetArray()) {
    if (v.IsInt64()) out.push_back(v.GetInt64());
  }
  return out;
}

struct Cause {
  std::string command;  // of the last message delivered, or "pull"
  std::string roomId;
  bool recall = false;
};

class Checker {
 public:
  Checker(const Scenario& sc, const RunResult& run) : sc_(sc), run_(run) {}

  std::vector<Violation> go() {
    for (const Participant& p : run_.clients) users_[p.name] = p.user;
    for (const Item& it : run_.items) {
      if (it.kind == kind::kDeliver) {
        onDeliver(it);
      } else if (it.kind == kind::kPull) {
        causes_[it.client] = {"pull", "", false};
      } else if (it.kind == kind::kLifecycle) {
        const std::string event = it.str("event");
        if (event == kRestart) forget(it.client);
        if (event == kRestart || event == kCrash) down_[it.client] = event == kCrash;
        if (event == kFrozen) frozen_.insert(it.client);
      } else if (it.kind == kind::kRequest) {
        onRequest(it);
      } else if (it.kind == kind::kEvent) {
        onEvent(it);
      } else if (it.kind == kind::kFault && it.num("type") == kHintType &&
                 it.str("properties").find(kFinishHintMark) != std::string::npos) {
        // A duplicate whose first copy is late is late too.
        const IdList delays = it.ids("delays");
        const bool late = !delays.empty() && delays[0] > 0;
        if (it.str("fault") != "dup" || late) {
          missedHints_[{it.client, hintRoom(it.str("properties"))}] = late ? "delay" : "loss";
        }
      } else if (it.kind == kind::kMessage && it.str("command") == kInviteCommand &&
                 it.str("flag") != kRecallFlag) {
        const std::string body = it.str("body");
        for (int64_t user : selects(body)) invitedAt_[{user, member(body, "roomId")}] = it.t;
      } else if (it.kind == kind::kMessage && it.num("type") == kHintType &&
                 it.str("properties").find(kFinishHintMark) != std::string::npos) {
        std::string room = hintRoom(it.str("properties"));
        if (++finishHints_[room] >= 2) {
          add("one_finish_hint", it, "a second finish hint for room " + room);
          auto missed = missedHints_.find({it.client, room});
          if (missed != missedHints_.end()) out_.back().excusedBy = missed->second;
        }
      }
    }
    // Talks end only once every application stopped (froze, or crashed for
    // good); a scenario cut short of that proves nothing about them.
    for (const Participant& p : run_.clients) {
      if (frozen_.count(p.name) == 0 && !down_[p.name]) return std::move(out_);
    }
    const int64_t bound = talkEndBoundMs(sc_);
    if (run_.quietMs < 0) {
      out_.push_back({"talk_ends", "still busy when the run-out time was over", run_.endMs, ""});
    } else if (run_.quietMs - run_.lastStepMs > bound) {
      out_.push_back({"talk_ends",
                      "quiet only " + std::to_string(run_.quietMs - run_.lastStepMs) +
                          " ms after the last step (bound " + std::to_string(bound) + " ms)",
                      run_.quietMs, ""});
    }
    return std::move(out_);
  }

 private:
  void add(const char* invariant, const Item& it, const std::string& what) {
    out_.push_back(
        {invariant, it.client + " at " + std::to_string(it.t) + " ms: " + what, it.t, ""});
  }

  // A restarted plug-in remembers nothing of the talks before its crash
  // (nothing is persisted): a repeated ring of a room declined before the
  // crash, pulled or delivered after it, rings again. The crash fault cannot
  // keep that promise, so the slate is wiped.
  void forget(const std::string& client) {
    for (auto* set : {&done_, &ended_, &ranOut_}) {
      for (auto i = set->begin(); i != set->end();) {
        i = i->first == client ? set->erase(i) : std::next(i);
      }
    }
    held_.erase(client);
  }

  void markDone(const std::pair<std::string, std::string>& key, int64_t t) {
    done_.insert(key);
    doneAt_[key] = t;
  }

  void onDeliver(const Item& it) {
    const std::string body = it.str("body");
    Cause c{it.str("command"), member(body, "roomId"), it.str("flag") == kRecallFlag};
    causes_[it.client] = c;
    // Another device of this user answered, declined or left the room.
    if (it.num("fromUser") == users_[it.client] &&
        (c.command == kIntoRoomCommand || c.command == kHungupCommand)) {
      markDone({it.client, c.roomId}, it.t);
    }
  }

  void onRequest(const Item& it) {
    if (it.num("answered") == 0) return;
    const int64_t cmd = it.num("cmd");
    std::string room = it.str("roomId");
    if (room.empty()) room = member(it.str("extend"), "roomId");
    if (room.empty()) room = member(it.str("extend"), kCardRoomKey);  // a card names it so
    if (room.empty()) return;
    const bool ok = it.find("result") != nullptr && it.num("result") == 0;
    const std::pair<std::string, std::string> key{it.client, room};
    // A hang-up declines or leaves the room only when it was this client's
    // talk (answered 0; 3 found no talk, 6 another room). A "busy" reply is
    // not a refusal: the store remembers only "refuse", the caller is not
    // told, and the recall rings the user again, who may be free by then.
    // The hang-up must name the talk the client holds: one naming another room
    // ends the held talk instead (the workload cannot know which it holds).
    const bool declined =
        cmd == kCmdHungup && ok && it.str("annotation") != kBusy && held_[it.client] == room;
    if ((cmd == kCmdIntoRoom && ok) || declined) markDone(key, it.t);
    if (ok &&
        (cmd == kCmdCall || cmd == kCmdJoin || cmd == kCmdTempletJoin || cmd == kCmdIntoRoom)) {
      ended_.erase(key);  // taking part again
      held_[it.client] = room;
    }
    if (cmd == kCmdHungup) held_.erase(it.client);
  }

  void onEvent(const Item& it) {
    const int64_t type = it.num("type");
    const std::string room = it.str("roomId");
    const std::pair<std::string, std::string> key{it.client, room};
    const Cause& cause = causes_[it.client];
    // An invitation of this user sent after the answer or refusal, pulled
    // after an absence, is new too.
    auto done = doneAt_.find(key);
    auto invited = invitedAt_.find({users_[it.client], room});
    const bool pulledInvite = type == kEventRing && cause.command == "pull" &&
                              done != doneAt_.end() && invited != invitedAt_.end() &&
                              invited->second > done->second;
    if (type == kEventRing &&
        ((cause.command == kInviteCommand && cause.roomId == room) || pulledInvite)) {
      // A new invitation into the room: it may ring again.
      done_.erase(key);
      ended_.erase(key);
      ranOut_.erase(key);
      return;
    }
    if (type == kEventRing && (cause.recall || cause.command == "pull") &&
        ranOut_.count(key) != 0 && done_.count(key) == 0) {
      // The talk ran out here (its ring, or the keep-alive of an application
      // that froze) and the caller, who cannot know that, rings again (a
      // recall, live or pulled): its deliberate re-ring, not a ring coming
      // back.
      ended_.erase(key);
      ranOut_.erase(key);
      return;
    }
    if (type == kEventRing && done_.count(key) != 0) {
      add("no_ring_back", it,
          "rings for room " + room +
              " after its user answered, declined or left it (cause: " + cause.command + ")");
    }
    // Event 3 is the exception the plug-in keeps on purpose: somebody's entry
    // into a room is reported whether this client holds the room or not.
    if (ended_.count(key) != 0 && type != kEventHint && type != kEventCard &&
        type != kEventEntered && !room.empty()) {
      add("silent_after_end", it,
          "event " + std::to_string(type) + " for room " + room +
              " after its event 5 (cause: " + cause.command + ")");
    }
    if (type == kEventRing || type == kEventTalkState) held_[it.client] = room;
    if (type == kEventFinished && held_[it.client] == room) held_.erase(it.client);
    if (type == kEventFinished) {
      ended_.insert(key);
      const std::string word = it.str("annotation");
      if (word == kRingRanOut || word == kKeepAliveRanOut) ranOut_.insert(key);
    }
  }

  const Scenario& sc_;
  const RunResult& run_;
  std::map<std::string, int64_t> users_;
  std::set<std::string> frozen_;             // applications that stopped
  std::map<std::string, bool> down_;         // true: crashed and not restarted
  std::map<std::string, std::string> held_;  // the room each client holds, as far as seen
  std::map<std::string, Cause> causes_;
  std::set<std::pair<std::string, std::string>> done_;
  std::map<std::pair<std::string, std::string>, int64_t> doneAt_;  // latest answer or refusal
  std::map<std::pair<int64_t, std::string>, int64_t> invitedAt_;   // user, room: latest invitation
  std::set<std::pair<std::string, std::string>> ended_;
  std::set<std::pair<std::string, std::string>> ranOut_;
  std::map<std::string, int> finishHints_;
  std::map<std::pair<std::string, std::string>, std::string> missedHints_;
  std::vector<Violation> out_;
};

}  // namespace

int64_t talkEndBoundMs(const Scenario& scenario) {
  return kKeepAliveMs + kLongestRingMs + 3 * kTickMs + 2 * scenario.faults.delayMaxMs +
         scenario.faults.mediaLateMs + scenario.media.delayMs + scenario.longestHoldMs();
}

std::vector<Violation> checkInvariants(const Scenario& scenario, const RunResult& run) {
  std::vector<Violation> out = Checker(scenario, run).go();
  std::vector<Violation> races = checkRaces(scenario, run).violations;
  out.insert(out.end(), races.begin(), races.end());
  checkRingInvariants(run, out);
  checkBusyInvariants(scenario, run, out);
  return out;
}

}  // namespace mrtcsim
