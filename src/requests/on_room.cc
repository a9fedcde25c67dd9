// Entering a room: answering or re-entering (24003), joining a talk seen on
// the watched board (24004) and joining from a chat card (24010).
#include <algorithm>
#include <cstdlib>

#include "base/log.h"
#include "base/text_readers.h"
#include "base/ui_event_types.h"
#include "base/version.h"
#include "notify/handler_env.h"
#include "notify/plugin_notify.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

namespace {

// Result for a peer version that differs from ours.
int32_t versionMismatchCode(int32_t compared) {
  return compared == 2 ? kReqPeerNewer : kReqPeerOlder;
}

// A card is usable when it names a room and, when it describes a placed
// call (mode set), also who placed it, whom it rang and with which version.
bool usableCard(const cardInfo& card) {
  if (card.roomId.empty()) return false;
  if (card.mode.empty()) return true;
  return !card.version.empty() && card.senderId > 0 && card.onwerId > 0 && !card.selects.empty();
}

bool isCalleeOfCard(const cardInfo& card, int64_t myId) {
  if (card.mode.empty() || myId == card.onwerId || myId == card.senderId) return true;
  return std::find(card.selects.begin(), card.selects.end(), myId) != card.selects.end();
}

}  // namespace

reqAnswer pluginNet::on_intoroom(uint16_t code, uintptr_t request) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnIntoRoom, kLogBegin, logThis(this), kFnOnIntoRoom);
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  if (req == nullptr) {
    return {result, kTalkInvalid};
  }
  MRTC_LOG(plugin_, 0, kFnOnIntoRoom, kIntoRoomSummary, req->roomId.c_str(),
           static_cast<long long>(req->groupId), static_cast<int>(req->members.size()),
           req->annotation.c_str());
  return enterRoom(result, req->members, req->groupId, req->roomId, req->annotation);
}

reqAnswer pluginNet::enterRoom(imsdk::resp_commonResult* result, const std::vector<int64_t>& ids,
                               int64_t groupId, const std::string& roomId,
                               const std::string& word) {
  using namespace texts;
  using namespace texts::request;
  talkInfo talk;
  talk.groupId = groupId;
  talk.roomId = roomId;
  const uint32_t stored = plugin_->store().localIntoRoom(ids, talk);
  if (stored != kTalkDone) {
    return {result, static_cast<int32_t>(stored)};
  }
  const int64_t myId = plugin_->selfId();
  msgProxy& proxy = plugin_->proxy();
  const bool p2p = talk.rtcType == kP2pConfer;
  // A callee of a one-to-one call first tells the caller it accepted.
  if (p2p && myId != talk.onwerId && !proxy.sendMsg_intoroom(kAccept, talk, kSendOnly)) {
    return {result, kReqSendFail};
  }
  if (talk.rtcType != kMicroConfer) {
    const std::string annotation = p2p ? word : std::string();
    if (!proxy.sendMsg_intoroom(annotation, talk, kSendOnly)) {
      return {result, kReqSendFail};
    }
  }
  return {result, kReqDone};
}

reqAnswer pluginNet::on_join(uint16_t code, uintptr_t request, const std::string& source) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnJoin, kLogBegin, logThis(this), kFnOnJoin);
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  if (req == nullptr) {
    return {result, kTalkInvalid};
  }
  MRTC_LOG(plugin_, 0, kFnOnJoin, kJoinSummary, req->roomId.c_str(),
           static_cast<long long>(req->groupId));
  reqAnswer answered;
  if (joinAnswersRing(result, req->groupId, req->roomId, &answered)) return answered;
  mrtcCmd buffered;
  if (!plugin_->board().take(req->groupId, req->roomId, buffered)) {
    if (source == kSourceBoard) return {result, kReqNoBoardCall};
    if (result != nullptr) plugin_->releaseCmd(code, result, 0);
    return reqAnswer::noAnswer();
  }
  const int32_t compared = compareVersion(buffered.version);
  if (compared != 1) {
    MRTC_LOG(plugin_, 2, kFnOnJoin, kJoinVersion);
    return {result, versionMismatchCode(compared)};
  }
  talkInfo talk;
  talk.roomId = req->roomId;
  talk.groupId = req->groupId;
  talk.onwerId = buffered.onwerId;
  talk.oName = buffered.oName;
  talk.roomName = buffered.roomName;
  talk.members = buffered.hismembers;
  talk.addr = buffered.addr;
  talk.conferMode = buffered.cmode;
  talk.beginTime = buffered.beginTime;
  talk.tempJoin = 1;
  // Who rings the room: leaving it is then remembered against that caller's
  // repeated rings, as after an answer.
  talk.targetId = buffered.senderId;
  talk.single = getJsonString(buffered.extend, kKeyMode) == kModeSingle ? 1 : 0;
  const uint32_t stored = plugin_->store().localJoin(talk);
  if (stored != kTalkDone) {
    return {result, static_cast<int32_t>(stored)};
  }
  std::vector<int64_t> waiting;
  for (size_t i = 0; i < talk.members.size(); ++i) {
    if (i >= talk.memstates.size() || talk.memstates[i] == invited) {
      waiting.push_back(talk.members[i]);
    }
  }
  if (!waiting.empty()) armWait(talk.roomId, waiting, kWaitSeconds);
  return {result, kReqDone, [this] { plugin_->startKeepAlive(); }};
}

