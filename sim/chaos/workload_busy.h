// Workload cases where a person drives the application: joins from the board
// or the card while ringing and after the end, invites of members already in
// and without a group, double clicks, the last two hanging up together,
// calls switched off mid-call, a newer client's re-rung calls, and several
// users invited at once while re-ringing is on.
//
// The workload builder hands each call to busyCases through the small
// busyPlanner interface; busyCases draws from the same dice, so a seed still
// makes one workload.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "chaos/workload_step.h"

namespace mrtcsim {

// What the busy cases need of the workload builder.
class busyPlanner {
 public:
  virtual ~busyPlanner() = default;
  virtual void planStep(int64_t atMs, const std::string& client, StepBody body) = 0;
  virtual void planRequest(int64_t atMs, const std::string& client, const char* what,
                           const char* annotation, bool group, const std::string& room,
                           const std::vector<int64_t>& members, const char* extend) = 0;
  virtual int64_t roll(int64_t lo, int64_t hi) = 0;
  virtual bool odds(double p) = 0;
  // A device of user: its client name, and whether it is a PC.
  virtual std::string deviceName(int64_t user, bool* pc) = 0;
};

// The cases the busy workloads make, as the chaos table names them.
const std::vector<std::string>& busyCaseNames();

// One call as the builder planned it.
struct busyCall {
  std::string room;
  std::string callerDevice;
  int64_t caller = 0;
  bool group = false;
  int64_t startMs = 0;
  std::vector<int64_t> callees;
  std::vector<int64_t> outside;  // group members not called
  std::string extend;            // the call request's extend
};

class busyCases {
 public:
  explicit busyCases(busyPlanner& planner) : p_(planner) {}

  // How a callee answers, instead of the builder's own roll: true when a
  // busy case took the answer (a join from the board or the card while
  // ringing, or an answer that later hangs up together with the caller).
  bool answer(const busyCall& call, int64_t user, int64_t atMs);
  // The caller's leave time when it hangs up together with a callee; -1 when
  // it leaves on its own.
  int64_t togetherMs() const { return togetherTaken_ ? togetherMs_ : -1; }
  // Cases around the call: double clicks, invites, a card join after the end.
  void aroundCall(const busyCall& call, int64_t callerLeavesMs);
  // A newer client's call with its re-rings, from phantom (a user with no
  // client) to some of users.
  void newerVersionCall(int64_t phantom, const std::vector<int64_t>& users, int64_t atMs);
  // The phantom user, when a newer client's call was planned (0 otherwise).
  int64_t phantom() const { return phantom_; }

  // Counts of each case planned, by name.
  const std::map<std::string, int64_t>& counts() const { return counts_; }

  // Called at the start of each call.
  void beginCall(const busyCall& call);

 private:
  void joinWhileRinging(const busyCall& call, int64_t user, int64_t atMs);
  // A fresh group call from callerDevice to user at atMs: it must ring.
  void freshCall(const busyCall& call, int64_t user, int64_t atMs);
  // Returns when calls are switched on again.
  int64_t callsOffMidCall(const std::string& device, bool group, const std::string& room,
                          int64_t inMs, int64_t leaveMs);

  busyPlanner& p_;
  int64_t togetherMs_ = -1;
  bool togetherTaken_ = false;
  int64_t phantom_ = 0;
  int64_t fresh_ = 0;  // fresh rooms planned so far
  std::map<std::string, int64_t> counts_;
};

}  // namespace mrtcsim
