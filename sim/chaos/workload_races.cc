#include "chaos/workload_races.h"

#include <algorithm>

#include "base/annotation_words.h"
#include "chaos/workload_step.h"
#include "signalling/wire_texts.h"

namespace mrtcsim {

namespace {

constexpr const char* kCallCommand = imsdkmrtc::texts::wire::kCmdNameCall;
constexpr const char* kInviteCommand = imsdkmrtc::texts::wire::kCmdNameInvite;

// Past the 120 s a live call can still be answered in, by up to five
// minutes more (clock skew of up to 30 s either way included).
constexpr int64_t kHeldMinMs = 121000;
constexpr int64_t kHeldMaxMs = 420000;

class RacePlanner {
 public:
  RacePlanner(RaceHooks& hooks, const std::vector<int64_t>& users) : h_(hooks), users_(users) {}

  void request(int64_t at, const std::string& client, const char* what, const char* annotation,
               const std::string& room, const std::vector<int64_t>& members,
               const char* extend = nullptr) {
    RequestStep step{what,    annotation == nullptr ? "" : annotation, 0, room,
                     members, extend == nullptr ? "" : extend};
    h_.plan(at, client, [step](StepWriter& w) { writeRequestStep(w, step); });
  }

  // Two users ring each other one-to-one at about the same moment; each call
  // is held on the network long enough to meet the other side's own.
  void crossing(int64_t k, int64_t at, RacePlan& out) {
    const int64_t a = users_[static_cast<size_t>(h_.range(0, users_.size() - 1))];
    int64_t b = a;
    while (b == a) b = users_[static_cast<size_t>(h_.range(0, users_.size() - 1))];
    const bool aSmaller = h_.chance(0.5);
    const std::string base = "room-x" + std::to_string(k);
    const std::string roomA = base + (aSmaller ? "a" : "b");
    const std::string roomB = base + (aSmaller ? "b" : "a");
    const std::string devA = h_.deviceOf(a);
    const std::string devB = h_.deviceOf(b);
    const int64_t gap = h_.range(0, 1500);
    request(at, devA, "call", nullptr, roomA, {b}, kP2pCallExtend);
    request(at + gap, devB, "call", nullptr, roomB, {a}, kP2pCallExtend);
    out.holds.push_back({roomA, kCallCommand, "", h_.range(gap + 200, 3000)});
    out.holds.push_back({roomB, kCallCommand, "", h_.range(200, 3000)});
    out.calls += 2;
    // The smaller room goes on: its callee answers it, declines it, or lets
    // it ring while its caller gives up.
    const std::string& winRoom = aSmaller ? roomA : roomB;
    const std::string& winDev = aSmaller ? devA : devB;
    const int64_t loser = aSmaller ? b : a;
    const int64_t roll = h_.range(0, 99);
    const int64_t answerAt = at + h_.range(5000, 20000);
    if (roll < 60) {
      const std::string answerer = h_.deviceOf(loser);
      request(answerAt, answerer, "intoroom", imsdkmrtc::texts::kAccept, winRoom, {loser});
      request(answerAt + h_.range(5000, 60000), answerer, "hungup",
              imsdkmrtc::texts::kHungupUiClick, winRoom, {});
      request(answerAt + h_.range(5000, 60000), winDev, "hungup", imsdkmrtc::texts::kHungupUiClick,
              winRoom, {});
    } else if (roll < 80) {
      request(answerAt, h_.deviceOf(loser), "hungup", imsdkmrtc::texts::kRefuse, winRoom, {});
    } else {
      request(at + h_.range(20000, 60000), winDev, "hungup", imsdkmrtc::texts::kCancelUiClick,
              winRoom, {});
    }
  }

  // The caller's call message reaches a callee once more, as a new message,
  // seconds to hours after the call: it must not ring for a call that ended.
  void copyLater(const CallMade& call) {
    const int64_t roll = h_.range(0, 99);
    int64_t after = h_.range(5000, 120000);
    if (roll >= 95) {
      after = h_.range(3600000, 3 * 3600000);
    } else if (roll >= 70) {
      after = h_.range(120000, 1800000);
    }
    const int64_t callee = call.callees[static_cast<size_t>(h_.range(0, call.callees.size() - 1))];
    const std::string from = call.callerDevice;
    // After the longest the call can last here: answered and left (180 s),
    // or rung out (98 s) after a recall.
    h_.plan(call.startMs + 200000 + after, h_.deviceOf(callee), [from](StepWriter& w) {
      w.Key("redeliver");
      w.StartObject();
      w.Key("from");
      w.String(from.c_str());
      w.Key("command");
      w.String(kCallCommand);
      w.Key("asNew");
      w.Bool(true);
      w.Key("notRecall");
      w.Bool(true);
      w.EndObject();
    });
  }

  // Every live delivery of the call (or of an invitation into it) to one
  // callee's device comes minutes late.
  void holdLate(const CallMade& call, RacePlan& out) {
    const int64_t callee = call.callees[static_cast<size_t>(h_.range(0, call.callees.size() - 1))];
    const char* command = call.group && h_.chance(0.3) ? kInviteCommand : kCallCommand;
    out.holds.push_back(
        {call.room, command, h_.deviceOf(callee), h_.range(kHeldMinMs, kHeldMaxMs)});
  }

 private:
  RaceHooks& h_;
  const std::vector<int64_t>& users_;
};

}  // namespace

RacePlan planRaces(RaceHooks& hooks, const std::vector<int64_t>& users,
                   const std::vector<CallMade>& made, int64_t fromMs) {
  RacePlan out;
  RacePlanner planner(hooks, users);
  for (const CallMade& call : made) {
    if (call.callees.empty()) continue;
    if (hooks.chance(0.25)) planner.copyLater(call);
    if (hooks.chance(0.1)) planner.holdLate(call, out);
  }
  if (users.size() >= 2 && hooks.chance(0.35)) {
    const int64_t crossings = hooks.range(1, 2);
    int64_t at = fromMs;
    for (int64_t k = 1; k <= crossings; ++k) {
      planner.crossing(k, at, out);
      at += hooks.range(90000, 200000);
    }
  }
  return out;
}

}  // namespace mrtcsim
