#include "chaos/workload_step.h"

namespace mrtcsim {

void writeRequestStep(StepWriter& w, const RequestStep& step) {
  w.Key("request");
  w.String(step.what);
  if (!step.annotation.empty()) {
    w.Key("annotation");
    w.String(step.annotation.c_str());
  }
  if (step.groupId != 0) {
    w.Key("groupId");
    w.Int64(step.groupId);
  }
  w.Key("roomId");
  w.String(step.room.c_str());
  if (!step.members.empty()) {
    w.Key("members");
    w.StartArray();
    for (int64_t m : step.members) w.Int64(m);
    w.EndArray();
  }
  if (!step.extend.empty()) {
    w.Key("extend");
    w.RawValue(step.extend.c_str(), step.extend.size(), json::kObjectType);
  }
}

}  // namespace mrtcsim
