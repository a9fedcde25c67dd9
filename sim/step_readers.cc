#include "step_readers.h"

#include "request_reader.h"
#include "sdk_cmd.h"

namespace mrtcsim {

namespace {

using codec::JValue;
using codec::Reader;

MessageSpec readMessage(const Reader& r, const JValue& v, const std::string& where,
                        const Scenario& sc) {
  r.object(v, where);
  r.onlyKeys(v, where,
             {"as", "from", "device", "to", "body", "bodyFrom", "bodyType", "properties",
              "limitRange", "age", "msgId"});
  MessageSpec m;
  m.as = r.stringOr(v, "as", where);
  if (!m.as.empty()) {
    const ClientSpec* c = sc.client(m.as);
    if (c == nullptr) r.fail(where, "unknown client \"" + m.as + "\" in \"as\"");
    m.senderId = c->user;
    m.device = c->device;
  }
  if (const JValue* f = r.member(v, "from")) {
    if (!m.as.empty()) r.fail(where, "give either \"as\" or \"from\", not both");
    m.senderId = r.integer(*f, where, "from");
  }
  if (m.as.empty() && r.member(v, "from") == nullptr) {
    r.fail(where, "the sender is missing: \"as\" (a client) or \"from\" (a user id)");
  }
  m.device = static_cast<int32_t>(r.intOr(v, "device", m.device, where));
  m.target = r.integer(r.required(v, "to", where), where, "to");
  const JValue* body = r.member(v, "body");
  m.bodyFrom = r.stringOr(v, "bodyFrom", where);
  if ((body == nullptr) == m.bodyFrom.empty()) {
    r.fail(where, "give exactly one of \"body\" and \"bodyFrom\"");
  }
  if (body != nullptr) m.body = r.text(*body, where, "body");
  if (!m.bodyFrom.empty() && sc.client(m.bodyFrom) == nullptr) {
    r.fail(where, "unknown client \"" + m.bodyFrom + "\" in \"bodyFrom\"");
  }
  m.bodyType = r.intOr(v, "bodyType", imsdkmrtc::kMsgTypeAll, where);
  if (m.bodyType < 0 || m.bodyType > 255) r.fail(where, "\"bodyType\" must be 0..255");
  m.properties = r.textOr(v, "properties", where);
  m.limitRange = r.idsOr(v, "limitRange", where);
  if (const JValue* a = r.member(v, "age")) m.ageMs = r.seconds(*a, where, "age");
  m.msgId = r.intOr(v, "msgId", 0, where);
  return m;
}

void readRequestFields(const Reader& r, const JValue& v, const std::string& where,
                       const Scenario& sc, RequestSpec& q) {
  codec::readRequestFields(r, v, where, q);
  if (const JValue* from = r.member(v, "extendFrom")) {
    std::string at = where + ": extendFrom";
    r.object(*from, at);
    r.onlyKeys(*from, at, {"client", "type"});
    if (r.member(v, "extend") != nullptr) r.fail(where, "give either \"extend\" or \"extendFrom\"");
    q.extendFromClient = r.string(r.required(*from, "client", at), at, "client");
    if (sc.client(q.extendFromClient) == nullptr) {
      r.fail(at, "unknown client \"" + q.extendFromClient + "\"");
    }
    q.extendFromType = r.integer(r.required(*from, "type", at), at, "type");
  }
}

}  // namespace

MediaSpec readMedia(const Reader& r, const JValue& v, const std::string& where, MediaSpec base) {
  r.object(v, where);
  r.onlyKeys(v, where, {"enabled", "delay"});
  base.enabled = r.boolOr(v, "enabled", base.enabled, where);
  if (const JValue* d = r.member(v, "delay")) base.delayMs = r.seconds(*d, where, "delay");
  return base;
}

void readRequestStep(const StepInput& in, Step& s) {
  const Reader& r = in.r;
  s.request.cmd = codec::requestCode(r, in.value, in.where);
  if (s.request.cmd == imsdk::kCmdExtra) {
    r.fail(in.where, "use an \"extra\" step for request " + std::to_string(imsdk::kCmdExtra));
  }
  readRequestFields(r, in.step, in.where, in.sc, s.request);
}

void readExtraStep(const StepInput& in, Step& s) {
  s.extra = codec::readExtra(in.r, in.value, in.where + ": extra");
}

void readAdvanceStep(const StepInput& in, Step& s) {
  s.advanceMs = in.r.seconds(in.value, in.where, "advance");
}

void readInjectStep(const StepInput& in, Step& s) {
  s.message = readMessage(in.r, in.value, in.where + ": inject", in.sc);
}

void readPullStep(const StepInput& in, Step& s) {
  const Reader& r = in.r;
  const JValue& p = in.value;
  std::string at = in.where + ": pull";
  r.object(p, at);
  r.onlyKeys(p, at, {"missed", "messages"});
  s.pullMissed = r.boolOr(p, "missed", false, at);
  if (const JValue* list = r.member(p, "messages")) {
    if (!list->IsArray()) r.fail(at, "\"messages\" must be an array");
    int i = 0;
    for (const JValue& m : list->GetArray()) {
      s.pulled.push_back(readMessage(r, m, at + ": messages[" + std::to_string(i++) + "]", in.sc));
    }
  }
}

void readPushStep(const StepInput& in, Step& s) {
  const Reader& r = in.r;
  const JValue& p = in.value;
  std::string at = in.where + ": push";
  r.object(p, at);
  r.onlyKeys(p, at, {"from", "cmd", "bodyFrom", "extend", "age"});
  s.push.senderId = r.intOr(p, "from", 0, at);
  s.push.cmd = r.textOr(p, "cmd", at);
  s.push.bodyFrom = r.stringOr(p, "bodyFrom", at);
  if (!s.push.bodyFrom.empty() && in.sc.client(s.push.bodyFrom) == nullptr) {
    r.fail(at, "unknown client \"" + s.push.bodyFrom + "\" in \"bodyFrom\"");
  }
  if (!s.push.cmd.empty() && !s.push.bodyFrom.empty()) {
    r.fail(at, "give either \"cmd\" or \"bodyFrom\", not both");
  }
  s.push.extend = r.textOr(p, "extend", at);
  if (const JValue* a = r.member(p, "age")) s.push.ageMs = r.seconds(*a, at, "age");
}

void readPreLoginStep(const StepInput& in, Step& s) {
  s.text = in.r.string(in.value, in.where, "prelogin");
}

void readOnlineStep(const StepInput& in, Step& s) {
  s.online = in.r.boolean(in.value, in.where, "online");
}

void readCutStep(const StepInput& in, Step& s) { s.cut = in.r.boolean(in.value, in.where, "cut"); }

void readMediaStep(const StepInput& in, Step& s) {
  s.media = readMedia(in.r, in.value, in.where + ": mediaRoom", in.sc.media);
}

void readRedeliverStep(const StepInput& in, Step& s) {
  const Reader& r = in.r;
  const JValue& p = in.value;
  std::string at = in.where + ": redeliver";
  r.object(p, at);
  r.onlyKeys(p, at, {"from", "command", "asNew", "notRecall"});
  s.redeliver.from = r.string(r.required(p, "from", at), at, "from");
  if (in.sc.client(s.redeliver.from) == nullptr)
    r.fail(at, "unknown client \"" + s.redeliver.from + "\"");
  s.redeliver.command = r.string(r.required(p, "command", at), at, "command");
  s.redeliver.asNew = r.boolOr(p, "asNew", false, at);
  s.redeliver.notRecall = r.boolOr(p, "notRecall", false, at);
}

void readTrueStep(const StepInput& in, Step& /*s*/) {
  const char* name = in.action;
  if (!in.r.boolean(in.value, in.where, name)) {
    in.r.fail(in.where, "\"" + std::string(name) + "\" must be true");
  }
}

void readNothing(const StepInput& /*in*/, Step& /*s*/) {}

}  // namespace mrtcsim
