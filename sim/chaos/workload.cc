#include "chaos/workload.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/annotation_words.h"
#include "base/device_types.h"
#include "base/json.h"
#include "base/wire_words.h"
#include "chaos/workload_busy.h"
#include "chaos/workload_races.h"
#include "chaos/workload_rings.h"
#include "chaos/workload_step.h"
#include "faults/fault_plan.h"
#include "invariants/invariants.h"
#include "requests/request_texts.h"
#include "setting_text.h"

namespace mrtcsim {

namespace {

constexpr int64_t kFirstUser = 1001;
// A user with no client: the newer-version caller.
constexpr int64_t kPhantomUser = 1999;
constexpr int32_t kPc = imsdkmrtc::kDevicePc;
constexpr int32_t kPhone = imsdkmrtc::kDeviceAndroid;

using Writer = StepWriter;

// What every client sets after login: re-ringing every 30 s, twice;
// one-to-one calls on; the board on; the workload's group watched.
void writeSettings(Writer& w) {
  namespace keys = imsdkmrtc::texts::request;
  const std::pair<int, std::string> settings[] = {
      {imsdkmrtc::kExtraTypeRecall, codec::recallText(30, 2)},
      {imsdkmrtc::kExtraTypeP2pSwitch, codec::switchText(keys::kKeyEnable, true)},
      {imsdkmrtc::kExtraTypeBoardSwitch, codec::switchText(keys::kKeyBoardSwitch, true)},
      {imsdkmrtc::kExtraTypeWatchGroup,
       codec::settingText({{imsdkmrtc::texts::kKeyGroupId, std::to_string(kWorkloadGroupId)}})}};
  w.Key("settings");
  w.StartArray();
  for (const auto& [type, cmd] : settings) {
    w.StartObject();
    w.Key("type");
    w.Int(type);
    w.Key("cmd");
    w.RawValue(cmd.c_str(), cmd.size(), json::kObjectType);
    w.EndObject();
  }
  w.EndArray();
}

class Dice {
 public:
  explicit Dice(uint64_t seed) : rng_(seed) {}
  int64_t range(int64_t lo, int64_t hi) {
    return lo + static_cast<int64_t>(rng_() % static_cast<uint64_t>(hi - lo + 1));
  }
  bool chance(double p) { return unitOf(rng_()) < p; }
  template <typename T>
  const T& pick(const std::vector<T>& v) {
    return v[static_cast<size_t>(range(0, static_cast<int64_t>(v.size()) - 1))];
  }

 private:
  std::mt19937_64 rng_;
};

struct Device {
  std::string name;
  int64_t user;
  int32_t type;
};

// A step, written when the steps are put in time order.
struct Planned {
  int64_t atMs;
  int64_t order;
  std::string client;
  std::function<void(Writer&)> body;
};

class Builder : public busyPlanner {
 public:
  Builder(uint64_t seed, const std::set<std::string>& faults, int64_t maxGroup)
      : dice_(seed), faults_(faults), maxGroup_(std::max<int64_t>(2, maxGroup)) {}

  Workload build(uint64_t seed);

  void planStep(int64_t atMs, const std::string& client, StepBody body) override {
    plan(atMs, client, std::move(body));
  }
  void planRequest(int64_t atMs, const std::string& client, const char* what,
                   const char* annotation, bool group, const std::string& room,
                   const std::vector<int64_t>& members, const char* extend) override {
    request(atMs, client, what, annotation, group, room, members, extend);
  }
  int64_t roll(int64_t lo, int64_t hi) override { return dice_.range(lo, hi); }
  bool odds(double p) override { return dice_.chance(p); }
  std::string deviceName(int64_t user, bool* pc) override {
    const Device& d = deviceOf(user);
    *pc = d.type == kPc;
    return d.name;
  }

