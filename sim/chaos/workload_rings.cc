#include "chaos/workload_rings.h"

#include <algorithm>
#include <map>
#include <random>

#include "base/annotation_words.h"
#include "base/device_types.h"
#include "base/wire_words.h"
#include "chaos/workload_step.h"
#include "requests/request_texts.h"
#include "setting_text.h"
#include "signalling/wire_texts.h"

namespace mrtcsim {

namespace {

namespace keys = imsdkmrtc::texts::request;

enum caseKind {
  kGroupEnd,
  kSameKindDevice,
  kPullCallAndEnd,
  kPushGated,
  kLateP2pCancel,
  kRecallOff,
  kInviteAfterRefusal,
  kCaseKinds
};

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string idList(const std::vector<int64_t>& ids) {
  std::string out = "[";
  for (size_t i = 0; i < ids.size(); ++i) out += (i > 0 ? "," : "") + std::to_string(ids[i]);
  return out + "]";
}

class CasePlanner {
 public:
  CasePlanner(uint64_t seed, int64_t groupId, const std::vector<CaseDevice>& devices, int64_t index)
      : rng_(seed), groupId_(groupId), devices_(devices), room_("ring-" + std::to_string(index)) {
    for (const CaseDevice& d : devices_) byUser_[d.user].push_back(d.name);
    for (const auto& u : byUser_) users_.push_back(u.first);
  }

  RingCase plan(int64_t startMs);

 private:
  int64_t range(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(rng_() % static_cast<uint64_t>(hi - lo + 1));
  }
  bool chance(int percent) { return range(0, 99) < percent; }
  const std::string& deviceOf(int64_t user) {
    const std::vector<std::string>& own = byUser_[user];
    return own[static_cast<size_t>(range(0, static_cast<int64_t>(own.size()) - 1))];
  }
  void add(int64_t atMs, const std::string& client, const std::string& body) {
    out_.steps.push_back({atMs, client, body});
  }
  // A request of the room; members and extend only when given.
  void request(int64_t atMs, const std::string& client, const std::string& what,
               const std::string& annotation, bool group, const std::vector<int64_t>& members = {},
               const char* extend = nullptr) {
    json::StringBuffer body;
    StepWriter w(body);
    w.StartObject();
    writeRequestStep(w, {what.c_str(), annotation, group ? groupId_ : 0, room_, members,
                         extend == nullptr ? "" : extend});
    w.EndObject();
    add(atMs, client, body.GetString());
  }
  void extra(int64_t atMs, const std::string& client, int type, const std::string& cmd) {
    add(atMs, client, "{\"extra\":{\"type\":" + std::to_string(type) + ",\"cmd\":" + cmd + "}}");
  }
  void cut(int64_t atMs, const std::string& client, bool on) {
    add(atMs, client, std::string("{\"cut\":") + (on ? "true" : "false") + "}");
  }
  // Picks a caller and n callees among the other users (n at most what is
  // there); the caller's device is set.
  std::vector<int64_t> pickCall(int64_t n) {
    std::vector<int64_t> shuffled = users_;
    std::shuffle(shuffled.begin(), shuffled.end(), rng_);
    caller_ = shuffled.front();
    from_ = deviceOf(caller_);
    const int64_t most = static_cast<int64_t>(shuffled.size()) - 1;
    return std::vector<int64_t>(shuffled.begin() + 1, shuffled.begin() + 1 + std::min(n, most));
  }
  void call(int64_t atMs, const std::vector<int64_t>& callees, bool group) {
    request(atMs, from_, "call", "", group, callees, group ? kGroupCallExtend : kP2pCallExtend);
    ++out_.calls;
  }
  // A callee answers and leaves later, declines, or lets it ring.
  void answerOrNot(int64_t atMs, int64_t user, bool group) {
    const std::string& d = deviceOf(user);
    const int64_t roll = range(0, 99);
    if (roll < 35) {
      request(atMs, d, "intoroom", imsdkmrtc::texts::kAccept, group, {user});
      request(atMs + range(5000, 60000), d, "hungup", imsdkmrtc::texts::kHungupUiClick, group);
    } else if (roll < 55) {
      request(atMs, d, "hungup", imsdkmrtc::texts::kRefuse, group);
    }
  }

  void groupEnd(int64_t t);
  void sameKindDevice(int64_t t);
  void pullCallAndEnd(int64_t t);
  void pushGated(int64_t t);
  void lateP2pCancel(int64_t t);
  void recallOff(int64_t t);
  void inviteAfterRefusal(int64_t t);

