// The actions a scenario step can take, in one table (step_actions.cc): each
// one's key in the scenario file, the reader of its value (step_readers.cc)
// and what the runner does with it (step_runs.cc). A new action is one row
// there, a reader and a runner.
#pragma once

#include <string>

#include "scenario.h"

namespace mrtcsim {

// The action with this key; null for any other key.
const StepAction* findStepAction(const std::string& name);

}  // namespace mrtcsim
