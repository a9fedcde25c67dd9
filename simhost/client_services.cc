// The host services a client offers its plug-in.
//
// Loop-backs (services 12 and 15) call the plug-in synchronously on the
// posting thread; every other service only reads or records under the
// network mutex.
#include <cstdarg>
#include <utility>

#include "simhost.h"
#include "tools.h"

namespace simhost {

using codec::formatText;
using codec::toEvent;
using codec::toResult;

int64_t Client::getTicketValue() {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return config_.ticketValue;
}

std::string Client::getTicketText() {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return config_.ticketText;
}

int64_t Client::getOwnUserId() { return userId_; }

int32_t Client::postToApp(uint16_t cmdId, void* block, int32_t, int32_t) {
  if (block == nullptr) return 1;
  const auto* env = static_cast<const imsdk::cmdEnvelope*>(block);
  auto* record = static_cast<imsdk::_sdkcmd_base*>(env->record);
  if (record == nullptr) return 1;
  {
    std::lock_guard<std::mutex> lk(net_->mu_);
    // A refused post leaves the record with the caller.
    if (config_.failPost) return 1;
    // Without records the post is only released.
    if (keepRecords_.load()) {
      // Events and results are siblings, so at most one cast succeeds; the
      // code says which to try first. A cast that fails walks the class tree
      // comparing type names, and a fuzzer hooks each compare: trying the event
      // first for every result was 3 % of a requests input.
      const bool eventCode = cmdId == imsdk::kCmdUiEvent;
      auto* event = eventCode ? dynamic_cast<imsdk::resp_mrtcEvent*>(record) : nullptr;
      auto* result = event == nullptr ? dynamic_cast<imsdk::resp_commonResult*>(record) : nullptr;
      if (!eventCode && result == nullptr) event = dynamic_cast<imsdk::resp_mrtcEvent*>(record);
      if (event != nullptr) {
        // Released below: what it holds moves into the host's record.
        events_.push_back(toEvent(std::move(*event)));
        recordedLocked();
      } else if (result != nullptr) {
        results_.push_back(toResult(cmdId, env->word, *result));
      }
    }
  }
  // Posted records belong to the host from here on.
  delete record;
  return 0;
}

int32_t Client::postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t) {
  imsdk::IPlugin* plugin = nullptr;
  {
    std::lock_guard<std::mutex> lk(net_->mu_);
    if (cmdId == imsdk::kCmdTimer && data != nullptr && keepRecords_.load()) {
      timerPosts_.push_back(TimerPost{*static_cast<const imsdk::timerCmd*>(data)});
      recordedLocked();
    }
    plugin = plugin_;
  }
  if (plugin == nullptr) return 1;
  plugin->onOther(cmdId, reinterpret_cast<uintptr_t>(data), static_cast<uintptr_t>(len));
  return 0;
}

int32_t Client::passRequest(uint16_t cmdId, void* data, int32_t len, int32_t) {
  imsdk::IPlugin* plugin = attached();
  if (plugin == nullptr) return 1;
  plugin->onNetRequest(cmdId, reinterpret_cast<uintptr_t>(data), static_cast<uintptr_t>(len));
  return 0;
}

bool Client::sendMessage(imsdk::req_sendMessage* msg, int32_t, int32_t) {
  if (msg == nullptr) return false;
  const bool keep = keepRecords_.load();
  NetMessage out;
  out.fromClient = name_;
  out.msgId = msg->msgId;
  out.senderId = msg->senderId;
  out.senderDevice = deviceType_;
  out.targetId = msg->targetId;
  out.msgType = msg->msgType;
  out.msgFlag = msg->msgFlag;
  out.body = msg->body;
  out.properties = msg->properties;
  out.limitRange = msg->limitRange;
  out.msgTime = net_->nowMs();
  std::lock_guard<std::mutex> lk(net_->mu_);
  if (config_.refuseSend) return false;
  net_->enqueueLocked(out);
  if (!keep) return true;
  sent_.push_back(std::move(out));
  recordedLocked();
  return true;
}

int32_t Client::insertMessage(imsdk::req_insertMessage* msg, int32_t, int32_t) {
  if (msg == nullptr) return 1;
  if (!keepRecords_.load()) return 0;
  Inserted in;
  in.msgId = msg->msgId;
  in.senderId = msg->senderId;
  in.targetId = msg->targetId;
  in.msgType = msg->msgType;
  in.msgFlag = msg->msgFlag;
  in.body = msg->body;
  in.properties = msg->properties;
  in.limitRange = msg->limitRange;
  std::lock_guard<std::mutex> lk(net_->mu_);
  inserted_.push_back(std::move(in));
  recordedLocked();
  return 0;
}

bool Client::syncRequest(int32_t request, com::zbq::im::ap::SessionTicket* ticket,
                         com::zbq::im::ap::CacheRet* ret) {
  if (request != imsdk::kRequestQueryCaches || ticket == nullptr || ret == nullptr) return false;
  std::lock_guard<std::mutex> lk(net_->mu_);
  ++cacheRequests_;
  if (!config_.cacheOk) return false;
  // The host sends only the fields a ticket marks as set, and the access point
  // answers no query that reached it without the session, the operation or
  // the key.
  const com::zbq::im::ap::CacheParam& param = ticket->param;
  if (!ticket->hasValue || !ticket->hasText || !ticket->hasParam || !param.hasOp || !param.hasKey) {
    return false;
  }
  auto it = config_.cacheValues.find(param.key);
  if (it == config_.cacheValues.end()) return false;
  ret->code = config_.cacheCode;
  ret->value = it->second;
  return true;
}

void Client::log(int32_t level, const char* tag, const char* func, const char* fmt, ...) {
  if (quietLogs_.load()) return;
  LogLine line;
  line.level = level;
  line.tag = tag != nullptr ? tag : "";
  line.func = func != nullptr ? func : "";
  va_list args;
  va_start(args, fmt);
  line.text = formatText(fmt, args);
  va_end(args);
  std::lock_guard<std::mutex> lk(net_->mu_);
  logs_.push_back(std::move(line));
  recordedLocked();
}

int64_t Client::getTimeMs() {
  int64_t offset;
  {
    std::lock_guard<std::mutex> lk(net_->mu_);
    offset = config_.timeOffsetMs;
  }
  return tools::get_mill_sec() + offset;
}

bool Client::loginQuery() {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return config_.loginQuery;
}

std::string Client::getPreLoginDesc() {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return config_.preLoginDesc;
}

bool Client::getUserInfo(imsdk::userInfo* out, int64_t userId) {
  if (out == nullptr) return false;
  std::lock_guard<std::mutex> lk(net_->mu_);
  auto it = net_->users_.find(userId);
  if (it == net_->users_.end()) return false;
  out->userId = userId;
  out->name = it->second;
  return true;
}

std::string Client::getConfigItem(const std::string& key, const std::string& field) {
  std::lock_guard<std::mutex> lk(net_->mu_);
  auto it = config_.configItems.find({key, field});
  return it == config_.configItems.end() ? std::string() : it->second;
}

int32_t Client::registerAddress(const char*, int32_t, const char* ip, uint16_t port, int32_t) {
  std::lock_guard<std::mutex> lk(net_->mu_);
  registered_.emplace_back(ip != nullptr ? ip : "", port);
  return 0;
}

}  // namespace simhost