reqAnswer pluginNet::on_templetjoin(uint16_t code, uintptr_t request) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnTempletJoin, kLogBegin, logThis(this), kFnOnTempletJoin);
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  cardInfo card;
  if (req == nullptr || !msgProxy::readCardInfo(req->extend, card) || !usableCard(card)) {
    MRTC_LOG(plugin_, 0, kFnOnTempletJoin, kExtendJson,
             req != nullptr ? logCut(req->extend).c_str() : "");
    return {getRespondMem(request, code), kReqBadExtend};
  }
  if (card.roomName.empty()) card.roomName = req->roomName;
  if (isRepeat(code, card.roomId)) {
    MRTC_LOG(plugin_, 2, kFnOnTempletJoin, kTempletRepeat);
    return reqAnswer::noAnswer();
  }
  const int64_t myId = plugin_->selfId();
  if (card.rtcType != kMicroConfer && card.rtcType != kUnbindConfer &&
      !isCalleeOfCard(card, myId)) {
    MRTC_LOG(plugin_, 2, kFnOnTempletJoin, kTempletNotCallee, logCut(req->extend).c_str());
    return {getRespondMem(request, code), kReqNotCallee};
  }
  if (!card.version.empty()) {
    const int32_t compared = compareVersion(card.version);
    if (compared != 1) {
      MRTC_LOG(plugin_, 2, kFnOnTempletJoin, kTempletVersion);
      return {getRespondMem(request, code), versionMismatchCode(compared)};
    }
  }
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  reqAnswer answered;
  if (joinAnswersRing(result, card.groupId, card.roomId, &answered)) return answered;
  talkInfo talk;
  talk.rtcType = card.rtcType;
  talk.onwerId = card.onwerId;
  talk.oName = card.oName;
  talk.groupId = card.groupId;
  talk.roomId = card.roomId;
  talk.roomName = card.roomName;
  talk.addr = card.addr;
  talk.single = card.singleRead ? 1 : 0;
  talk.conferMode = card.conferMode;
  talk.tempJoin = 1;
  talk.targetId = card.senderId;
  talk.orderTime = card.orderTime;
  // The call's own begin: once this talk ends, a late copy of that call is
  // told apart from a new call of the room by it.
  talk.beginTime = std::max<int64_t>(0, std::strtoll(card.beginTime.c_str(), nullptr, 10));
  talk.srvVer = card.srvVer;
  talk.srvTag = card.srvTag;
  // Without a conference mode the talk's state must be asked from its members.
  const bool hasMode = !card.conferMode.empty() && card.conferMode != kJsonTextBlank;
  const uint32_t stored = plugin_->store().localTempletJoin(talk, hasMode ? 1 : 0);
  if (stored != kTalkDone) {
    return {result, static_cast<int32_t>(stored)};
  }
  if (!hasMode && !plugin_->proxy().sendMsg_querytalk(card.groupId, card.roomId)) {
    MRTC_LOG(plugin_, 0, kFnOnTempletJoin, kTempletQueryFail);
    plugin_->store().finishTalk(talk);
    return {result, kReqSendFail};
  }
  plugin_->startKeepAlive();
  if (!hasMode) {
    armJoinAnswer(card.roomId);
    return {result, kReqDone};
  }
  // The application hears the answer first, then the talk's state.
  mrtcCmd state;
  state.onwerId = card.onwerId;
  state.groupId = card.groupId;
  state.roomId = card.roomId;
  state.roomName = card.roomName;
  state.addr = card.addr;
  state.cmode = card.conferMode;
  return {result, kReqDone,
          [this, state] { plugin_->notify()->pushCmdEvent(kEventTalkState, state); }};
}

}  // namespace imsdkmrtc
