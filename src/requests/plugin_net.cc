// The helpers every request handler shares: reading the request record,
// answering, the room-token cache and the repeat filter.
#include "requests/plugin_net.h"

#include "base/log.h"
#include "notify/handler_env.h"
#include "requests/request_texts.h"
#include "signalling/msg_proxy.h"
#include "timer/timeout_record.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

constexpr int64_t kTokenMaxAge = 86400;  // seconds
constexpr int64_t kRepeatWindow = 2;     // seconds
constexpr int64_t kRepeatMaxAge = 20;    // seconds
constexpr int32_t kCacheOpQuery = 4;

const imsdk::_sdkcmd_base* recordOf(uintptr_t request) {
  if (request == 0) return nullptr;
  return static_cast<const imsdk::_sdkcmd_base*>(
      reinterpret_cast<const imsdk::cmdEnvelope*>(request)->record);
}

// Overwrites the entry at index with the last one and drops the last.
template <typename T>
void dropUnordered(std::vector<T>& list, size_t index) {
  if (index + 1 != list.size()) list[index] = std::move(list.back());
  list.pop_back();
}

}  // namespace

const imsdk::req_mrtc_request* callRequestOf(uintptr_t request) {
  return dynamic_cast<const imsdk::req_mrtc_request*>(recordOf(request));
}

const imsdk::req_mrtc_extra* extraRequestOf(uintptr_t request) {
  return dynamic_cast<const imsdk::req_mrtc_extra*>(recordOf(request));
}

imsdk::resp_commonResult* pluginNet::getRespondMem(uintptr_t request, uint16_t code) {
  imsdk::_sdkcmd_base* made = plugin_->createCmd(code, cmdRecord::kResponse);
  auto* record = dynamic_cast<imsdk::resp_commonResult*>(made);
  if (record == nullptr) {
    if (made != nullptr) plugin_->releaseCmd(code, made, 0);
    MRTC_LOG(plugin_, 0, texts::request::kFnGetRespondMem, texts::request::kRespondMemFail, code);
    return nullptr;
  }
  // The host matches the answer to its request by this id.
  if (const imsdk::_sdkcmd_base* req = recordOf(request)) record->id = req->id;
  return record;
}

bool pluginNet::sendResultRespond(uint16_t code, int32_t result, imsdk::resp_commonResult* record) {
  if (record == nullptr) return true;
  record->result = result;
  imsdk::IHostService* host = plugin_->host();
  imsdk::cmdEnvelope envelope;
  envelope.record = record;
  envelope.word = imsdk::kEnvelopeWordResult;
  const int32_t posted = host != nullptr ? host->postToApp(code, &envelope, kEnvelopeLen, 0) : -1;
  MRTC_LOG(plugin_, 0, texts::request::kFnSendResultRespond, texts::request::kResultSent, code,
           result);
  // A refused post leaves the record with us.
  if (posted != 0) plugin_->releaseCmd(code, record, 0);
  return true;
}

bool pluginNet::getToken(const std::string& roomId, std::string& token) {
  for (const tokenEntry& entry : local_qCaches_) {
    if (entry.roomId == roomId) {
      token = entry.token;
      MRTC_LOG(plugin_, 0, texts::request::kFnGetToken, texts::request::kTokenFromCache,
               token.c_str());
      return true;
    }
  }
  if (!local_qCaches_.empty()) {
    const int64_t now = tools::getLocalTime();
    for (size_t i = 0; i < local_qCaches_.size(); ++i) {
      if (now - local_qCaches_[i].stamp > kTokenMaxAge) {
        dropUnordered(local_qCaches_, i);
        break;
      }
    }
  }
  imsdk::IHostService* host = plugin_->host();
  if (host == nullptr) return false;
  com::zbq::im::ap::SessionTicket ticket;
  ticket.value = host->getTicketValue();
  ticket.text = host->getTicketText();
  ticket.hasValue = true;
  ticket.hasText = true;
  ticket.param.op = kCacheOpQuery;
  ticket.param.key = roomId;
  ticket.param.hasOp = true;
  ticket.param.hasKey = true;
  ticket.hasParam = true;
  com::zbq::im::ap::CacheRet answer;
  bool found = false;
  cacheAnswer read;
  if (host->syncRequest(imsdk::kRequestQueryCaches, &ticket, &answer) && answer.code == 0 &&
      msgProxy::readCacheAnswer(answer.value, read)) {
    token = read.token;
    found = true;
    bool stored = false;
    for (tokenEntry& entry : local_qCaches_) {
      if (entry.roomId == roomId) {
        entry.token = read.token;
        entry.stamp = tools::getLocalTime();
        stored = true;
        break;
      }
    }
    if (!stored) local_qCaches_.push_back({roomId, read.token, tools::getLocalTime()});
  }
  MRTC_LOG(plugin_, 0, texts::request::kFnGetToken, texts::request::kTokenFromHost, found ? 1 : 0,
           answer.code, static_cast<long long>(read.code), roomId.c_str(), token.c_str(),
           answer.value.c_str());
  return found;
}

bool pluginNet::isRepeat(uint32_t code, const std::string& roomId) {
  const int64_t now = tools::getLocalTime();
  for (const repeatEntry& entry : repeats_) {
    if (entry.code == code && entry.roomId == roomId) return now - entry.stamp < kRepeatWindow;
  }
  for (size_t i = 0; i < repeats_.size(); ++i) {
    if (now - repeats_[i].stamp > kRepeatMaxAge) {
      dropUnordered(repeats_, i);
      break;
    }
  }
  repeats_.push_back({code, roomId, now});
  return false;
}

void pluginNet::armWait(const std::string& roomId, const std::vector<int64_t>& members,
                        int32_t seconds) {
  plugin_->addTimeout(kTimeoutWait, roomId, members, seconds, kTimeoutMemberCategory,
                      kMembersReplace, std::string());
}

}  // namespace imsdkmrtc
