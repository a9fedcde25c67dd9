#include "invariants/invariants_rings.h"

#include <set>
#include <tuple>
#include <utility>

#include "base/json.h"
#include "invariants/independent_words.h"
#include "notify/ring_end_texts.h"

namespace mrtcsim {

namespace {

// The plug-in's numbers and words, as this check knows them.
using namespace independent;

// A refusal is remembered this long by the client that declined.
constexpr int64_t kRefusalMemoryMs = 300000;

const std::string& caseName(size_t i) { return ringCaseNames()[i]; }
const std::string& kCaseGroupEnd = caseName(0);
const std::string& kCaseSameKind = caseName(1);
const std::string& kCasePull = caseName(2);
const std::string& kCasePush = caseName(3);
const std::string& kCaseLateCancel = caseName(4);
const std::string& kCaseRecallOff = caseName(5);
const std::string& kCaseRefusedRecall = caseName(6);

// A string member of a JSON object text.
std::string member(const std::string& text, const char* key) {
  json::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return "";
  auto it = doc.FindMember(key);
  if (it == doc.MemberEnd() || !it->value.IsString()) return "";
  return std::string(it->value.GetString(), it->value.GetStringLength());
}

// The room a card text names ("roomID" inside "extendInfo").
std::string cardRoom(const std::string& text) {
  json::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return "";
  auto info = doc.FindMember(kExtendInfoKey);
  if (info == doc.MemberEnd() || !info->value.IsObject()) return "";
  auto id = info->value.FindMember(kCardRoomKey);
  if (id == info->value.MemberEnd() || !id->value.IsString()) return "";
  return std::string(id->value.GetString(), id->value.GetStringLength());
}

int64_t idMember(const std::string& text, const char* key) {
  const std::string value = member(text, key);
  return value.empty() ? 0 : std::strtoll(value.c_str(), nullptr, 10);
}

// The room of a finish hint, from its properties; empty for other hints.
std::string finishHintRoom(const Item& it) {
  if (it.num("type") != kHintType) return "";
  const std::string props = it.str("properties");
  if (props.find(kFinishHintMark) == std::string::npos) return "";
  size_t at = props.find(kHintRoomKey);
  if (at == std::string::npos) return "";
  at += std::char_traits<char>::length(kHintRoomKey);
  const size_t end = props.find_first_of(",\"", at);
  return props.substr(at, end == std::string::npos ? std::string::npos : end - at);
}

bool startsWith(const std::string& text, const char* format) {
  // The fixed part of a log format, up to its first placeholder.
  const std::string fixed(format, std::string(format).find('%'));
  return text.rfind(fixed, 0) == 0;
}

using Key = std::pair<std::string, std::string>;  // client, room
// A delivered message: client, sending device, body, send time.
using Copy = std::tuple<std::string, std::string, std::string, int64_t>;

class RingChecker {
 public:
  explicit RingChecker(const RunResult& run) : run_(run) {}

  void go() {
    for (const Participant& p : run_.clients) users_[p.name] = p.user;
    for (const Item& it : run_.items) {
      overdue(it.t);
      if (it.kind == kind::kDeliver) {
        onDeliver(it);
      } else if (it.kind == kind::kMessage) {
        onMessage(it);
      } else if (it.kind == kind::kPull) {
        onPull(it);
      } else if (it.kind == kind::kOnline) {
        if (it.num("online") == 0) {
          away_.insert(it.client);
        } else {
          away_.erase(it.client);
        }
      } else if (it.kind == kind::kLifecycle) {
        onLifecycle(it);
      } else if (it.kind == kind::kRequest) {
        onRequest(it);
      } else if (it.kind == kind::kEvent) {
        onEvent(it);
      } else if (it.kind == kind::kLog) {
        onLog(it);
      }
    }
    overdue(run_.endMs + 1);
  }

  std::vector<Violation> violations;
  std::map<std::string, int64_t> cases;

 private:
  // What ended the call for a client: the end of the call for everybody, or
  // its user's own answer or refusal on another device (after which a new
  // invitation may ring again).
  enum class endKind { kCall, kOwn };
  struct Ring {
    int64_t since = 0;
    int64_t owner = 0;
    int64_t deadline = -1;
    std::string why;
  };
  struct Reached {
    int64_t t = 0;
    endKind kind = endKind::kCall;
    std::string why;
  };