 private:
  bool has(const char* fault) const { return faults_.count(fault) != 0; }
  void plan(int64_t atMs, const std::string& client, std::function<void(Writer&)> body) {
    steps_.push_back({atMs, static_cast<int64_t>(steps_.size()), client, std::move(body)});
  }
  const Device& deviceOf(int64_t user) {
    std::vector<size_t> own;
    for (size_t i = 0; i < devices_.size(); ++i) {
      if (devices_[i].user == user) own.push_back(i);
    }
    return devices_[dice_.pick(own)];
  }
  void request(int64_t atMs, const std::string& client, const char* what, const char* annotation,
               bool group, const std::string& room, const std::vector<int64_t>& members,
               const char* extend = nullptr) {
    RequestStep step{
        what,    annotation == nullptr ? "" : annotation, group ? kWorkloadGroupId : 0, room,
        members, extend == nullptr ? "" : extend};
    plan(atMs, client, [step](Writer& w) { writeRequestStep(w, step); });
  }
  // A device that answered or joined: it leaves later, or its application
  // freezes in the talk.
  void leaveLater(int64_t atMs, const Device& d, bool group, const std::string& room) {
    if (dice_.chance(0.1)) {
      plan(atMs, d.name, [](Writer& w) {
        w.Key("freeze");
        w.Bool(true);
      });
    } else {
      request(atMs, d.name, "hungup", imsdkmrtc::texts::kHungupUiClick, group, room, {});
    }
  }
  // A callee's answer, refusal, busy reply or silence.
  void answer(int64_t startMs, int64_t user, bool group, const std::string& room) {
    const Device& d = deviceOf(user);
    const int64_t at = startMs + dice_.range(1000, 20000);
    const int64_t roll = dice_.range(0, 99);
    if (roll < 50) {
      request(at, d.name, "intoroom", imsdkmrtc::texts::kAccept, group, room, {user});
      leaveLater(at + dice_.range(5000, 150000), d, group, room);
    } else if (roll < 70) {
      request(at, d.name, "hungup", imsdkmrtc::texts::kRefuse, group, room, {});
    } else if (roll < 75) {
      request(at, d.name, "hungup", imsdkmrtc::texts::kBusy, group, room, {});
    }
  }
  void call(int64_t k, int64_t startMs);
  // One of the cases in which a ring must stop (workload_rings.h); returns
  // the time of its last step.
  int64_t planRingCase(int64_t startMs, int64_t index) {
    std::vector<CaseDevice> devices;
    for (const Device& d : devices_) devices.push_back({d.name, d.user});
    RingCase rc = makeRingCase(static_cast<uint64_t>(dice_.range(0, INT64_MAX - 1)), startMs,
                               kWorkloadGroupId, devices, index);
    int64_t last = startMs;
    for (const CaseStep& s : rc.steps) {
      last = std::max(last, s.atMs);
      plan(s.atMs, s.client, [body = s.body](Writer& w) {
        json::Document doc;
        doc.Parse(body.c_str(), body.size());
        for (auto m = doc.MemberBegin(); m != doc.MemberEnd(); ++m) {
          w.Key(m->name.GetString(), m->name.GetStringLength());
          m->value.Accept(w);
        }
      });
    }
    return last;
  }
  void addRaces(Workload& out, int64_t fromMs);
  void makePeople();
  int64_t planCalls(Workload& out);
  void planFaults(int64_t end);
  void writeUsersAndGroup(Writer& w) const;
  void writeClients(Writer& w, Workload& out);
  void writeHolds(Writer& w) const;
  Scenario writeFaults(Writer& w, uint64_t seed) const;

