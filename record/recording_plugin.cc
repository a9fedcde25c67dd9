#include "recording_plugin.h"

#include <type_traits>

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

codec::Value answerOf(bool v) { return flag(v); }
codec::Value answerOf(int32_t v) { return int64_t{v}; }
codec::Value answerOf(const std::string& v) { return v; }
template <class T>
codec::Value answerOf(T* v) {
  return flag(v != nullptr);
}

// A slot the plug-in does not use: its words as they came.
Item plain(const Crossing& c, const std::string& client, codec::IdList args) {
  Item it = c.entry(client, kind::kSlot);
  it.set("args", std::move(args));
  return it;
}

int64_t word(uintptr_t w) { return static_cast<int64_t>(w); }

// A host input (a request, a message, a loop-back or a life-cycle event that
// the host makes outside any crossing) waits for the one before it to
// return, and is numbered only then. The host may call from several threads
// at once (a node takes requests on one and messages on another); the
// plug-in then takes them in the order its own lock decides, which need not
// be the order in which they entered the shim. A request numbered first
// could be handled after a message numbered later, and a replay, which
// feeds the inputs by their numbers, would hand the plug-in another order
// than the one that happened. One at a time, the trace's order is the
// plug-in's. What the plug-in does inside an input (service calls and the
// host's loop-backs in them) is nested and passes.
class InputTurn {
 public:
  explicit InputTurn(std::mutex& inputs) : lock_(inputs, std::defer_lock) {
    if (!Crossing::inside()) lock_.lock();
  }

 private:
  std::unique_lock<std::mutex> lock_;
};

// A slot whose words carry nothing to decode: passed on, written with its
// words as they came (and the command, where it names one).
template <class Call>
auto passOn(const std::string& client, int slot, codec::IdList args, Call call, int64_t cmd = -1) {
  Crossing c;
  auto write = [&](codec::Value ret) {
    Item it = plain(c, client, std::move(args));
    if (cmd >= 0) it.set("cmd", cmd);
    finish(it, slot, std::move(ret));
  };
  if constexpr (std::is_void_v<decltype(call())>) {
    call();
    write(int64_t{0});
  } else {
    auto v = call();
    write(answerOf(v));
    return v;
  }
}

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
  return passOn(client_, 1, {a, b}, [&] { return real_->slot1(a, b); });
}

std::string RecordingPlugin::getName() {
  return passOn(client_, codec::slot::kName, {}, [&] { return real_->getName(); });
}

bool RecordingPlugin::onRequest(uint16_t cmdId, uintptr_t payload, void* present) {
  InputTurn turn(inputs_);
  Crossing c;
  Item it = c.entry(client_, kind::kRequest);
  codec::envelopeFields(it, cmdId, reinterpret_cast<const void*>(payload));
  it.set("present", flag(present != nullptr));
  const bool v = real_->onRequest(cmdId, payload, present);
  finish(it, codec::slot::kRequest, flag(v));
  return v;
}

int32_t RecordingPlugin::onNotify(uint16_t type, uintptr_t a, uintptr_t b) {
  InputTurn turn(inputs_);
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
  finish(it, codec::slot::kNotify, int64_t{v});
  return v;
}

bool RecordingPlugin::slot5(uintptr_t a, uintptr_t b, uintptr_t c5, uintptr_t d) {
  return passOn(client_, 5, {word(a), word(b), word(c5), word(d)},
                [&] { return real_->slot5(a, b, c5, d); });
}

bool RecordingPlugin::onOther(uint16_t type, uintptr_t a, uintptr_t b) {
  InputTurn turn(inputs_);
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
  finish(it, codec::slot::kOther, flag(v));
  return v;
}

bool RecordingPlugin::onNetRequest(uint16_t cmdId, uintptr_t a, uintptr_t b) {
  InputTurn turn(inputs_);
  Crossing c;
  Item it = c.entry(client_, kind::kLoop);
  codec::envelopeFields(it, cmdId, reinterpret_cast<const void*>(a));
  it.set("len", word(b));
  const bool v = real_->onNetRequest(cmdId, a, b);
  finish(it, codec::slot::kNet, flag(v));
  return v;
}