  void overdue(int64_t now) {
    for (auto i = open_.begin(); i != open_.end();) {
      if (i->second.deadline < 0 || now <= i->second.deadline) {
        ++i;
        continue;
      }
      violations.push_back({kEveryRingStops,
                            i->first.first + " at " + std::to_string(i->second.deadline) +
                                " ms: rings for room " + i->first.second +
                                " more than a tick after " + i->second.why + " reached it",
                            i->second.deadline, ""});
      i = open_.erase(i);
    }
  }

  void reach(const std::string& client, const std::string& room, endKind kind,
             const std::string& why, int64_t t) {
    if (room.empty()) return;
    reached_[{client, room}] = Reached{t, kind, why};
    auto ring = open_.find({client, room});
    if (ring == open_.end() || ring->second.deadline >= 0) return;
    ring->second.deadline = t + kTickMs;
    ring->second.why = why;
  }

  void closeAll(const std::string& client) {
    for (auto i = open_.begin(); i != open_.end();) {
      i = i->first.first == client ? open_.erase(i) : std::next(i);
    }
  }

  bool ringing(const std::string& client, const std::string& room) const {
    return open_.count({client, room}) != 0;
  }

  void onDeliver(const Item& it) {
    const std::string& c = it.client;
    const std::string command = it.str("command");
    const std::string body = it.str("body");
    const std::string room = command.empty() ? finishHintRoom(it) : member(body, "roomId");
    cause_[c] = {command, room};
    const int64_t from = it.num("fromUser");
    if (command.empty()) {
      if (room.empty()) return;
      if (ringing(c, room)) ++cases[kCaseGroupEnd];
      reach(c, room, endKind::kCall, "the finish hint", it.t);
      return;
    }
    const bool ownUser = from == users_[c];
    if (ownUser && (command == kIntoRoomCommand || command == kHungupCommand)) {
      // A copy of an answer or refusal that already reached this client (the
      // network handed it over twice) tells nothing new: a new invitation
      // that rang since is not ended by it.
      const Copy copy{c, it.str("from"), body, it.t - it.num("age")};
      if (!ownEnds_.insert(copy).second) return;
      if (ringing(c, room)) ++cases[kCaseSameKind];
      reach(c, room, endKind::kOwn, "its user's " + command + " from another device", it.t);
      return;
    }
    if (command == kHungupCommand && from == idMember(body, "onwerId")) {
      if (ringing(c, room) && noAnswerTold_.count({from, room}) != 0) ++cases[kCaseLateCancel];
      reach(c, room, endKind::kCall, "the caller's hang-up", it.t);
    }
  }

  // A call that ends while a client is away reaches it in the pull that
  // follows.
  void onMessage(const Item& it) {
    const std::string room = finishHintRoom(it);
    if (!room.empty()) {
      for (const std::string& c : away_) pending_[c].insert(room);
      return;
    }
    const std::string command = it.str("command");
    const std::string body = it.str("body");
    const int64_t sender = users_[it.client];
    if (command == kHungupCommand && sender == idMember(body, "onwerId")) {
      for (const std::string& c : away_) {
        if (users_[c] == it.num("target")) pending_[c].insert(member(body, "roomId"));
      }
    }
    if (it.str("flag") != kRecallFlag) return;
    if (recallOff_.count(it.client) != 0) {
      violations.push_back({kRecallObeysSwitch,
                            it.client + " at " + std::to_string(it.t) +
                                " ms: a recall went out after re-ringing was switched off",
                            it.t, ""});
    }
    const std::string recallRoom = member(body, "roomId");
    auto refused = refusedAt_.find(recallRoom);
    if (invited_.count({it.client, recallRoom}) != 0 && refused != refusedAt_.end() &&
        it.t - refused->second > kRefusalMemoryMs) {
      ++cases[kCaseRefusedRecall];
    }
  }

  void onPull(const Item& it) {
    auto p = pending_.find(it.client);
    if (p == pending_.end()) return;
    for (const std::string& room : p->second) {
      reach(it.client, room, endKind::kCall, "the pull after the call ended", it.t);
    }
    pending_.erase(p);
  }

  void onLifecycle(const Item& it) {
    const std::string event = it.str("event");
    if (event == kCrash) {
      closeAll(it.client);
      away_.insert(it.client);
    } else if (event == kRestart) {
      // A restarted plug-in remembers nothing of the calls before its crash
      // (nothing is persisted): what ended them reaches it again only in
      // the pull that follows.
      for (auto i = reached_.begin(); i != reached_.end();) {
        i = i->first.first == it.client ? reached_.erase(i) : std::next(i);
      }
      away_.erase(it.client);
      recallOff_.erase(it.client);  // settings start over
    }
  }

