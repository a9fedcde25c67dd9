// What the runner does for each step action. The table that names them is
// in step_actions.cc; runStep has moved the clock to the step's time first
// and settles the network after.
#include <algorithm>

#include "describe.h"
#include "request_reader.h"
#include "requests/request_texts.h"
#include "run.h"
#include "sdk_cmd.h"
#include "signalling/wire_texts.h"

namespace mrtcsim {

using codec::describeBody;

void Run::runRequest(ClientState* cs, const Step& step) {
  imsdk::req_mrtc_request fields = codec::toRecord(step.request);
  if (!step.request.extendFromClient.empty())
    fields.extend = lastBodyOfType(step.request.extendFromClient, step.request.extendFromType);
  request(*cs, step.request.cmd, fields, "");
}

void Run::runExtra(ClientState* cs, const Step& step) { extra(*cs, step.extra, ""); }

void Run::runKeepAlive(ClientState* cs, const Step& /*step*/) {
  collect(*cs);
  cs->host->keepAlive();
  add(item(cs->spec->name, kind::kRequest).set("cmd", int64_t{imsdk::kCmdKeepAlive}));
  collect(*cs);
}

void Run::runAdvance(ClientState* /*cs*/, const Step& step) { advanceTo(now() + step.advanceMs); }

void Run::runInject(ClientState* /*cs*/, const Step& step) {
  const MessageSpec& m = step.message;
  std::string body = m.bodyFrom.empty() ? m.body : lastSignalBody(m.bodyFrom);
  Item it = item(m.as.empty() ? participant(m.senderId, m.device) : m.as, kind::kInject);
  it.set("senderId", m.senderId)
      .set("device", static_cast<int64_t>(m.device))
      .set("type", m.bodyType)
      .set("target", m.target)
      .set("limitRange", m.limitRange)
      .set("properties", m.properties);
  describeBody(it, body);
  it.set("body", body);
  add(std::move(it));
  net_.inject(m.senderId, m.device, m.target, body, static_cast<uint16_t>(m.bodyType), m.properties,
              m.limitRange, now() - m.ageMs);
}

void Run::runPull(ClientState* cs, const Step& step) {
  std::vector<imsdk::hostMessage> msgs;
  if (step.pullMissed) msgs = missedMessages(*cs);
  for (const MessageSpec& m : step.pulled) msgs.push_back(hostMessage(m));
  handOver(*cs, msgs);
}

void Run::runPush(ClientState* cs, const Step& step) {
  const PushSpec& p = step.push;
  std::string cmd = p.bodyFrom.empty() ? p.cmd : lastSignalBody(p.bodyFrom);
  int64_t sender = p.senderId;
  if (sender == 0 && !p.bodyFrom.empty()) sender = sc_.client(p.bodyFrom)->user;
  std::string extend = p.extend;
  if (extend.empty()) {
    int64_t stamp = now() + cs->spec->timeOffsetMs - p.ageMs;
    extend = std::string("{\"") + imsdkmrtc::texts::kKeySenderId + "\":\"" +
             std::to_string(sender) + "\",\"" + imsdkmrtc::texts::request::kKeyMsgStampTime +
             "\":\"" + std::to_string(stamp) + "\"}";
  }
  extra(*cs, ExtraSpec{imsdkmrtc::kExtraTypePushedCmd, cmd, extend}, "push");
}

void Run::runPreLogin(ClientState* cs, const Step& step) {
  collect(*cs);
  cs->host->preLogin(step.text);
  add(item(cs->spec->name, kind::kLifecycle).set("event", "pre-login").set("text", step.text));
  collect(*cs);
}

void Run::runLogin(ClientState* cs, const Step& /*step*/) {
  collect(*cs);
  cs->host->login();
  add(item(cs->spec->name, kind::kLifecycle).set("event", "login"));
  collect(*cs);
}

void Run::runOnline(ClientState* cs, const Step& step) {
  collect(*cs);
  if (!step.online) {
    goAway(*cs);
  } else {
    comeBack(*cs);
  }
  add(item(cs->spec->name, kind::kOnline).set("online", int64_t{step.online ? 1 : 0}));
}

void Run::runMedia(ClientState* /*cs*/, const Step& step) { media_ = step.media; }

void Run::runCrash(ClientState* cs, const Step& /*step*/) {
  collect(*cs);
  goAway(*cs);
  cs->host->attach(nullptr);
  libraryOf(*cs->spec).release(cs->plugin);
  cs->plugin = nullptr;
  ++result_.faults["crash"];
  add(item(cs->spec->name, kind::kLifecycle).set("event", "crash"));
}

void Run::runRestart(ClientState* cs, const Step& /*step*/) {
  if (cs->plugin != nullptr) throw RunError("client \"" + cs->spec->name + "\" did not crash");
  cs->plugin = libraryOf(*cs->spec).create();
  if (cs->plugin == nullptr) throw RunError("the plug-in library created no plug-in");
  {
    // What the host recorded while the plug-in was gone stays out of the
    // timeline (its timer posts excepted).
    const size_t timers = cs->seen.timers;
    cs->seen = cs->host->recordsAfter(cs->seen).to;
    cs->seen.timers = timers;
  }
  cs->host->attach(cs->plugin);
  add(item(cs->spec->name, kind::kLifecycle).set("event", "restart"));
  comeBack(*cs);
  cs->host->preLogin(cs->spec->preLoginText);
  cs->host->login();
  collect(*cs);
  for (const ExtraSpec& e : cs->spec->settings) extra(*cs, e, "setting");
  pullMissed(*cs);
}

void Run::runCut(ClientState* cs, const Step& step) {
  collect(*cs);
  if (step.cut) {
    cs->offlineSince = lastTraffic();
    cs->offlineUntil = -1;
    cs->host->setOnline(false);
    cs->host->updateConfig([](simhost::ClientConfig& c) { c.refuseSend = true; });
    ++result_.faults["partition"];
  } else {
    cs->host->setOnline(true);
    cs->host->updateConfig([](simhost::ClientConfig& c) { c.refuseSend = false; });
    cs->offlineUntil = lastTraffic();
  }
  add(item(cs->spec->name, kind::kOnline)
          .set("online", int64_t{step.cut ? 0 : 1})
          .set("partition", int64_t{1}));
  if (!step.cut) pullMissed(*cs);
}

void Run::runFreeze(ClientState* cs, const Step& /*step*/) {
  collect(*cs);
  setInTalk(*cs, false);
  leaveMedia(*cs);
  cs->appRunning = false;
  cs->frozen = true;
  add(item(cs->spec->name, kind::kLifecycle).set("event", "frozen"));
}

void Run::runRedeliver(ClientState* cs, const Step& step) {
  const std::string& command = step.redeliver.command;
  std::vector<simhost::NetMessage> sent = state(step.redeliver.from).host->sent();
  auto it = std::find_if(sent.rbegin(), sent.rend(), [&](const simhost::NetMessage& m) {
    Item probe;
    describeBody(probe, m.body);
    return probe.str("command") == command &&
           !(step.redeliver.notRecall && probe.str("flag") == imsdkmrtc::texts::wire::kFlagRecall);
  });
  if (it == sent.rend()) {
    // A random workload cannot know whether the message was ever sent
    // (the client may have been down): then there is nothing to copy.
    if (!sc_.invariants.empty()) return;
    throw RunError("client \"" + step.redeliver.from + "\" sent no " + command);
  }
  simhost::NetMessage copy = *it;
  if (step.redeliver.asNew) {
    copy.msgId = ++newIds_;
    copy.msgTime = now();
  }
  net_.redeliver(copy, cs->spec->name, 0);
}

}  // namespace mrtcsim
