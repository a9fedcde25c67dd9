// What every chaos workload planner shares: the step writer, the group the
// users are in, and the request step, written one way for the main workload
// and the race workloads so that both plan the same keys.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/json.h"

namespace mrtcsim {

using StepWriter = json::Writer<json::StringBuffer>;
// Writes a step's action keys.
using StepBody = std::function<void(StepWriter&)>;

// The group every workload's users are members of.
constexpr int64_t kWorkloadGroupId = 5001;

// The extend texts of the workloads' one-to-one and group calls.
constexpr char kP2pCallExtend[] = "{\"rtcType\":\"p2pconfer\"}";
constexpr char kGroupCallExtend[] = "{\"rtcType\":\"rtc\",\"conferMode\":\"chat\"}";

struct RequestStep {
  const char* what = "";   // the request, as a scenario names it
  std::string annotation;  // none when empty
  int64_t groupId = 0;     // none when 0 (a one-to-one call)
  std::string room;
  std::vector<int64_t> members;  // none when empty
  std::string extend;            // a JSON object; none when empty
};

// Writes the step's action keys.
void writeRequestStep(StepWriter& w, const RequestStep& step);

}  // namespace mrtcsim
