// Runs a scenario: one simulated host and one plug-in object per client on
// the simulated IM network, on the commLib clock switched to virtual time.
//
// The runner plays the applications too: it sends each client's settings,
// keeps a talk alive with request 24008 while the application believes it
// is in one, and plays the media rooms (request 24009 on the other clients
// when somebody enters or leaves). It records everything in the timeline and
// checks each step's expectations against what happened during that step.
//
// One run at a time per process (the clock is global). The runner's own
// thread does everything; the plug-ins' timer threads run only inside
// commlib::advance, which waits until they sleep again.
#pragma once

#include "plugin_loader.h"
#include "run_result.h"
#include "scenario.h"
#include "timeline.h"

namespace mrtcsim {

RunResult runScenario(const Scenario& scenario, const simhost::PluginLibrary& library);

}  // namespace mrtcsim
