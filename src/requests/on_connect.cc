// Media link reports (24009) and the keep-alive heartbeat (24008).
#include "base/log.h"
#include "notify/handler_env.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

reqAnswer pluginNet::on_connectstate(uint16_t code, uintptr_t request) {
  using namespace texts;
  using namespace texts::request;
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  if (req == nullptr) {
    return {result, kTalkInvalid};
  }
  const int64_t targetId = req->members.empty() ? 0 : req->members.front();
  MRTC_LOG(plugin_, 0, kFnOnConnectState, kConnectSummary, req->roomId.c_str(),
           static_cast<long long>(req->groupId), static_cast<long long>(targetId),
           req->annotation.c_str());
  talkInfo talk;
  talk.groupId = req->groupId;
  talk.roomId = req->roomId;
  const uint32_t stored = plugin_->store().connectState(targetId, req->annotation, talk);
  if (stored != kTalkDone) {
    MRTC_LOG(plugin_, 0, kFnOnConnectState, kConnectFail, static_cast<int>(stored));
    return {result, static_cast<int32_t>(stored)};
  }
  if (!talk.active) {
    return {result, kReqNotActive};
  }
  // The last one leaving keeps the lost-finish watch; every other report
  // clears it.
  if (!(talk.members.size() <= 1 && req->annotation == kLevelRoom)) {
    imsdk::timerCmd remove;
    remove.op = 0;
    remove.category = kTimeoutLoseFinishCategory;
    remove.type = kTimeoutLoseFinish;
    remove.duration = 0;
    plugin_->postTimer(remove);
  }
  return {result, kReqDone};
}

void pluginNet::on_keepalive(uint16_t, uintptr_t) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnKeepAlive, kLogBegin, logThis(this), kFnOnKeepAlive);
  talkInfo talk;
  if (plugin_->store().queryTalk(talk) == kTalkDone) plugin_->startKeepAlive();
}

}  // namespace imsdkmrtc
