#include "recording_plugin.h"

#include "crossing.h"
#include "recorder.h"

namespace mrtcrecord {

namespace {

using codec::Item;
namespace kind = codec::kind;

void finish(Item& it, int slot, codec::Value ret) {
  it.set("slot", int64_t{slot}).set("ret", std::move(ret));
  Recorder::get().write(it);
}

int64_t flag(bool b) { return b ? 1 : 0; }

// A slot the plug-in does not use: its words as they came.
Item plain(const Crossing& c, const std::string& client, codec::IdList args) {
  Item it = c.entry(client, kind::kSlot);
  it.set("args", std::move(args));
  return it;
}

int64_t word(uintptr_t w) { return static_cast<int64_t>(w); }

}  // namespace

void RecordingPlugin::setHost(imsdk::IHostService* host) {
  Crossing c;
  imsdk::IHostService* wrapped = nullptr;
  if (host != nullptr) {
    hosts_.push_back(std::make_unique<RecordingHost>(host, client_));
    wrapped = hosts_.back().get();
  }
  real_->setHost(wrapped);
  Item it = plain(c, client_, {flag(host != nullptr)});
  finish(it, 0, int64_t{0});
}

bool RecordingPlugin::slot1(uint32_t a, uint32_t b) {
  Crossing c;
  const bool v = real_->slot1(a, b);
  Item it = plain(c, client_, {a, b});
  finish(it, 1, flag(v));
  return v;
}

std::string RecordingPlugin::getName() {
  Crossing c;
  std::string v = real_->getName();
  Item it = plain(c, client_, {});
  finish(it, 2, v);
  return v;
}

bool RecordingPlugin::onRequest(uint16_t cmdId, uintptr_t payload, void* present) {
  Crossing c;
  Item it = c.entry(client_, kind::kRequest);
  codec::envelopeFields(it, cmdId, reinterpret_cast<const void*>(payload));
  it.set("present", flag(present != nullptr));
  const bool v = real_->onRequest(cmdId, payload, present);
  finish(it, 3, flag(v));
  return v;
}

int32_t RecordingPlugin::onNotify(uint16_t type, uintptr_t a, uintptr_t b) {
  Crossing c;
  Item it;
  if (type == imsdk::kNotifyMessage && a != 0) {
    it = c.entry(client_, kind::kDeliver);
    codec::hostMessageFields(it, *reinterpret_cast<const imsdk::hostMessage*>(a));
  } else {
    it = plain(c, client_, {word(a), word(b)});
  }
  it.set("notify", int64_t{type});
  const int32_t v = real_->onNotify(type, a, b);
  finish(it, 4, int64_t{v});
  return v;
}

bool RecordingPlugin::slot5(uintptr_t a, uintptr_t b, uintptr_t c5, uintptr_t d) {
  Crossing c;
  const bool v = real_->slot5(a, b, c5, d);
  Item it = plain(c, client_, {word(a), word(b), word(c5), word(d)});
  finish(it, 5, flag(v));
  return v;
}

bool RecordingPlugin::onOther(uint16_t type, uintptr_t a, uintptr_t b) {
  Crossing c;
  Item it;
  if (type == imsdk::kCmdTimer && a != 0) {
    it = c.entry(client_, kind::kLoop).set("cmd", int64_t{type});
    codec::timerRecordFields(it, *reinterpret_cast<const imsdk::timerCmd*>(a));
  } else if (type == imsdk::kCmdKeepAlive || type == imsdk::kCmdConnectState) {
    it = c.entry(client_, kind::kLoop);
    codec::envelopeFields(it, type, reinterpret_cast<const void*>(a));
    it.set("len", word(b));
  } else {
    it = plain(c, client_, {word(a), word(b)}).set("cmd", int64_t{type});
  }
  const bool v = real_->onOther(type, a, b);
  finish(it, 6, flag(v));
  return v;
}

bool RecordingPlugin::onNetRequest(uint16_t cmdId, uintptr_t a, uintptr_t b) {
  Crossing c;
  Item it = c.entry(client_, kind::kLoop);
  codec::envelopeFields(it, cmdId, reinterpret_cast<const void*>(a));
  it.set("len", word(b));
  const bool v = real_->onNetRequest(cmdId, a, b);
  finish(it, 7, flag(v));
  return v;
}

bool RecordingPlugin::slot8(uintptr_t a) {
  Crossing c;
  const bool v = real_->slot8(a);
  Item it = plain(c, client_, {word(a)});
  finish(it, 8, flag(v));
  return v;
}

void RecordingPlugin::slot9(uintptr_t a, uintptr_t b, uintptr_t c9) {
  Crossing c;
  real_->slot9(a, b, c9);
  Item it = plain(c, client_, {word(a), word(b), word(c9)});
  finish(it, 9, int64_t{0});
}

void RecordingPlugin::slot10(uintptr_t a, uintptr_t b, uintptr_t c10) {
  Crossing c;
  real_->slot10(a, b, c10);
  Item it = plain(c, client_, {word(a), word(b), word(c10)});
  finish(it, 10, int64_t{0});
}

bool RecordingPlugin::slot11(uintptr_t a, uintptr_t b, uintptr_t c11, uintptr_t d) {
  Crossing c;
  const bool v = real_->slot11(a, b, c11, d);
  Item it = plain(c, client_, {word(a), word(b), word(c11), word(d)});
  finish(it, 11, flag(v));
  return v;
}

void RecordingPlugin::onpostServer(uint16_t event, void* record) {
  Crossing c;
  Item it;
  if (event == imsdk::kEventPulled && record != nullptr) {
    it = c.entry(client_, kind::kPull);
  } else {
    it = c.entry(client_, kind::kLifecycle);
  }
  it.set("event", int64_t{event});
  if (event == imsdk::kEventPreLogin) {
    it.set("name", "pre-login");
    if (record != nullptr) it.set("text", static_cast<const imsdk::postServerText*>(record)->text);
  } else if (event == imsdk::kEventLogin) {
    it.set("name", "login");
  }
  auto* pulled = event == imsdk::kEventPulled ? static_cast<imsdk::postServerPulled*>(record)
                                              : nullptr;
  // The messages go in as the host handed them; the plug-in may mark them.
  std::vector<imsdk::hostMessage> before;
  if (pulled != nullptr) before = pulled->messages;
  real_->onpostServer(event, record);
  if (pulled != nullptr) {
    it.set("count", static_cast<int64_t>(before.size()));
    for (size_t i = 0; i < before.size(); ++i) {
      Crossing m;
      Item msg = m.entry(client_, kind::kDeliver);
      codec::hostMessageFields(msg, before[i]);
      msg.set("index", static_cast<int64_t>(i)).set("slot", int64_t{12});
      if (i < pulled->messages.size()) msg.set("ret", int64_t{pulled->messages[i].status});
      Recorder::get().write(msg);
    }
  }
  finish(it, 12, int64_t{0});
}

bool RecordingPlugin::slot13(uintptr_t a, uintptr_t b, uintptr_t c13) {
  Crossing c;
  const bool v = real_->slot13(a, b, c13);
  Item it = plain(c, client_, {word(a), word(b), word(c13)});
  finish(it, 13, flag(v));
  return v;
}

imsdk::_sdkcmd_base* RecordingPlugin::cloneCmd(uint16_t cmdId, const imsdk::_sdkcmd_base* source,
                                               uintptr_t unused) {
  Crossing c;
  imsdk::_sdkcmd_base* v = real_->cloneCmd(cmdId, source, unused);
  Item it = plain(c, client_, {}).set("cmd", int64_t{cmdId});
  finish(it, 14, flag(v != nullptr));
  return v;
}

imsdk::_sdkcmd_base* RecordingPlugin::createCmd(uint16_t cmdId, bool isRequest) {
  Crossing c;
  imsdk::_sdkcmd_base* v = real_->createCmd(cmdId, isRequest);
  Item it = plain(c, client_, {flag(isRequest)}).set("cmd", int64_t{cmdId});
  finish(it, 15, flag(v != nullptr));
  return v;
}

void RecordingPlugin::releaseCmd(uint16_t cmdId, imsdk::_sdkcmd_base* record, uintptr_t unused) {
  Crossing c;
  real_->releaseCmd(cmdId, record, unused);
  Item it = plain(c, client_, {flag(record != nullptr)}).set("cmd", int64_t{cmdId});
  finish(it, 16, int64_t{0});
}

bool RecordingPlugin::slot17() {
  Crossing c;
  const bool v = real_->slot17();
  Item it = plain(c, client_, {});
  finish(it, 17, flag(v));
  return v;
}

bool RecordingPlugin::slot18() {
  Crossing c;
  const bool v = real_->slot18();
  Item it = plain(c, client_, {});
  finish(it, 18, flag(v));
  return v;
}

bool RecordingPlugin::slot19(uintptr_t a) {
  Crossing c;
  const bool v = real_->slot19(a);
  Item it = plain(c, client_, {word(a)});
  finish(it, 19, flag(v));
  return v;
}

bool RecordingPlugin::slot20() {
  Crossing c;
  const bool v = real_->slot20();
  Item it = plain(c, client_, {});
  finish(it, 20, flag(v));
  return v;
}

int32_t* RecordingPlugin::getStamp(int32_t* slot) {
  Crossing c;
  int32_t* v = real_->getStamp(slot);
  Item it = plain(c, client_, {});
  finish(it, 21, flag(v != nullptr));
  return v;
}

int32_t RecordingPlugin::slot22(uintptr_t a, uintptr_t b, uintptr_t c22) {
  Crossing c;
  const int32_t v = real_->slot22(a, b, c22);
  Item it = plain(c, client_, {word(a), word(b), word(c22)});
  finish(it, 22, int64_t{v});
  return v;
}

int32_t RecordingPlugin::slot23(uintptr_t a, uintptr_t b, uintptr_t c23, uintptr_t d,
                                uintptr_t e) {
  Crossing c;
  const int32_t v = real_->slot23(a, b, c23, d, e);
  Item it = plain(c, client_, {word(a), word(b), word(c23), word(d), word(e)});
  finish(it, 23, int64_t{v});
  return v;
}

void RecordingPlugin::slot24() {
  Crossing c;
  real_->slot24();
  Item it = plain(c, client_, {});
  finish(it, 24, int64_t{0});
}

void RecordingPlugin::slot25(uintptr_t a, uintptr_t b, uintptr_t c25) {
  Crossing c;
  real_->slot25(a, b, c25);
  Item it = plain(c, client_, {word(a), word(b), word(c25)});
  finish(it, 25, int64_t{0});
}

}  // namespace mrtcrecord
