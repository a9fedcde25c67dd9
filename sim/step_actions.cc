#include "step_actions.h"

#include "run.h"
#include "step_readers.h"

namespace mrtcsim {

namespace {

// name, reader, runner, needs a client, asks the application, makes a request
constexpr StepAction kActions[] = {
    {"request", readRequestStep, &Run::runRequest, true, true, true},
    {"extra", readExtraStep, &Run::runExtra, true, true, true},
    {"keepalive", readNothing, &Run::runKeepAlive, true, true, false},
    {"advance", readAdvanceStep, &Run::runAdvance, false, false, false},
    {"inject", readInjectStep, &Run::runInject, false, false, false},
    {"pull", readPullStep, &Run::runPull, true, false, false},
    {"push", readPushStep, &Run::runPush, true, false, true},
    {"prelogin", readPreLoginStep, &Run::runPreLogin, true, false, false},
    {"login", readTrueStep, &Run::runLogin, true, false, false},
    {"online", readOnlineStep, &Run::runOnline, true, false, false},
    {"mediaRoom", readMediaStep, &Run::runMedia, false, false, false},
    {"crash", readTrueStep, &Run::runCrash, true, false, false},
    {"restart", readTrueStep, &Run::runRestart, true, false, false},
    {"cut", readCutStep, &Run::runCut, true, false, false},
    {"freeze", readTrueStep, &Run::runFreeze, true, true, false},
    {"redeliver", readRedeliverStep, &Run::runRedeliver, true, false, false},
};

}  // namespace

const StepAction* findStepAction(const std::string& name) {
  for (const StepAction& a : kActions) {
    if (name == a.name) return &a;
  }
  return nullptr;
}

}  // namespace mrtcsim
