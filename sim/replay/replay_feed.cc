// Feeding the recorded host -> plug-in crossings: each record is rebuilt
// from the entry (through the plug-in's own factory where the host used it)
// and handed over on the replay's thread.
#include "base/json.h"
#include "crossing.h"
#include "replay_host.h"

namespace mrtcsim {
namespace replay {

namespace {

namespace kind = codec::kind;

constexpr int64_t kSlotName = codec::slot::kName;
constexpr int64_t kSlotRequest = codec::slot::kRequest;
constexpr int64_t kSlotNotify = codec::slot::kNotify;
constexpr int64_t kSlotOther = codec::slot::kOther;
constexpr int64_t kSlotNet = codec::slot::kNet;
constexpr int64_t kSlotPostServer = codec::slot::kPostServer;

// The entry's fields as one JSON object, for the vocabulary's readers. Built
// from the item rather than the line: a request's own "kind" field shares
// its name with the entry's kind.
struct Parsed {
  json::Document doc;
  codec::Reader reader;
  explicit Parsed(const Entry& e) : reader(e.where) {
    std::string text = "{";
    for (const codec::Field& f : e.item.fields) {
      if (text.size() > 1) text += ",";
      text += codec::jsonString(f.key) + ":" + codec::valueJson(f.value);
    }
    if (!imsdkmrtc::parseText(doc, text + "}")) reader.fail("", "not a JSON text");
  }
};

// An application request as the host built it, and its envelope.
class Built {
 public:
  Built(imsdk::IPlugin* plugin, const Entry& e, uint16_t cmd) : plugin_(plugin), cmd_(cmd) {
    Parsed p(e);
    if (e.item.num("record") != 0) record_ = plugin->createCmd(cmd, true);
    if (auto* extra = dynamic_cast<imsdk::req_mrtc_extra*>(record_)) {
      extra->type = static_cast<int8_t>(e.item.num("type"));
      extra->cmd = e.item.str("cmdText");
      extra->extend = e.item.str("extend");
      extra->id = e.item.num("id");
    } else if (auto* request = dynamic_cast<imsdk::req_mrtc_request*>(record_)) {
      *request = codec::readRequestRecord(p.reader, p.doc, "");
    }
    env_.record = record_;
    env_.word = static_cast<uint32_t>(e.item.num("word"));
    hasEnv_ = e.item.find("word") != nullptr;
  }
  ~Built() {
    if (record_ != nullptr) plugin_->releaseCmd(cmd_, record_, 0);
  }
  Built(const Built&) = delete;
  Built& operator=(const Built&) = delete;

  uintptr_t payload() { return hasEnv_ ? reinterpret_cast<uintptr_t>(&env_) : 0; }

 private:
  imsdk::IPlugin* plugin_;
  uint16_t cmd_;
  imsdk::_sdkcmd_base* record_ = nullptr;
  imsdk::cmdEnvelope env_;
  bool hasEnv_ = false;
};

bool zeroArgs(const Entry& e) {
  for (int64_t w : e.item.ids("args")) {
    if (w != 0) return false;
  }
  return true;
}

}  // namespace

bool ReplayHost::fed(const Entry& e) {
  if (e.slot < 0 || e.item.kind == kind::kTrace) return false;
  if (e.item.kind == kind::kSlot) {
    // Words that were pointers cannot be given again.
    return (e.slot == kSlotName || e.slot == kSlotOther || e.slot == kSlotNotify) && zeroArgs(e);
  }
  return true;
}

void ReplayHost::checkRet(const Entry& e, int64_t ret) {
  if (session_.diverged() || e.item.find("ret") == nullptr || e.item.num("ret") == ret) return;
  codec::Item made = bare(e.item);
  made.set("ret", ret);
  session_.diverge(trace_.name,
                   "entry " + std::to_string(e.seq) + " answered " + std::to_string(ret) +
                       ", recorded " + e.item.str("ret"),
                   &e, &made);
}

void ReplayHost::feed(const Entry& e) {
  codec::Item shown = bare(e.item);
  shown.t = session_.now();
  shown.client = trace_.name;
  if (e.item.kind != kind::kLoop && e.item.kind != kind::kSlot) session_.add(shown);
  const auto cmd = static_cast<uint16_t>(e.item.num("cmd"));
  if (e.slot == kSlotRequest) {
    feedRequest(e);
  } else if (e.slot == kSlotNotify && e.item.kind == kind::kDeliver) {
    Parsed p(e);
    imsdk::hostMessage m = codec::readHostMessage(p.reader, p.doc, "");
    int32_t ret = 0;
    inContext(&e, [&] {
      ret = plugin_->onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&m), 0);
    });
    checkRet(e, ret);
  } else if (e.slot == kSlotNotify) {
    int32_t ret = 0;
    inContext(&e,
              [&] { ret = plugin_->onNotify(static_cast<uint16_t>(e.item.num("notify")), 0, 0); });
    checkRet(e, ret);
  } else if (e.slot == kSlotOther && e.item.kind == kind::kSlot) {
    bool ret = false;
    inContext(&e, [&] { ret = plugin_->onOther(cmd, 0, 0); });
    checkRet(e, ret ? 1 : 0);
  } else if (e.slot == kSlotOther || e.slot == kSlotNet) {
    feedLoop(e);
  } else if (e.slot == kSlotPostServer) {
    feedLifecycle(e);
  } else if (e.slot == kSlotName) {
    std::string name;
    inContext(&e, [&] { name = plugin_->getName(); });
    if (!session_.diverged() && name != e.item.str("ret")) {
      codec::Item made = bare(e.item);
      made.set("ret", name);
      session_.diverge(trace_.name,
                       "entry " + std::to_string(e.seq) + " named the plug-in differently", &e,
                       &made);
    }
  }
}

