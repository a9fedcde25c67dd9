// Readers of the step actions' values, and of the parts of a scenario they
// share with the rest of the file (media room settings).
#pragma once

#include <string>

#include "reader.h"
#include "scenario.h"

namespace mrtcsim {

// What a reader of an action's value is given.
struct StepInput {
  const codec::Reader& r;
  const codec::JValue& step;   // the whole step (a request's fields sit beside it)
  const codec::JValue& value;  // the action's own value
  const std::string& where;    // "step 4"
  const Scenario& sc;
  const char* action;  // the action's key
};

MediaSpec readMedia(const codec::Reader& r, const codec::JValue& v, const std::string& where,
                    MediaSpec base);

// One per action: fills the step from its value.
void readRequestStep(const StepInput& in, Step& s);
void readExtraStep(const StepInput& in, Step& s);
void readAdvanceStep(const StepInput& in, Step& s);
void readInjectStep(const StepInput& in, Step& s);
void readPullStep(const StepInput& in, Step& s);
void readPushStep(const StepInput& in, Step& s);
void readPreLoginStep(const StepInput& in, Step& s);
void readOnlineStep(const StepInput& in, Step& s);
void readCutStep(const StepInput& in, Step& s);
void readMediaStep(const StepInput& in, Step& s);
void readRedeliverStep(const StepInput& in, Step& s);
// Actions whose value must be true (login, crash, restart, freeze,
// keepalive takes any).
void readTrueStep(const StepInput& in, Step& s);
void readNothing(const StepInput& in, Step& s);

}  // namespace mrtcsim