  Dice dice_;
  bool newer_ = false;  // a caller with a newer version rings the group
  std::set<std::string> faults_;
  int64_t maxGroup_;
  std::vector<int64_t> users_;
  std::vector<Device> devices_;
  std::vector<Planned> steps_;
  busyCases busy_{*this};
  std::vector<CallMade> made_;
  std::vector<HoldSpec> holds_;
};

void Builder::call(int64_t k, int64_t startMs) {
  const std::string room = "room-" + std::to_string(k);
  const int64_t caller = dice_.pick(users_);
  const Device& from = deviceOf(caller);
  std::vector<int64_t> others;
  for (int64_t u : users_) {
    if (u != caller) others.push_back(u);
  }
  const bool p2p = dice_.chance(0.35);
  std::vector<int64_t> callees;
  if (p2p) {
    callees.push_back(dice_.pick(others));
  } else {
    std::vector<int64_t> shuffled = others;
    for (size_t i = shuffled.size(); i > 1; --i) {
      std::swap(shuffled[i - 1],
                shuffled[static_cast<size_t>(dice_.range(0, static_cast<int64_t>(i) - 1))]);
    }
    int64_t n = dice_.chance(0.2) ? static_cast<int64_t>(shuffled.size())
                                  : dice_.range(1, std::min<int64_t>(8, shuffled.size()));
    callees.assign(shuffled.begin(), shuffled.begin() + n);
  }
  const bool group = !p2p;
  made_.push_back({room, from.name, callees, startMs, group});
  const char* extend = p2p ? kP2pCallExtend : kGroupCallExtend;
  request(startMs, from.name, "call", nullptr, group, room, callees, extend);
  std::vector<int64_t> outside;
  for (int64_t u : others) {
    if (std::find(callees.begin(), callees.end(), u) == callees.end()) outside.push_back(u);
  }
  const busyCall bc{room, from.name, caller, group, startMs, callees, outside, extend};
  busy_.beginCall(bc);
  for (int64_t callee : callees) {
    if (!busy_.answer(bc, callee, startMs + dice_.range(1000, 20000))) {
      answer(startMs, callee, group, room);
    }
  }
  int64_t callerLeaves = startMs + dice_.range(20000, 180000);
  if (p2p && dice_.chance(0.2)) {
    callerLeaves = startMs + dice_.range(1000, 12000);
    request(callerLeaves, from.name, "hungup", imsdkmrtc::texts::kCancelUiClick, false, room, {});
  } else if (busy_.togetherMs() >= 0) {
    callerLeaves = busy_.togetherMs();
    request(callerLeaves, from.name, "hungup", imsdkmrtc::texts::kHungupUiClick, group, room, {});
  } else {
    leaveLater(callerLeaves, from, group, room);
  }
  busy_.aroundCall(bc, callerLeaves);
  if (!group) return;
  if (!outside.empty() && dice_.chance(0.3)) {
    const int64_t invitee = dice_.pick(outside);
    const int64_t at = startMs + dice_.range(8000, 40000);
    request(at, from.name, "invite", nullptr, true, room, {invitee});
    answer(at, invitee, true, room);
  }
  if (!outside.empty() && dice_.chance(0.3)) {
    const Device& joiner = deviceOf(dice_.pick(outside));
    const int64_t at = startMs + dice_.range(5000, 60000);
    if (dice_.chance(0.5)) {
      request(at, joiner.name, "join", nullptr, true, room, {});
    } else {
      const std::string card = from.name;
      plan(at, joiner.name, [card](Writer& w) {
        w.Key("request");
        w.String("templetjoin");
        w.Key("extendFrom");
        w.StartObject();
        w.Key("client");
        w.String(card.c_str());
        w.Key("type");
        w.Int(26);
        w.EndObject();
      });
    }
    leaveLater(at + dice_.range(6000, 120000), joiner, true, room);
  }
}

// The users, and each user's devices: a computer, and a phone now and then.
void Builder::makePeople() {
  const int64_t roll = dice_.range(0, 99);
  const int64_t size = std::min(maxGroup_, roll < 60   ? dice_.range(2, 5)
                                           : roll < 92 ? dice_.range(6, 12)
                                                       : dice_.range(13, 50));
  for (int64_t i = 0; i < size; ++i) users_.push_back(kFirstUser + i);
  for (int64_t u : users_) {
    devices_.push_back({"u" + std::to_string(u), u, kPc});
    if (dice_.chance(0.3)) devices_.push_back({"u" + std::to_string(u) + "m", u, kPhone});
  }
}

// The calls, the races and the ring cases; returns the time of the last step.
int64_t Builder::planCalls(Workload& out) {
  int64_t t = dice_.range(1000, 5000);
  const int64_t calls = dice_.range(1, 4);
  for (int64_t k = 1; k <= calls; ++k) {
    call(k, t);
    t += dice_.range(10000, 120000);
  }
  out.calls = calls;
  addRaces(out, t);
  newer_ = dice_.chance(0.1);
  if (newer_) busy_.newerVersionCall(kPhantomUser, users_, dice_.range(1000, t));
  out.cases = busy_.counts();
  int64_t end = t;
  for (const Planned& p : steps_) end = std::max(end, p.atMs);
  if (dice_.chance(0.7)) {
    end = planRingCase(end + dice_.range(2000, 10000), calls + 1);
    ++out.calls;
  }
  return end;
}

// Device faults within the workload, then every application freezes.
void Builder::planFaults(int64_t end) {
  if (has("crash") && dice_.chance(0.6)) {
    const Device& d = dice_.pick(devices_);
    const int64_t at = dice_.range(1000, end);
    plan(at, d.name, [](Writer& w) {
      w.Key("crash");
      w.Bool(true);
    });
    plan(at + dice_.range(5000, 60000), d.name, [](Writer& w) {
      w.Key("restart");
      w.Bool(true);
    });
  }
  if (has("partition") && dice_.chance(0.6)) {
    const Device& d = dice_.pick(devices_);
    const int64_t at = dice_.range(1000, end);
    plan(at, d.name, [](Writer& w) {
      w.Key("cut");
      w.Bool(true);
    });
    plan(at + dice_.range(5000, 90000), d.name, [](Writer& w) {
      w.Key("cut");
      w.Bool(false);
    });
  }
  for (const Planned& p : steps_) end = std::max(end, p.atMs);
  end += 10000;
  for (const Device& d : devices_) {
    plan(end, d.name, [](Writer& w) {
      w.Key("freeze");
      w.Bool(true);
    });
  }
  std::stable_sort(steps_.begin(), steps_.end(), [](const Planned& a, const Planned& b) {
    return a.atMs != b.atMs ? a.atMs < b.atMs : a.order < b.order;
  });
}

void Builder::writeUsersAndGroup(Writer& w) const {
  w.Key("users");
  w.StartArray();
  std::vector<int64_t> everybody = users_;
  if (newer_) everybody.push_back(kPhantomUser);
  for (int64_t u : everybody) {
    w.StartObject();
    w.Key("id");
    w.Int64(u);
    w.Key("name");
    w.String(("User " + std::to_string(u)).c_str());
    w.EndObject();
  }
  w.EndArray();
  w.Key("groups");
  w.StartArray();
  w.StartObject();
  w.Key("id");
  w.Int64(kWorkloadGroupId);
  w.Key("members");
  w.StartArray();
  for (int64_t u : everybody) w.Int64(u);
  w.EndArray();
  w.EndObject();
  w.EndArray();
}

void Builder::writeClients(Writer& w, Workload& out) {
  w.Key("clients");
  w.StartArray();
  for (const Device& d : devices_) {
    w.StartObject();
    w.Key("name");
    w.String(d.name.c_str());
    w.Key("user");
    w.Int64(d.user);
    w.Key("device");
    w.Int(d.type);
    if (has("skew") && dice_.chance(0.5)) {
      w.Key("timeOffset");
      w.Int64(dice_.range(-30, 30));
      ++out.skewed;
    }
    writeSettings(w);
    w.EndObject();
  }
  w.EndArray();
}

// The faults the network plays; returns what bounds the run's end.
Scenario Builder::writeFaults(Writer& w, uint64_t seed) const {
  Scenario bound;
  bound.holds = holds_;
  w.Key("faults");
  w.StartObject();
  w.Key("seed");
  w.Int64(static_cast<int64_t>(seed & 0x7fffffffffffffffULL));
  if (has("loss")) {
    w.Key("loss");
    w.Double(0.03);
  }
  if (has("dup")) {
    w.Key("dup");
    w.Double(0.05);
  }
  if (has("delay")) {
    w.Key("delay");
    w.Double(0.1);
  }
  if (has("dup") || has("delay")) {
    w.Key("delayMax");
    w.Int(10);
    bound.faults.delayMaxMs = 10000;
  }
  if (has("media")) {
    w.Key("mediaLoss");
    w.Double(0.1);
    w.Key("mediaDup");
    w.Double(0.1);
    w.Key("mediaLate");
    w.Int(5);
    bound.faults.mediaLateMs = 5000;
  }
  w.EndObject();
  return bound;
}

Workload Builder::build(uint64_t seed) {
  Workload out;
  makePeople();
  planFaults(planCalls(out));

  json::StringBuffer buf;
  Writer w(buf);
  w.StartObject();
  w.Key("name");
  w.String(("chaos workload " + std::to_string(seed)).c_str());
  writeUsersAndGroup(w);
  writeClients(w, out);
  writeHolds(w);
  const Scenario bound = writeFaults(w, seed);
  w.Key("invariants");
  w.StartArray();
  w.String("all");
  w.EndArray();
  w.Key("runOut");
  w.Int64((talkEndBoundMs(bound) + 60000) / 1000);
  w.Key("steps");
  w.StartArray();
  for (const Planned& p : steps_) {
    w.StartObject();
    w.Key("at");
    if (p.atMs % 1000 == 0) {
      w.Int64(p.atMs / 1000);
    } else {
      w.Double(static_cast<double>(p.atMs) / 1000.0);
    }
    w.Key("client");
    w.String(p.client.c_str());
    p.body(w);
    w.EndObject();
  }
  w.EndArray();
  w.EndObject();
  out.text.assign(buf.GetString(), buf.GetSize());
  return out;
}

void Builder::addRaces(Workload& out, int64_t fromMs) {
  RaceHooks hooks;
  hooks.range = [this](int64_t lo, int64_t hi) { return dice_.range(lo, hi); };
  hooks.chance = [this](double p) { return dice_.chance(p); };
  hooks.plan = [this](int64_t atMs, const std::string& client, std::function<void(Writer&)> body) {
    plan(atMs, client, std::move(body));
  };
  hooks.deviceOf = [this](int64_t user) { return deviceOf(user).name; };
  RacePlan races = planRaces(hooks, users_, made_, fromMs);
  out.calls += races.calls;
  holds_ = std::move(races.holds);
}

void Builder::writeHolds(Writer& w) const {
  if (holds_.empty()) return;
  w.Key("holds");
  w.StartArray();
  for (const HoldSpec& h : holds_) {
    w.StartObject();
    w.Key("roomId");
    w.String(h.roomId.c_str());
    w.Key("command");
    w.String(h.command.c_str());
    if (!h.to.empty()) {
      w.Key("to");
      w.String(h.to.c_str());
    }
    w.Key("seconds");
    w.Double(static_cast<double>(h.ms) / 1000.0);
    w.EndObject();
  }
  w.EndArray();
}

}  // namespace

Workload makeWorkload(uint64_t seed, const std::set<std::string>& faults, int64_t maxGroup) {
  return Builder(seed, faults, maxGroup).build(seed);
}

}  // namespace mrtcsim
