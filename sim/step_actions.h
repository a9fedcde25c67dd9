// The actions a scenario step can take, in one table: each one's key in the
// scenario file, the reader of its value and what the runner does with it.
// A new action is one row there, a reader and a runner.
#pragma once

#include <string>

#include "reader.h"

namespace mrtcsim {

struct Scenario;
struct Step;
struct ClientState;
class Run;

// What a reader of an action's value is given.
struct StepInput {
  const codec::Reader& r;
  const codec::JValue& step;   // the whole step (a request's fields sit beside it)
  const codec::JValue& value;  // the action's own value
  const std::string& where;    // "step 4"
  const Scenario& sc;
};

struct StepAction {
  const char* name;  // its key in a step
  void (*read)(const StepInput& in, Step& step);
  void (Run::*run)(ClientState* cs, const Step& step);
  bool needsClient;   // the step must name its client
  bool asksApp;       // the application acts: nothing once it froze
  bool makesRequest;  // the step may expect a "result"
};

// The action with this key; null for any other key.
const StepAction* findStepAction(const std::string& name);

}  // namespace mrtcsim
