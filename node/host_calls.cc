// What the node's host calls in its plug-in: the life cycle, messages in,
// and the application's requests.
#include "host_calls.h"

#include "address.h"
#include "describe.h"
#include "host.h"
#include "host_message.h"
#include "request_reader.h"

namespace node {

namespace {
thread_local Answers* tAnswers = nullptr;
}  // namespace

Answers::Answers() : outer_(tAnswers) { tAnswers = this; }
Answers::~Answers() { tAnswers = outer_; }

bool answering(const codec::Result& r) {
  if (tAnswers == nullptr) return false;
  tAnswers->results_.push_back(r);
  return true;
}

void NodeHost::attach(imsdk::IPlugin* plugin, XmppLink* link) {
  plugin->setHost(this);
  plugin_ = plugin;
  link_ = link;
}

void NodeHost::preLogin() {
  imsdk::postServerText text;
  plugin_->onpostServer(imsdk::kEventPreLogin, &text);
  out_.emit(out_.item(codec::kind::kLifecycle).set("event", "pre-login"));
}

void NodeHost::run(uint16_t cmdId, imsdk::_sdkcmd_base* record, codec::Item it) {
  const int64_t id = record != nullptr ? record->id : 0;
  Answers answers;
  out_.hold();
  imsdk::cmdEnvelope env{record, imsdk::kEnvelopeWordResult};
  plugin_->onRequest(cmdId, reinterpret_cast<uintptr_t>(&env), &env);
  if (record != nullptr) {
    plugin_->releaseCmd(cmdId, record, 0);
    codec::answerFields(it, answers.results(), 0, id);
  }
  out_.release(it);
}

void NodeHost::request(const codec::RequestFields& q) {
  const imsdk::req_mrtc_request fields = codec::toRecord(q);
  imsdk::_sdkcmd_base* record = plugin_->createCmd(q.cmd, true);
  if (auto* r = dynamic_cast<imsdk::req_mrtc_request*>(record)) {
    *r = fields;
    r->id = ++requestIds_;
  }
  codec::Item it = out_.item(codec::kind::kRequest);
  codec::requestFields(it, q.cmd, fields);
  run(q.cmd, record, std::move(it));
}

void NodeHost::extra(const codec::ExtraFields& e) {
  imsdk::_sdkcmd_base* record = plugin_->createCmd(imsdk::kCmdExtra, true);
  if (auto* r = dynamic_cast<imsdk::req_mrtc_extra*>(record)) {
    r->id = ++requestIds_;
    r->type = static_cast<int8_t>(e.type);
    r->cmd = e.cmd;
    r->extend = e.extend;
  }
  codec::Item it = out_.item(codec::kind::kRequest);
  codec::extraFields(it, e.type, e.cmd, e.extend);
  run(imsdk::kCmdExtra, record, std::move(it));
}

void NodeHost::keepAlive(bool automatic) {
  codec::Item it = out_.item(codec::kind::kRequest);
  it.set("cmd", int64_t{imsdk::kCmdKeepAlive});
  if (automatic) it.set("by", "application");
  run(imsdk::kCmdKeepAlive, nullptr, std::move(it));
}

void NodeHost::inject(int64_t target, uint16_t bodyType, const std::string& body,
                      const std::string& properties, const std::vector<int64_t>& limitRange) {
  static std::atomic<int64_t> injected{0};
  WireMessage m;
  // Ids of their own: the clock in tenths of ms, as a client's counter.
  m.msgId = getTimeMs() * 10 + (++injected % 10);
  m.senderId = userId_;
  m.senderDevice = device_;
  m.targetId = target;
  m.msgType = bodyType;
  m.msgTime = getTimeMs();
  m.body = body;
  m.properties = properties;
  m.limitRange = limitRange;
  resolveChat(m, dir_);
  codec::Item it = out_.item(codec::kind::kInject);
  it.set("senderId", m.senderId)
      .set("device", int64_t{m.senderDevice})
      .set("type", int64_t{m.msgType})
      .set("target", m.targetId)
      .set("limitRange", m.limitRange)
      .set("properties", m.properties);
  codec::describeBody(it, m.body);
  out_.emit(it.set("body", m.body));
  link_->send(std::move(m));
}

void NodeHost::linkUp() {
  if (everUp_) out_.emit(out_.item(codec::kind::kOnline).set("online", int64_t{1}));
  everUp_ = true;
  plugin_->onpostServer(imsdk::kEventLogin, nullptr);
  out_.emit(out_.item(codec::kind::kLifecycle).set("event", "login"));
}

void NodeHost::linkDown() { out_.emit(out_.item(codec::kind::kOnline).set("online", int64_t{0})); }

void NodeHost::serverOffset(int64_t ms) { offsetMs_ = ms; }

void NodeHost::pulled(const std::vector<WireMessage>& batch) {
  imsdk::postServerPulled pulled;
  for (const WireMessage& m : batch) pulled.messages.push_back(codec::toHostMessage(m));
  codec::Item it = out_.item(codec::kind::kPull);
  it.set("count", static_cast<int64_t>(batch.size()));
  out_.hold();
  plugin_->onpostServer(imsdk::kEventPulled, &pulled);
  codec::IdList statuses;
  for (const imsdk::hostMessage& hm : pulled.messages) statuses.push_back(hm.status);
  out_.release(it.set("statuses", statuses));
}

void NodeHost::received(const WireMessage& m) {
  codec::Item it = out_.item(codec::kind::kDeliver);
  codec::deliverFields(it, clientName(dir_, m.senderId, m.senderDevice), m.senderId, m.senderDevice,
                       m.msgType, m.targetId, m.chatId, m.body);
  out_.emit(it);
  imsdk::hostMessage hm = codec::toHostMessage(m);
  plugin_->onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&hm), 0);
}

}  // namespace node
