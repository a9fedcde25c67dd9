// Placing a call (request 24001).
#include <string_view>

#include "base/base64.h"
#include "base/json_escape.h"
#include "base/log.h"
#include "base/ui_event_types.h"
#include "notify/handler_env.h"
#include "notify/plugin_notify.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"
#include "timer/timeout_record.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// The member line is written only for small calls.
constexpr size_t kMemberLogLimit = 10;
// Room for an id in decimal, its sign and the terminating NUL.
constexpr size_t kIdChars = 24;

std::string displayName(imsdk::IHostService* host, int64_t userId) {
  imsdk::userInfo info;
  if (host == nullptr || !host->getUserInfo(&info, userId)) return std::string();
  return info.name;
}

// The talk this user places, from the request and its extend.
talkInfo callTalk(const imsdk::req_mrtc_request& req, const callExtend& ext, int64_t myId,
                  imsdk::IHostService* host) {
  talkInfo talk;
  talk.roomId = req.roomId;
  talk.oName = base64Encode(displayName(host, myId));
  talk.groupId = req.groupId;
  talk.onwerId = myId;
  talk.roomName = req.roomName;
  talk.members = req.members;
  talk.addr = ext.addr;
  talk.beginTime = host != nullptr ? host->getTimeMs() / 1000 : 0;
  talk.single = std::string_view(ext.mode) == texts::kModeSingle ? 1 : 0;
  talk.conferMode = ext.conferMode;
  talk.rtcType = ext.rtcType;
  talk.roomToken = ext.roomToken;
  talk.srvVer = ext.srvVer;
  talk.srvTag = ext.srvTag;
  talk.videoType = ext.videoType;
  return talk;
}

// A group call's begin hints: one in the group, one to each outside member;
// the group's hint also goes to this user's own screen.
void announceGroupCall(handlerEnv* plugin, int64_t myId, const imsdk::req_mrtc_request& req,
                       const callExtend& ext) {
  std::string hint;
  if (!plugin->proxy().sendWeakHintBegin(myId, req.groupId, req.roomId, hint, hintChat::kGroup)) {
    MRTC_LOG(plugin, 0, texts::request::kFnOnCall, texts::request::kCallHintFail);
  }
  for (const std::string& text : ext.outMembers) {
    const int64_t id = tools::strToInt64(text);
    if (id == myId) continue;
    std::string scratch;
    plugin->proxy().sendWeakHintBegin(myId, id, req.roomId, scratch, hintChat::kPeer);
  }
  plugin->notify()->pushTextEvent(kEventHint, hint);
}

}  // namespace

reqAnswer pluginNet::on_call(uint16_t code, uintptr_t request) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnCall, kLogBegin, logThis(this), kFnOnCall);
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  const int64_t myId = plugin_->selfId();
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  if (req == nullptr) {
    return {result, kReqBadExtend};
  }
  MRTC_LOG(plugin_, 0, kFnOnCall, kExtendJson, logCut(req->extend).c_str());
  if (req->members.size() <= kMemberLogLimit) {
    std::string ids;
    char digits[kIdChars];
    for (int64_t id : req->members) {
      ids += tools::int64toa(digits, id);
      ids += ',';
    }
    MRTC_LOG(plugin_, 0, kFnOnCall, kCallMembers, ids.c_str());
  }
  if (forceOwnerAddr_ && result != nullptr) {
    // The address goes to the application only; the talk keeps the extend's.
    result->extend = "{\"addr\":\"" + jsonEscape(plugin_->slb().getMultiServer()) + "\"}";
  }

  callExtend ext;
  if (!msgProxy::parseCallExtend(req->extend, ext)) {
    return {result, kReqBadExtend};
  }
  // The rtcType words are compared as views: their lengths tell most apart.
  const auto isType = [&ext](std::string_view word) {
    return std::string_view(ext.rtcType) == word;
  };
  if (isType(kUnbindConfer) && ext.outMembers.empty()) {
    ext.rtcType = kRtc;
    MRTC_LOG(plugin_, 0, kFnOnCall, kUnbindRename);
  }
  if (!plugin_->isSupportedRtcType(ext.rtcType, handlerEnv::kNoGroup) && isType(kUnbindConfer)) {
    return {result, kReqUnbindRefused};
  }

  talkInfo talk = callTalk(*req, ext, myId, plugin_->host());

  // A second click on the call button while this room runs: the call, its
  // card and its notice went out once and do not go out again.
  if (plugin_->store().isCurrentRoom(req->roomId)) return {result, kReqDone};
  // The store takes this user out of the list; the rest are the callees.
  std::vector<int64_t> callees = req->members;
  const uint32_t stored = plugin_->store().localCall(callees, talk);
  MRTC_LOG(plugin_, 0, kFnOnCall, kCallSummary, talk.roomId.c_str(),
           static_cast<long long>(talk.groupId), static_cast<int>(callees.size()),
           req->roomName.c_str(), ext.addr.c_str(), ext.rtcType.c_str(), ext.roomToken.c_str(),
           ext.srvVer.c_str(), ext.srvTag.c_str(), ext.videoType.c_str());
  if (stored != kTalkDone) {
    return {result, static_cast<int32_t>(stored)};
  }

  mrtcCmd cmd;
  cmd.outMembers = ext.outMembers;
  cmd.initState = ext.initState;
  cmd.groupId = req->groupId;
  cmd.members = req->members;
  cmd.selects = callees;
  cmd.rtcType = ext.rtcType;
  if (!plugin_->proxy().sendMsg_call(callees, talk, cmd)) {
    MRTC_LOG(plugin_, 0, kFnOnCall, kCallSendFail);
    plugin_->store().finishTalk(talk);
    return {result, kReqSendFail};
  }

  const bool p2p = isType(kP2pConfer);
  if (!talk.single && !p2p) announceGroupCall(plugin_, myId, *req, ext);
  armWait(req->roomId, callees, p2p ? kWaitSecondsP2p : kWaitSeconds);
  return {result, kReqDone, [this] { plugin_->startKeepAlive(); }};
}

}  // namespace imsdkmrtc