  std::mt19937_64 rng_;
  int64_t groupId_;
  std::vector<CaseDevice> devices_;
  std::string room_;
  std::map<int64_t, std::vector<std::string>> byUser_;
  std::vector<int64_t> users_;
  int64_t caller_ = 0;
  std::string from_;
  RingCase out_;
};

// The caller cancels while everybody rings, or the last member in the room
// leaves while the others still ring: the finish hint ends their rings.
void CasePlanner::groupEnd(int64_t t) {
  std::vector<int64_t> callees = pickCall(range(2, 5));
  call(t, callees, true);
  if (chance(50) || callees.size() < 2) {
    request(t + range(2000, 15000), from_, "hungup", imsdkmrtc::texts::kCancelUiClick, true);
    return;
  }
  const std::string& first = deviceOf(callees.front());
  request(t + range(1000, 4000), first, "intoroom", imsdkmrtc::texts::kAccept, true,
          {callees.front()});
  request(t + range(5000, 9000), from_, "hungup", imsdkmrtc::texts::kHungupUiClick, true);
  request(t + range(10000, 40000), first, "hungup", imsdkmrtc::texts::kHungupUiClick, true);
}

// A user with two devices answers or declines on one; the other rings.
void CasePlanner::sameKindDevice(int64_t t) {
  std::vector<int64_t> twoDevices;
  for (const auto& u : byUser_) {
    if (u.second.size() >= 2) twoDevices.push_back(u.first);
  }
  if (twoDevices.size() < 1 || users_.size() < 2) return groupEnd(t);
  const int64_t callee = twoDevices[static_cast<size_t>(range(0, twoDevices.size() - 1))];
  std::vector<int64_t> others;
  for (int64_t u : users_) {
    if (u != callee) others.push_back(u);
  }
  caller_ = others[static_cast<size_t>(range(0, others.size() - 1))];
  from_ = deviceOf(caller_);
  const bool group = chance(60);
  call(t, {callee}, group);
  const std::string& d = byUser_[callee][static_cast<size_t>(range(0, 1))];
  const int64_t at = t + range(2000, 10000);
  if (chance(60)) {
    request(at, d, "intoroom", imsdkmrtc::texts::kAccept, group, {callee});
    request(at + range(5000, 40000), d, "hungup", imsdkmrtc::texts::kHungupUiClick, group);
  } else {
    request(at, d, "hungup", imsdkmrtc::texts::kRefuse, group);
  }
  request(t + range(50000, 90000), from_, "hungup", imsdkmrtc::texts::kHungupUiClick, group);
}

// A callee's device is away while the call is placed and cancelled; it
// pulls both when it comes back.
void CasePlanner::pullCallAndEnd(int64_t t) {
  const bool group = chance(50);
  std::vector<int64_t> callees = pickCall(group ? range(1, 3) : 1);
  const std::string& away = deviceOf(callees.front());
  cut(t - 1000, away, true);
  call(t, callees, group);
  const int64_t cancel = t + range(2000, 15000);
  request(cancel, from_, "hungup", imsdkmrtc::texts::kCancelUiClick, group);
  cut(cancel + range(1000, 40000), away, false);
}

// A callee's client has its calls, or its one-to-one calls, switched off;
// the application hands it the call by push all the same.
void CasePlanner::pushGated(int64_t t) {
  const bool group = chance(50);
  std::vector<int64_t> callees = pickCall(group ? range(1, 3) : 1);
  const std::string& off = deviceOf(callees.front());
  const bool callsOff = group || chance(50);
  const char* key = callsOff ? keys::kKeyPcOnOff : keys::kKeyEnable;
  const int type = callsOff ? imsdkmrtc::kExtraTypePcOnOff : imsdkmrtc::kExtraTypeP2pSwitch;
  extra(t - 1000, off, type, codec::switchText(key, false));
  call(t, callees, group);
  // The call as the caller sends it, written here: the caller's last message
  // may be another call's when this one found it busy.
  std::vector<int64_t> members = callees;
  members.insert(members.begin(), caller_);
  const std::string caller = quoted(std::to_string(caller_));
  namespace texts = imsdkmrtc::texts;
  namespace wire = imsdkmrtc::texts::wire;
  auto field = [](const char* key, const std::string& value) {
    return "," + quoted(key) + ":" + value;
  };
  std::string cmd = "{" + quoted(wire::kType) + ":" + quoted(wire::kCmdNameCall) +
                    field(texts::kKeySenderId, caller);
  if (group) cmd += field(texts::kKeyGroupId, quoted(std::to_string(groupId_)));
  cmd += field(wire::kOnwerId, caller) + field(texts::kKeyRoomId, quoted(room_)) +
         field(wire::kDeviceType, quoted(std::to_string(imsdkmrtc::kDevicePc))) +
         field(wire::kVersion, quoted(texts::kProtocolVersion)) +
         field(wire::kRtcType, quoted(group ? texts::kRtc : texts::kP2pConfer)) +
         field(wire::kSelects, idList(callees)) + field(wire::kMembers, idList(members)) + "}";
  add(t + 500, off,
      "{\"push\":{\"from\":" + std::to_string(caller_) + ",\"cmd\":" + cmd +
          ",\"age\":" + std::to_string(range(0, 5)) + "}}");
  extra(t + range(2000, 20000), off, type, codec::switchText(key, true));
  for (size_t i = 1; i < callees.size(); ++i)
    answerOrNot(t + range(1000, 20000), callees[i], group);
  request(t + range(25000, 90000), from_, "hungup", imsdkmrtc::texts::kHungupUiClick, group);
}

// The callee's device comes back late, its ring starts late, and the
// caller cancels after its own wait ran out.
void CasePlanner::lateP2pCancel(int64_t t) {
  std::vector<int64_t> callees = pickCall(1);
  const std::string& late = deviceOf(callees.front());
  cut(t - 1000, late, true);
  call(t, callees, false);
  cut(t + range(20000, 70000), late, false);
  request(t + range(92000, 110000), from_, "hungup", imsdkmrtc::texts::kCancelCallTimeout, false);
}

// The caller switches re-ringing off while its recalls wait.
void CasePlanner::recallOff(int64_t t) {
  std::vector<int64_t> callees = pickCall(range(2, 5));
  call(t, callees, true);
  for (int64_t c : callees) answerOrNot(t + range(1000, 20000), c, true);
  extra(t + range(2000, 28000), from_, imsdkmrtc::kExtraTypeRecall,
        codec::switchText(keys::kKeyEnable, false));
  request(t + range(70000, 120000), from_, "hungup", imsdkmrtc::texts::kHungupUiClick, true);
  extra(t + 125000, from_, imsdkmrtc::kExtraTypeRecall, codec::recallText(30, 2));
}

// A callee declines, the caller invites somebody else, and the re-ring
// comes more than 300 s later.
void CasePlanner::inviteAfterRefusal(int64_t t) {
  std::vector<int64_t> callees = pickCall(range(2, 4));
  if (callees.size() + 1 >= users_.size()) return recallOff(t);
  extra(t - 1000, from_, imsdkmrtc::kExtraTypeRecall, codec::recallText(range(305, 330), 1));
  call(t, callees, true);
  request(t + range(1000, 8000), deviceOf(callees.front()), "hungup", imsdkmrtc::texts::kRefuse,
          true);
  for (size_t i = 1; i < callees.size(); ++i) answerOrNot(t + range(1000, 20000), callees[i], true);
  int64_t invitee = 0;
  for (int64_t u : users_) {
    if (u != caller_ && std::find(callees.begin(), callees.end(), u) == callees.end()) invitee = u;
  }
  const int64_t at = t + range(10000, 30000);
  request(at, from_, "invite", "", true, {invitee});
  answerOrNot(at + range(1000, 10000), invitee, true);
  request(t + range(340000, 380000), from_, "hungup", imsdkmrtc::texts::kHungupUiClick, true);
  extra(t + 385000, from_, imsdkmrtc::kExtraTypeRecall, codec::recallText(30, 2));
}

RingCase CasePlanner::plan(int64_t t) {
  if (users_.size() < 2) return out_;
  switch (range(0, kCaseKinds - 1)) {
    case kGroupEnd:
      groupEnd(t);
      break;
    case kSameKindDevice:
      sameKindDevice(t);
      break;
    case kPullCallAndEnd:
      pullCallAndEnd(t);
      break;
    case kPushGated:
      pushGated(t);
      break;
    case kLateP2pCancel:
      lateP2pCancel(t);
      break;
    case kRecallOff:
      recallOff(t);
      break;
    default:
      inviteAfterRefusal(t);
      break;
  }
  return out_;
}

}  // namespace

RingCase makeRingCase(uint64_t seed, int64_t startMs, int64_t groupId,
                      const std::vector<CaseDevice>& devices, int64_t index) {
  return CasePlanner(seed, groupId, devices, index).plan(startMs);
}

}  // namespace mrtcsim