bool RecordingPlugin::slot8(uintptr_t a) {
  return passOn(client_, 8, {word(a)}, [&] { return real_->slot8(a); });
}

void RecordingPlugin::slot9(uintptr_t a, uintptr_t b, uintptr_t c9) {
  passOn(client_, 9, {word(a), word(b), word(c9)}, [&] { real_->slot9(a, b, c9); });
}

void RecordingPlugin::slot10(uintptr_t a, uintptr_t b, uintptr_t c10) {
  passOn(client_, 10, {word(a), word(b), word(c10)}, [&] { real_->slot10(a, b, c10); });
}

bool RecordingPlugin::slot11(uintptr_t a, uintptr_t b, uintptr_t c11, uintptr_t d) {
  return passOn(client_, 11, {word(a), word(b), word(c11), word(d)},
                [&] { return real_->slot11(a, b, c11, d); });
}

void RecordingPlugin::onpostServer(uint16_t event, void* record) {
  InputTurn turn(inputs_);
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
  auto* pulled =
      event == imsdk::kEventPulled ? static_cast<imsdk::postServerPulled*>(record) : nullptr;
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
      msg.set("index", static_cast<int64_t>(i)).set("slot", codec::slot::kPostServer);
      if (i < pulled->messages.size()) msg.set("ret", int64_t{pulled->messages[i].status});
      Recorder::get().write(msg);
    }
  }
  finish(it, codec::slot::kPostServer, int64_t{0});
}

bool RecordingPlugin::slot13(uintptr_t a, uintptr_t b, uintptr_t c13) {
  return passOn(client_, 13, {word(a), word(b), word(c13)},
                [&] { return real_->slot13(a, b, c13); });
}

imsdk::_sdkcmd_base* RecordingPlugin::cloneCmd(uint16_t cmdId, const imsdk::_sdkcmd_base* source,
                                               uintptr_t unused) {
  return passOn(
      client_, 14, {}, [&] { return real_->cloneCmd(cmdId, source, unused); }, cmdId);
}

imsdk::_sdkcmd_base* RecordingPlugin::createCmd(uint16_t cmdId, bool isRequest) {
  return passOn(
      client_, 15, {flag(isRequest)}, [&] { return real_->createCmd(cmdId, isRequest); }, cmdId);
}

void RecordingPlugin::releaseCmd(uint16_t cmdId, imsdk::_sdkcmd_base* record, uintptr_t unused) {
  passOn(
      client_, 16, {flag(record != nullptr)}, [&] { real_->releaseCmd(cmdId, record, unused); },
      cmdId);
}

bool RecordingPlugin::slot17() {
  return passOn(client_, 17, {}, [&] { return real_->slot17(); });
}

bool RecordingPlugin::slot18() {
  return passOn(client_, 18, {}, [&] { return real_->slot18(); });
}

bool RecordingPlugin::slot19(uintptr_t a) {
  return passOn(client_, 19, {word(a)}, [&] { return real_->slot19(a); });
}

bool RecordingPlugin::slot20() {
  return passOn(client_, 20, {}, [&] { return real_->slot20(); });
}

int32_t* RecordingPlugin::getStamp(int32_t* slot) {
  return passOn(client_, 21, {}, [&] { return real_->getStamp(slot); });
}

int32_t RecordingPlugin::slot22(uintptr_t a, uintptr_t b, uintptr_t c22) {
  return passOn(client_, 22, {word(a), word(b), word(c22)},
                [&] { return real_->slot22(a, b, c22); });
}

int32_t RecordingPlugin::slot23(uintptr_t a, uintptr_t b, uintptr_t c23, uintptr_t d, uintptr_t e) {
  return passOn(client_, 23, {word(a), word(b), word(c23), word(d), word(e)},
                [&] { return real_->slot23(a, b, c23, d, e); });
}

void RecordingPlugin::slot24() {
  passOn(client_, 24, {}, [&] { real_->slot24(); });
}

void RecordingPlugin::slot25(uintptr_t a, uintptr_t b, uintptr_t c25) {
  passOn(client_, 25, {word(a), word(b), word(c25)}, [&] { real_->slot25(a, b, c25); });
}

}  // namespace mrtcrecord
