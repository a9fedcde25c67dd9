// The request gate and the dispatch of application requests.
#include <algorithm>
#include <string>

#include "base/log.h"
#include "notify/handler_env.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"

namespace imsdkmrtc {

bool pluginNet::onNetRequest(uint16_t code, uintptr_t request, uintptr_t) {
  // While calls are off only the settings channel and what the current talk
  // needs to end get through; the rest is dropped silently.
  if (code != imsdk::kCmdExtra && !plugin_->callsEnabled() && !passesCallsOffGate(code, request)) {
    return true;
  }
  MRTC_LOG(plugin_, 0, texts::request::kFnOnNetRequest, texts::request::kRequestSeen, code);
  imsdk::autoLock guard(plugin_->lock());
  reqAnswer answer;
  if (!withinRequestLimits(code, request, &answer)) {
    sendResultRespond(code, answer.code, answer.record);
    return true;
  }
  switch (code) {
    case imsdk::kCmdCall:
      answer = on_call(code, request);
      break;
    case imsdk::kCmdInvite:
      answer = on_invite(code, request);
      break;
    case imsdk::kCmdIntoRoom:
      answer = on_intoroom(code, request);
      break;
    case imsdk::kCmdJoin:
      answer = on_join(code, request, texts::request::kSourceBoard);
      break;
    case imsdk::kCmdHungup:
      answer = on_hungup(code, request);
      break;
    case imsdk::kCmdExtra:
      answer = on_extra(code, request);
      break;
    case imsdk::kCmdKeepAlive:
      on_keepalive(code, request);
      return true;
    case imsdk::kCmdConnectState:
      answer = on_connectstate(code, request);
      break;
    case imsdk::kCmdTempletJoin:
      answer = on_templetjoin(code, request);
      break;
    default:
      return true;
  }
  if (!answer.none) sendResultRespond(code, answer.code, answer.record);
  if (answer.then) answer.then();
  return true;
}

bool pluginNet::withinRequestLimits(uint16_t code, uintptr_t request, reqAnswer* refusal) {
  // Codes without a handler, and the keep-alive, are never answered.
  if (code < imsdk::kCmdCall || code > imsdk::kCmdTempletJoin || code == imsdk::kCmdUiEvent ||
      code == imsdk::kCmdKeepAlive) {
    return true;
  }
  // Whatever these texts hold ends up in a signalling body, and every client
  // drops bodies above the limit: such a request could never reach anybody.
  const int64_t maxBody = plugin_->settings().maxBodyBytes.load();
  const auto tooLong = [&](const std::string& text) {
    return text.size() > static_cast<uint64_t>(maxBody);
  };
  if (code == imsdk::kCmdExtra) {
    const imsdk::req_mrtc_extra* extra = extraRequestOf(request);
    if (extra == nullptr || (!tooLong(extra->cmd) && !tooLong(extra->extend))) return true;
    MRTC_LOG(plugin_, 2, texts::request::kFnOnNetRequest, texts::request::kRequestTooLong, code,
             static_cast<long long>(std::max(extra->cmd.size(), extra->extend.size())),
             static_cast<long long>(maxBody));
    *refusal = reqAnswer(getRespondMem(request, code), kReqNotHandled);
    return false;
  }
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  if (req == nullptr) return true;
  if (tooLong(req->roomId) || tooLong(req->roomName) || tooLong(req->annotation) ||
      tooLong(req->extend)) {
    MRTC_LOG(plugin_, 2, texts::request::kFnOnNetRequest, texts::request::kRequestTooLong, code,
             static_cast<long long>(std::max({req->roomId.size(), req->roomName.size(),
                                              req->annotation.size(), req->extend.size()})),
             static_cast<long long>(maxBody));
    *refusal = reqAnswer(getRespondMem(request, code), kReqInvalid);
    return false;
  }
  // Only these requests hand their members to the store and the wire.
  if (code != imsdk::kCmdCall && code != imsdk::kCmdInvite && code != imsdk::kCmdIntoRoom) {
    return true;
  }
  const int64_t limit = plugin_->settings().maxIds.load();
  if (req->members.size() <= static_cast<uint64_t>(limit)) return true;
  MRTC_LOG(plugin_, 2, texts::request::kFnOnNetRequest, texts::request::kTooManyMembers, code,
           static_cast<long long>(req->members.size()), static_cast<long long>(limit));
  *refusal = reqAnswer(getRespondMem(request, code), kReqInvalid);
  return false;
}

}  // namespace imsdkmrtc