  void onRequest(const Item& it) {
    if (it.num("answered") == 0) return;
    const int64_t cmd = it.num("cmd");
    const int64_t result = it.find("result") != nullptr ? it.num("result") : -1;
    std::string room = it.str("roomId");
    // A card join names its room inside the card (a join of the ringing room
    // answers the ring).
    if (room.empty() && cmd == kCmdTempletJoin) room = cardRoom(it.str("extend"));
    if (cmd == kCmdExtra && it.num("type") == kExtraRecall && result == 0) {
      const std::string enable = member(it.str("cmdText"), "enable");
      if (enable == "off") recallOff_.insert(it.client);
      if (enable == "on") recallOff_.erase(it.client);
      return;
    }
    if (cmd == kCmdHungup && result != kNoTalk && result != -1) {
      // Any hang-up ends the talk this client holds, whatever room it names.
      closeAll(it.client);
      if (result == 0 && it.str("annotation") == kRefuse && refusedAt_.count(room) == 0) {
        refusedAt_[room] = it.t;
      }
      return;
    }
    // An answer whose message could not be sent still puts this user in
    // the room here: the ring is over. A join from the board or a card of
    // the ringing room is such an answer.
    const bool entering = cmd == kCmdIntoRoom || cmd == kCmdJoin || cmd == kCmdTempletJoin;
    if (entering && result == kSendFailed) open_.erase({it.client, room});
    if (result != 0) return;
    if (entering) open_.erase({it.client, room});
    if (cmd == kCmdInvite) invited_.insert({it.client, room});
  }

  void onEvent(const Item& it) {
    const int64_t type = it.num("type");
    const std::string room = it.str("roomId");
    const Key key{it.client, room};
    if (type == kEventFinished) {
      open_.erase(key);
    } else if (type == kEventNoAnswer && it.num("onwerId") == users_[it.client]) {
      noAnswerTold_.insert({users_[it.client], room});
    } else if (type == kEventRing) {
      auto seen = reached_.find(key);
      // A new invitation may ring again after the user's own answer or
      // refusal elsewhere; after the end of the call nothing may.
      const auto& cause = cause_[it.client];
      if (seen != reached_.end() && seen->second.kind == endKind::kOwn &&
          cause.first == kInviteCommand && cause.second == room) {
        reached_.erase(seen);
        seen = reached_.end();
      }
      Ring ring{it.t, it.num("onwerId"), -1, ""};
      if (seen != reached_.end()) {
        ring.deadline = it.t + kTickMs;
        ring.why = seen->second.why;
      }
      open_[key] = ring;
    }
  }

  void onLog(const Item& it) {
    const std::string text = it.str("text");
    if (startsWith(text, imsdkmrtc::texts::ringend::kLogPullEnded)) ++cases[kCasePull];
    if (text == imsdkmrtc::texts::ringend::kLogPushGated) ++cases[kCasePush];
    if (text == imsdkmrtc::texts::ringend::kLogRecallOff) ++cases[kCaseRecallOff];
  }

  const RunResult& run_;
  std::map<std::string, int64_t> users_;
  std::map<Key, Ring> open_;
  std::map<Key, Reached> reached_;
  std::map<std::string, std::pair<std::string, std::string>> cause_;  // command, room
  std::set<std::string> away_;
  std::map<std::string, std::set<std::string>> pending_;  // client: rooms ended while away
  std::set<std::string> recallOff_;
  std::set<std::pair<int64_t, std::string>> noAnswerTold_;  // caller, room
  std::map<std::string, int64_t> refusedAt_;                // room: first refusal
  std::set<Key> invited_;                                   // inviter client, room
  std::set<Copy> ownEnds_;  // its user's answers and refusals elsewhere, as delivered
};

}  // namespace

void checkRingInvariants(const RunResult& run, std::vector<Violation>& out) {
  RingChecker checker(run);
  checker.go();
  out.insert(out.end(), checker.violations.begin(), checker.violations.end());
}

void countRingCases(const RunResult& run, std::map<std::string, int64_t>& cases) {
  RingChecker checker(run);
  checker.go();
  for (const auto& c : checker.cases) cases[c.first] += c.second;
}

}  // namespace mrtcsim
