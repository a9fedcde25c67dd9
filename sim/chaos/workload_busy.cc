#include "chaos/workload_busy.h"

#include <algorithm>

#include "base/annotation_words.h"
#include "base/device_types.h"
#include "requests/request_texts.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"

namespace mrtcsim {

namespace {

constexpr int32_t kPhone = imsdkmrtc::kDeviceAndroid;
constexpr int32_t kCardType = imsdkmrtc::kMsgTypeCard;
constexpr const char* kNewerVersion = "mrtc@2.0.0";
constexpr int64_t kReRingMs = 30000;

// Case names, as the chaos table prints them.
constexpr const char* kBoardJoinRinging = "board join while ringing";
constexpr const char* kCardJoinRinging = "card join while ringing";
constexpr const char* kBoardJoinAfterEnd = "board join after the end";
constexpr const char* kCardJoinAfterEnd = "card join after the end";
constexpr const char* kInviteAlreadyIn = "invite of members in";
constexpr const char* kInviteNoGroup = "invite without group";
constexpr const char* kDoubleClick = "double-clicked call";
constexpr const char* kHangupTogether = "hang-ups together";
constexpr const char* kCallsOff = "calls off mid-call";
constexpr const char* kNewerCall = "newer-version call";
constexpr const char* kNewerReRing = "newer-version re-ring";
constexpr const char* kInviteSeveral = "several invited";
constexpr const char* kFreshCall = "fresh call after a case";

}  // namespace

const std::vector<std::string>& busyCaseNames() {
  static const std::vector<std::string> kNames = {
      kBoardJoinRinging, kCardJoinRinging, kBoardJoinAfterEnd, kCardJoinAfterEnd, kInviteAlreadyIn,
      kInviteNoGroup,    kDoubleClick,     kHangupTogether,    kCallsOff,         kNewerCall,
      kNewerReRing,      kInviteSeveral,   kFreshCall};
  return kNames;
}

namespace {

StepBody cardJoin(const std::string& cardClient) {
  return [cardClient](StepWriter& w) {
    w.Key("request");
    w.String("templetjoin");
    w.Key("extendFrom");
    w.StartObject();
    w.Key("client");
    w.String(cardClient.c_str());
    w.Key("type");
    w.Int(kCardType);
    w.EndObject();
  };
}

StepBody callsSwitch(bool on) {
  return [on](StepWriter& w) {
    w.Key("extra");
    w.StartObject();
    w.Key("type");
    w.Int(imsdkmrtc::kExtraTypePcOnOff);
    w.Key("cmd");
    w.StartObject();
    w.Key(imsdkmrtc::texts::request::kKeyPcOnOff);
    w.String(on ? "on" : "off");
    w.EndObject();
    w.EndObject();
  };
}

void writeIds(StepWriter& w, const std::vector<int64_t>& ids) {
  w.StartArray();
  for (int64_t id : ids) w.Int64(id);
  w.EndArray();
}

StepBody newerCall(int64_t from, const std::string& room, const std::vector<int64_t>& selects,
                   bool reRing) {
  return [=](StepWriter& w) {
    const std::string sender = std::to_string(from);
    w.Key("inject");
    w.StartObject();
    w.Key("from");
    w.Int64(from);
    w.Key("device");
    w.Int(kPhone);
    w.Key("to");
    w.Int64(kWorkloadGroupId);
    w.Key("limitRange");
    writeIds(w, selects);
    w.Key("body");
    w.StartObject();
    namespace wire = imsdkmrtc::texts::wire;
    namespace texts = imsdkmrtc::texts;
    for (const auto& kv : std::vector<std::pair<const char*, std::string>>{
             {wire::kType, wire::kCmdNameCall},
             {texts::kKeySenderId, sender},
             {texts::kKeyGroupId, std::to_string(kWorkloadGroupId)},
             {wire::kOnwerId, sender},
             {texts::kKeyRoomId, room},
             {wire::kDeviceType, std::to_string(kPhone)},
             {wire::kVersion, kNewerVersion},
             {wire::kVideoStatus, texts::kVideoStatusMulti},
             {wire::kRtcType, texts::kRtc}}) {
      w.Key(kv.first);
      w.String(kv.second.c_str());
    }
    w.Key(wire::kSelects);
    writeIds(w, selects);
    std::vector<int64_t> members = selects;
    members.insert(members.begin(), from);
    w.Key(wire::kMembers);
    writeIds(w, members);
    if (reRing) {
      w.Key(wire::kFlag);
      w.String(wire::kFlagRecall);
    }
    w.EndObject();
    w.EndObject();
  };
}

}  // namespace

void busyCases::beginCall(const busyCall& call) {
  togetherTaken_ = false;
  togetherMs_ = -1;
  if (call.group && p_.odds(0.15)) {
    togetherMs_ = call.startMs + p_.roll(25000, 120000);
    ++counts_[kHangupTogether];
  }
}

bool busyCases::answer(const busyCall& call, int64_t user, int64_t atMs) {
  if (call.group && p_.odds(0.08)) {
    joinWhileRinging(call, user, atMs);
    return true;
  }
  bool pc = false;
  if (togetherMs_ > atMs + 1000 && !togetherTaken_ && p_.odds(0.6)) {
    // The caller and this callee leave at the same moment.
    togetherTaken_ = true;
    const std::string device = p_.deviceName(user, &pc);
    p_.planRequest(atMs, device, "intoroom", imsdkmrtc::texts::kAccept, call.group, call.room,
                   {user}, nullptr);
    p_.planRequest(togetherMs_, device, "hungup", imsdkmrtc::texts::kHungupUiClick, call.group,
                   call.room, {}, nullptr);
    return true;
  }
  if (p_.odds(0.06)) {
    const std::string device = p_.deviceName(user, &pc);
    if (!pc) return false;
    const int64_t leave = atMs + p_.roll(10000, 100000);
    p_.planRequest(atMs, device, "intoroom", imsdkmrtc::texts::kAccept, call.group, call.room,
                   {user}, nullptr);
    const int64_t back = callsOffMidCall(device, call.group, call.room, atMs, leave);
    if (p_.odds(0.5)) freshCall(call, user, back + p_.roll(1000, 20000));
    return true;
  }
  return false;
}

void busyCases::joinWhileRinging(const busyCall& call, int64_t user, int64_t atMs) {
  bool pc = false;
  const std::string device = p_.deviceName(user, &pc);
  if (p_.odds(0.5)) {
    p_.planRequest(atMs, device, "join", nullptr, true, call.room, {}, nullptr);
    ++counts_[kBoardJoinRinging];
  } else {
    p_.planStep(atMs, device, cardJoin(call.callerDevice));
    ++counts_[kCardJoinRinging];
  }
  p_.planRequest(atMs + p_.roll(5000, 100000), device, "hungup", imsdkmrtc::texts::kHungupUiClick,
                 true, call.room, {}, nullptr);
}

void busyCases::freshCall(const busyCall& call, int64_t user, int64_t atMs) {
  if (user == call.caller) return;
  const std::string room = call.room + "-again" + std::to_string(++fresh_);
  p_.planRequest(atMs, call.callerDevice, "call", nullptr, true, room, {user}, kGroupCallExtend);
  bool pc = false;
  const std::string device = p_.deviceName(user, &pc);
  p_.planRequest(atMs + p_.roll(2000, 10000), device, "hungup", imsdkmrtc::texts::kRefuse, true,
                 room, {}, nullptr);
  p_.planRequest(atMs + p_.roll(12000, 30000), call.callerDevice, "hungup",
                 imsdkmrtc::texts::kHungupUiClick, true, room, {}, nullptr);
  ++counts_[kFreshCall];
}

int64_t busyCases::callsOffMidCall(const std::string& device, bool group, const std::string& room,
                                   int64_t inMs, int64_t leaveMs) {
  p_.planStep(inMs + p_.roll(1000, std::max<int64_t>(1000, leaveMs - inMs - 1000)), device,
              callsSwitch(false));
  p_.planRequest(leaveMs, device, "hungup", imsdkmrtc::texts::kHungupUiClick, group, room, {},
                 nullptr);
  const int64_t back = leaveMs + p_.roll(1000, 30000);
  p_.planStep(back, device, callsSwitch(true));
  ++counts_[kCallsOff];
  return back;
}

void busyCases::aroundCall(const busyCall& call, int64_t callerLeavesMs) {
  if (!call.group) return;
  // A group call runs until its caller leaves. (A one-to-one call may be over
  // within the second, refused or answered busy; a second click then places
  // it anew, which is the application's doing.)
  if (p_.odds(0.1)) {
    p_.planRequest(call.startMs + p_.roll(200, 1500), call.callerDevice, "call", nullptr,
                   call.group, call.room, call.callees, call.extend.c_str());
    ++counts_[kDoubleClick];
  }
  const int64_t inviteAt = call.startMs + p_.roll(8000, 40000);
  if (inviteAt < callerLeavesMs && p_.odds(0.12)) {
    // The application passes the whole list it shows, the caller included.
    std::vector<int64_t> list = call.callees;
    list.push_back(call.caller);
    if (!call.outside.empty() && p_.odds(0.5)) {
      list.push_back(call.outside[static_cast<size_t>(
          p_.roll(0, static_cast<int64_t>(call.outside.size()) - 1))]);
    }
    p_.planRequest(inviteAt, call.callerDevice, "invite", nullptr, true, call.room, list, nullptr);
    ++counts_[kInviteAlreadyIn];
  }
  const int64_t secondAt = call.startMs + p_.roll(8000, 40000);
  if (!call.outside.empty() && secondAt < callerLeavesMs && p_.odds(0.15)) {
    std::vector<int64_t> pool = call.outside;
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(pool.size()), p_.roll(1, 3));
    std::vector<int64_t> invitees(pool.begin(), pool.begin() + n);
    const bool noGroup = p_.odds(0.4);
    p_.planRequest(secondAt, call.callerDevice, "invite", nullptr, !noGroup, call.room, invitees,
                   nullptr);
    ++counts_[noGroup ? kInviteNoGroup : kInviteSeveral];
    for (int64_t user : invitees) {
      if (!p_.odds(0.5)) continue;
      bool pc = false;
      const std::string device = p_.deviceName(user, &pc);
      const int64_t at = secondAt + p_.roll(1000, 60000);
      p_.planRequest(at, device, "intoroom", imsdkmrtc::texts::kAccept, true, call.room, {user},
                     nullptr);
      p_.planRequest(at + p_.roll(5000, 90000), device, "hungup", imsdkmrtc::texts::kHungupUiClick,
                     true, call.room, {}, nullptr);
    }
  }
  if (p_.odds(0.06)) {
    std::vector<int64_t> pool = call.callees;
    pool.insert(pool.end(), call.outside.begin(), call.outside.end());
    const int64_t joiner =
        pool[static_cast<size_t>(p_.roll(0, static_cast<int64_t>(pool.size()) - 1))];
    bool pc = false;
    const std::string device = p_.deviceName(joiner, &pc);
    const int64_t at = call.startMs + 200000 + p_.roll(0, 60000);
    if (p_.odds(0.5)) {
      p_.planStep(at, device, cardJoin(call.callerDevice));
      ++counts_[kCardJoinAfterEnd];
    } else {
      p_.planRequest(at, device, "join", nullptr, true, call.room, {}, nullptr);
      ++counts_[kBoardJoinAfterEnd];
    }
    p_.planRequest(at + p_.roll(30000, 60000), device, "hungup", imsdkmrtc::texts::kHungupUiClick,
                   true, call.room, {}, nullptr);
    // A join that nobody answers has given up long before that hang-up.
    if (p_.odds(0.7)) freshCall(call, joiner, at + p_.roll(12000, 25000));
  }
}

void busyCases::newerVersionCall(int64_t phantom, const std::vector<int64_t>& users, int64_t atMs) {
  phantom_ = phantom;
  std::vector<int64_t> selects;
  for (int64_t u : users) {
    if (selects.size() < 3 && p_.odds(0.5)) selects.push_back(u);
  }
  if (selects.empty()) selects.push_back(users.front());
  bool pc = false;
  const std::string client = p_.deviceName(selects.front(), &pc);
  const std::string room = "room-newer";
  p_.planStep(atMs, client, newerCall(phantom, room, selects, false));
  p_.planStep(atMs + kReRingMs, client, newerCall(phantom, room, selects, true));
  p_.planStep(atMs + 2 * kReRingMs, client, newerCall(phantom, room, selects, true));
  ++counts_[kNewerCall];
  counts_[kNewerReRing] += 2;
}

}  // namespace mrtcsim