void ReplayHost::feedRequest(const Entry& e) {
  const auto cmd = static_cast<uint16_t>(e.item.num("cmd"));
  Built built(plugin_, e, cmd);
  const uintptr_t payload = built.payload();
  void* present = e.item.num("present") != 0 ? reinterpret_cast<void*>(payload) : nullptr;
  bool ret = false;
  inContext(&e, [&] { ret = plugin_->onRequest(cmd, payload, present); });
  checkRet(e, ret ? 1 : 0);
}

void ReplayHost::feedLoop(const Entry& e) {
  const auto cmd = static_cast<uint16_t>(e.item.num("cmd"));
  const auto len = static_cast<uintptr_t>(e.item.num("len"));
  bool ret = false;
  if (e.slot == kSlotOther && cmd == imsdk::kCmdTimer) {
    Parsed p(e);
    imsdk::timerCmd timer = codec::readTimerCmd(p.reader, p.doc, "");
    inContext(&e, [&] {
      ret = plugin_->onOther(cmd, reinterpret_cast<uintptr_t>(&timer), imsdk::kTimerCmdSize);
    });
  } else {
    Built built(plugin_, e, cmd);
    inContext(&e, [&] {
      ret = e.slot == kSlotOther ? plugin_->onOther(cmd, built.payload(), len)
                                 : plugin_->onNetRequest(cmd, built.payload(), len);
    });
  }
  checkRet(e, ret ? 1 : 0);
}

void ReplayHost::feedLifecycle(const Entry& e) {
  const auto event = static_cast<uint16_t>(e.item.num("event"));
  if (event == imsdk::kEventPreLogin) {
    imsdk::postServerText text;
    text.text = e.item.str("text");
    inContext(&e, [&] { plugin_->onpostServer(event, &text); });
    return;
  }
  if (e.item.kind != kind::kPull) {
    inContext(&e, [&] { plugin_->onpostServer(event, nullptr); });
    return;
  }
  imsdk::postServerPulled pulled;
  std::vector<const Entry*> messages;
  for (size_t i : e.children) {
    const Entry& m = trace_.entries[i];
    if (m.item.kind != kind::kDeliver || m.slot != kSlotPostServer) continue;
    Parsed p(m);
    pulled.messages.push_back(codec::readHostMessage(p.reader, p.doc, ""));
    messages.push_back(&m);
  }
  inContext(&e, [&] { plugin_->onpostServer(event, &pulled); });
  // The plug-in marks the messages it took: that is an output too.
  for (size_t i = 0; i < messages.size() && i < pulled.messages.size(); ++i) {
    checkRet(*messages[i], pulled.messages[i].status);
  }
}

}  // namespace replay
}  // namespace mrtcsim
