// Hanging up, declining, cancelling or dropping the current talk (24005).
#include <algorithm>

#include "base/log.h"
#include "base/ui_event_types.h"
#include "notify/handler_env.h"
#include "notify/plugin_notify.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"
#include "signalling/msg_types.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// A talk joined from a card or the board is left quietly this soon.
constexpr int64_t kTempJoinQuietMs = 5000;

// True when no member but this user is in the room. A talk whose only member
// is this user still counts as occupied: its end is not announced from here.
bool noOtherJoined(const talkInfo& talk, int64_t myId) {
  if (talk.members.size() == 1 && talk.members[0] == myId) return false;
  for (size_t i = 0; i < talk.members.size(); ++i) {
    if (talk.members[i] == myId) continue;
    if (i < talk.memstates.size() && talk.memstates[i] == joined) return false;
  }
  return true;
}

// The one-to-one talk as the chat its hang-up goes to. The caller's wait
// time-out takes a callee who never answered out of the members, yet that
// callee's client may still ring (its call came late): the peer is then the
// one in the talk's history.
talkInfo withPeer(const talkInfo& talk, int64_t myId) {
  for (int64_t id : talk.members) {
    if (id != myId) return talk;
  }
  talkInfo chat = talk;
  for (int64_t id : talk.hismembers) {
    if (id == myId) continue;
    chat.members.insert(chat.members.begin(), id);
    break;
  }
  return chat;
}

// The finished event of a one-to-one talk the peer ended.
mrtcCmd peerEnded(const talkInfo& talk) {
  mrtcCmd ended;
  ended.rtcType = talk.rtcType;
  ended.roomId = talk.roomId;
  ended.onwerId = talk.onwerId;
  ended.annotation = texts::request::kWordPeerEnd;
  return ended;
}

bool isOneOf(const std::string& word, std::initializer_list<const char*> words) {
  for (const char* w : words) {
    if (word == w) return true;
  }
  return false;
}

}  // namespace

reqAnswer pluginNet::on_hungup(uint16_t code, uintptr_t request) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnHungup, kLogBegin, logThis(this), kFnOnHungup);
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  const int64_t myId = plugin_->selfId();
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  if (req == nullptr) {
    return {result, kTalkInvalid};
  }
  const std::string& word = req->annotation;
  MRTC_LOG(plugin_, 0, kFnOnHungup, kHungupSummary, req->roomId.c_str(),
           static_cast<long long>(req->groupId), word.c_str());
  talkInfo before;
  const bool wasIn = plugin_->store().queryTalk(before) == kTalkDone && wasInRoom(before, myId);
  talkInfo talk;
  talk.groupId = req->groupId;
  talk.roomId = req->roomId;
  const int32_t ret = static_cast<int32_t>(plugin_->store().localHungup(talk, word));
  if (ret == kTalkNone) {
    return {result, ret, [this, ret] { MRTC_LOG(plugin_, 0, kFnOnHungup, kHungupReturnRet, ret); }};
  }
  if (word == kWordClearTalk) {
    return {result, ret, [this] { MRTC_LOG(plugin_, 0, kFnOnHungup, kHungupClearTalk); }};
  }
  msgProxy& proxy = plugin_->proxy();

  if (talk.rtcType == kP2pConfer) {
    const talkInfo chat = withPeer(talk, myId);
    if (isOneOf(word, {kHungupUiClick, kWordDismiss, kWordOffline})) proxy.sendMsg_time(chat);
    if (word == kWordRecvDismiss) plugin_->notify()->pushCmdEvent(kEventFinished, peerEnded(talk));
    if (isOneOf(word, {kWordDismiss, kWordOffline})) {
      return {result, kReqDone};
    }
    // Words that end a call nobody answered are also kept in the local chat.
    const int32_t sendType =
        isOneOf(word, {kCancelUiClick, kRefuse, kCancelCallTimeout}) ? kInsertThenSend : kSendOnly;
    const bool sent = proxy.sendMsg_hungup(word, chat, std::string(), kMsgTypeAll, sendType);
    return {result, sent ? kReqDone : kReqSendFail};
  }

  if (talk.tempJoin) {
    if (tools::get_mill_sec() - talk.createTime < kTempJoinQuietMs) {
      return {result, kReqDone, [this] { MRTC_LOG(plugin_, 0, kFnOnHungup, kHungupTempShort); }};
    }
    if (!talk.othersChanged) {
      return {result, kReqDone, [this] { MRTC_LOG(plugin_, 0, kFnOnHungup, kHungupTempAlone); }};
    }
  }
  if (!talk.active) {
    return {result, kReqDone};
  }
  const bool isOwner = myId >= 0 && talk.onwerId == myId;
  const bool ownerIsMember =
      std::find(talk.members.begin(), talk.members.end(), talk.onwerId) != talk.members.end();
  const bool endsForAll =
      noOtherJoined(talk, myId) && word != kBusy && !(!isOwner && ownerIsMember);
  if (endsForAll && !talk.single) {
    std::string hint;
    if (talk.rtcType != kMicroConfer &&
        !proxy.sendWeakHintFinish(myId, talk.groupId, talk.roomId, hint)) {
      MRTC_LOG(plugin_, 0, kFnOnHungup, kHungupHintFail);
    }
    plugin_->notify()->pushTextEvent(kEventHint, hint);
  } else if (wasIn && !talk.single && word != kBusy && talk.rtcType != kMicroConfer) {
    watchFinish(talk, myId);
  }
  if (word == kRefuse && talk.rtcType != kMicroConfer &&
      !proxy.sendMsg_refuse(kFarUiRefuse, talk)) {
    return {result, kReqSendFail};
  }
  return {result, ret};
}

}  // namespace imsdkmrtc
