// The host services the node gives its plug-in.
#include "host.h"

#include <cstdarg>
#include <ctime>

#include "address.h"
#include "describe.h"
#include "host_calls.h"
#include "timer/timer_texts.h"
#include "tools.h"

namespace node {

namespace {

// The log line the plug-in writes when a time-out fires, up to its number.
const std::string& timeoutPrefix() {
  static const std::string prefix = [] {
    std::string text = imsdkmrtc::texts::timer::kOneTimeout;
    return text.substr(0, text.find('%'));
  }();
  return prefix;
}

}  // namespace

NodeHost::NodeHost(const Directory& dir, int64_t userId, int32_t device, Output& out,
                   std::FILE* logFile)
    : dir_(dir), userId_(userId), device_(device), out_(out), logFile_(logFile) {}

NodeHost::~NodeHost() = default;

std::string NodeHost::clientName(const Directory& dir, int64_t userId, int32_t device) {
  auto it = dir.users.find(userId);
  std::string name = it == dir.users.end() ? "u" + std::to_string(userId) : it->second.name;
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return device == 1 ? name : name + "-" + resourceOf(device);
}

int32_t NodeHost::postToApp(uint16_t cmdId, void* block, int32_t, int32_t) {
  if (block == nullptr) return 1;
  const auto* env = static_cast<const imsdk::cmdEnvelope*>(block);
  auto* record = static_cast<imsdk::_sdkcmd_base*>(env->record);
  if (record == nullptr) return 1;
  if (auto* event = dynamic_cast<imsdk::resp_mrtcEvent*>(record)) {
    codec::Item it = out_.item(codec::kind::kEvent);
    codec::eventFields(it, codec::toEvent(*event));
    delete record;
    out_.emit(it);
    return 0;
  }
  if (auto* result = dynamic_cast<imsdk::resp_commonResult*>(record)) {
    const codec::Result r = codec::toResult(cmdId, env->word, *result);
    delete record;
    if (!answering(r)) {
      // An answer nobody waits for: shown as it came.
      codec::Item it = out_.item("result");
      it.set("cmd", int64_t{r.cmdId}).set("id", r.id).set("result", int64_t{r.result});
      if (!r.extend.empty()) it.set("answer", r.extend);
      out_.emit(it);
    }
    return 0;
  }
  delete record;
  return 0;
}

int32_t NodeHost::postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t) {
  if (plugin_ == nullptr) return 1;
  if (cmdId == imsdk::kCmdTimer && data != nullptr) {
    codec::Item it = out_.item(codec::kind::kTimer);
    codec::timerFields(it, *static_cast<const imsdk::timerCmd*>(data));
    out_.emit(it);
  }
  plugin_->onOther(cmdId, reinterpret_cast<uintptr_t>(data), static_cast<uintptr_t>(len));
  return 0;
}

int32_t NodeHost::passRequest(uint16_t cmdId, void* data, int32_t len, int32_t) {
  if (plugin_ == nullptr) return 1;
  plugin_->onNetRequest(cmdId, reinterpret_cast<uintptr_t>(data), static_cast<uintptr_t>(len));
  return 0;
}

bool NodeHost::sendMessage(imsdk::req_sendMessage* msg, int32_t, int32_t) {
  if (msg == nullptr || link_ == nullptr) return false;
  WireMessage m;
  m.msgId = msg->msgId;
  m.senderId = userId_;
  m.senderDevice = device_;
  m.targetId = msg->targetId;
  m.msgType = msg->msgType;
  m.msgFlag = msg->msgFlag;
  m.msgTime = getTimeMs();
  m.body = msg->body;
  m.properties = msg->properties;
  m.limitRange = msg->limitRange;
  resolveChat(m, dir_);
  codec::Item it = out_.item(codec::kind::kMessage);
  codec::sentFields(it, m.msgType, m.targetId, m.chatId, m.limitRange, m.properties, m.body);
  out_.emit(it);
  link_->send(std::move(m));
  return true;
}

int32_t NodeHost::insertMessage(imsdk::req_insertMessage* msg, int32_t, int32_t) {
  if (msg == nullptr) return 1;
  codec::Item it = out_.item(codec::kind::kInsert);
  codec::insertFields(it, msg->msgType, msg->targetId, msg->limitRange, msg->body);
  out_.emit(it);
  return 0;
}

void NodeHost::log(int32_t level, const char* tag, const char* func, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string text = codec::formatText(fmt, args);
  va_end(args);
  if (text.rfind(timeoutPrefix(), 0) == 0) {
    codec::Item it = out_.item(codec::kind::kTimeout);
    it.set("type", tools::strToInt64(text.substr(timeoutPrefix().size())));
    out_.emit(it);
  }
  if (logFile_ == nullptr) return;
  std::lock_guard<std::mutex> lk(logMu_);
  std::fprintf(logFile_, "%lld %d %s %s %s\n", static_cast<long long>(getTimeMs()), level,
               tag != nullptr ? tag : "", func != nullptr ? func : "", text.c_str());
  std::fflush(logFile_);
}

void NodeHost::dropped(const std::string& why) {
  log(2, "node", "XmppLink", "dropped %s", why.c_str());
}

void NodeHost::traffic(const std::string& what) { log(0, "node", "XmppLink", "%s", what.c_str()); }

int64_t NodeHost::getTimeMs() { return tools::get_mill_sec() + offsetMs_.load() + clockOffsetMs_; }

bool NodeHost::getUserInfo(imsdk::userInfo* out, int64_t userId) {
  auto it = dir_.users.find(userId);
  if (out == nullptr || it == dir_.users.end()) return false;
  out->userId = userId;
  out->name = it->second.name;
  return true;
}

std::string NodeHost::getConfigItem(const std::string& key, const std::string& field) {
  auto it = dir_.config.find({key, field});
  return it == dir_.config.end() ? std::string() : it->second;
}

}  // namespace node
