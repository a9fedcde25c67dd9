// Texts of the notification handlers: annotation words, extend keys and log
// formats, kept in one place. The compiler checks each format against its
// arguments at the log call.
#pragma once

#include "base/annotation_words.h"
#include "base/log_formats.h"
#include "base/wire_words.h"

namespace imsdkmrtc {
namespace texts::notify {

// Annotation words received or reported.
constexpr char kBusyInRtc[] = "busy_inrtc";
constexpr char kBusyInTel[] = "busy_intel";
constexpr char kFarCallReply[] = "far_sdk_callreply";
constexpr char kFarCallInvite[] = "far_sdk_callinvite";
constexpr char kBeCallTimeout[] = "local_sdk_becalltimeout";
constexpr char kKeepAliveTimeout[] = "local_sdk_keepalivetimeout";
// A card join's question about the talk went unanswered: the call is over.
constexpr char kJoinTimeout[] = "local_sdk_jointimeout";
constexpr char kOtherAccept[] = "other_accept";
constexpr char kLocalPrefix[] = "local_sdk_";
constexpr char kDealPrefix[] = "deal_";
constexpr char kIntoRoomSuffix[] = "_intoroom";
constexpr char kHungupSuffix[] = "_hungup";
constexpr char kPeerPrefix[] = "peer_";
constexpr char kOtherPrefix[] = "other_";
constexpr char kEndSuffix[] = "_end";
constexpr char kWaitSuffix[] = "_wait";

// Suffixes of the default initial state, by conference mode.
constexpr char kInitChat[] = "_312";
constexpr char kInitControl[] = "_322";
constexpr char kInitLive[] = "_300";

// Keys read from received texts.
constexpr char kKeyCaller[] = "caller";
constexpr char kKeyInviter[] = "inviter";

// Extend texts of a card turned into a call.
constexpr char kExtendNormal[] = "{\"mode\":\"normal\"}";

// Function names in log lines.
constexpr char kFnOnNotify[] = "imsdkmrtc::pluginNotify::onNotify";
constexpr char kFnOffLine[] = "imsdkmrtc::pluginNotify::onOffLineNotify";
constexpr char kFnPush[] = "imsdkmrtc::pluginNotify::onPushNotify";
constexpr char kFnFireCache[] = "imsdkmrtc::pluginNotify::fireCacheOffline";
constexpr char kFnDispatch[] = "imsdkmrtc::pluginNotify::dispatchCmd";
constexpr char kFnPushUi[] = "imsdkmrtc::pluginNotify::pushUIEvent";
constexpr char kFnExtend[] = "imsdkmrtc::pluginNotify::buildEventExtend";
constexpr char kFnCall[] = "imsdkmrtc::pluginNotify::notify_call";
constexpr char kFnInvite[] = "imsdkmrtc::pluginNotify::notify_invite";
constexpr char kFnIntoRoom[] = "imsdkmrtc::pluginNotify::notify_intoroom";
constexpr char kFnJoin[] = "imsdkmrtc::pluginNotify::notify_join";
constexpr char kFnReply[] = "imsdkmrtc::pluginNotify::notify_reply";
constexpr char kFnQueryTalk[] = "imsdkmrtc::pluginNotify::notify_querytalk";
constexpr char kFnReplyQueryTalk[] = "imsdkmrtc::pluginNotify::notify_reply_querytalk";
constexpr char kFnVersion[] = "imsdkmrtc::pluginNotify::notify_version";
constexpr char kFnHungup[] = "imsdkmrtc::pluginNotify::notify_hungup";
constexpr char kFnFinish[] = "imsdkmrtc::pluginNotify::notify_finish";
constexpr char kFnLocalFinish[] = "imsdkmrtc::pluginNotify::doLocalFinish";
constexpr char kFnTimeout[] = "imsdkmrtc::pluginNotify::notify_timeout";
constexpr char kFnKeepAlive[] = "imsdkmrtc::pluginNotify::notify_keepalivetimeout";
constexpr char kFnRecall[] = "imsdkmrtc::pluginNotify::notify_recalltimeout";
constexpr char kFnTempletDelay[] = "imsdkmrtc::pluginNotify::notify_templetdelay";
constexpr char kFnBoard[] = "imsdkmrtc::pluginNotify::notify_boardtimeout";
constexpr char kFnLoseFinish[] = "imsdkmrtc::pluginNotify::notify_losefinishtimeout";
constexpr char kFnJoinTimeout[] = "imsdkmrtc::pluginNotify::notify_jointimeout";
constexpr char kFnFinishWatch[] = "imsdkmrtc::pluginNotify::notify_finishwatch";
constexpr char kFnWeakHint[] = "imsdkmrtc::pluginNotify::onWeakHintNotify";
constexpr char kFnTemp[] = "imsdkmrtc::pluginNotify::onTempNotify";

// Log formats.
constexpr char kLogNotifyParseFail[] = "notify: transfrom to cmd fail.";
constexpr char kLogNotifyNotMulti[] = "notify: not multi message.";
constexpr char kLogNotifyIgnore[] = "notify: ignore recvCmd:%s.";
constexpr char kLogNotifyRecv[] = "notify: recvCmd:%s.";
constexpr char kLogNotifyRepeat[] = "notify: msgId=%lld from %lld already acted on.";
constexpr char kLogOfflinePull[] = "onOffLineNotify: pull count=%d.";
constexpr char kLogOfflineParseFail[] = "onOffLineNotify: transfrom to cmd fail.";
constexpr char kLogOfflineCmd[] =
    "onOffLineNotify: sender=%lld,devtype=%d,ver=%s,type=%d,room=%s,rtcType=%s.";
constexpr char kLogOfflineNoSupport[] = "no support.";
constexpr char kLogOfflineFlat[] = "onOffLineNotify: flat count=%d.";
constexpr char kLogPushParseFail[] = "onPushNotify: transfrom to cmd fail.";
constexpr char kLogPushNotMulti[] = "onPushNotify: not multi message.";
constexpr char kLogPushRecv[] = "onPushNotify: recvCmd:%s.";
// Bounds on what other clients send.
constexpr char kLogBodyTooLong[] = "notify: body too long=%lld, limit=%lld, dropped.";
constexpr char kLogListTooLong[] = "notify: id list too long=%lld, limit=%lld, dropped.";
constexpr char kLogInvalidIds[] = "notify: invalid ids dropped=%d.";
constexpr char kLogOfflineCacheFull[] = "offlineCache full=%d, oldest dropped.";
// "fireCacheOffline" and a full-width colon (GB2312 A3 BA).
constexpr char kLogFireCache[] = "fireCacheOffline\xA3\xBAoffcnt=%d.";

constexpr char kLogUiSent[] = "send ui event: type=%d, annotation=%s, ret=%d.";
constexpr char kLogUiCallCount[] = "call event, members.size=%d.";
constexpr char kLogUiCallMembers[] = "call event, members=%s.";
constexpr char kLogExtendCount[] = "buildEventExtend initStateCnt=%d.";
constexpr char kLogExtendJson[] = "buildEventExtend json=%s.";

constexpr char kLogCallNoBecall[] = "notify_call: no becall.";
constexpr char kLogCallMicroOwner[] = "notify_call: microconfer is onwer.";
constexpr char kLogCallExtend[] =
    "notify_call: extend=%s single=%d rtcType=%s token=%s srvVer=%s srvTag=%s videoType=%s.";
constexpr char kLogCallVersion[] = "notify_call: version not sync! ";
constexpr char kLogCallRefused[] = "notify_call: already refuse.";
constexpr char kLogCallParam[] = "notify_call: param error.";
constexpr char kLogCallEqual[] = "notify_call: exist equal talk.";
constexpr char kLogCallBusy[] = "notify_call: busy, is talking.";
constexpr char kLogCallBusyFail[] = "notify_call: sendMsg hungup(busy) fail.";
constexpr char kLogCallCounts[] = "select_cnt=%d, member_cnt=%d.";
constexpr char kLogCallWait[] = "notify_call: waitCnt=%d.";

constexpr char kLogInviteMe[] = "notify_invite: I beinvite=%d.";
constexpr char kLogInviteExtend[] = "notify_invite: extend=%s single=%d rtcType=%s token=%s.";
constexpr char kLogInviteVersion[] = "notify_invite: version not sync! ";
constexpr char kLogInviteRefused[] = "notify_invite: already refuse.";
constexpr char kLogInviteBusy[] = "notify_invite: busy, is talking..";
constexpr char kLogInviteFail[] = "notify_invite: invite fail=%d.";
constexpr char kLogInviteIntoFail[] = "notify_invite: sendMsg intoroom(noactive) fail.";
constexpr char kLogInviteWait[] = "notify_invite: waitMemCnt=%d.";

constexpr char kLogIntoroom[] =
    "notify_intoroom sendUserId=%lld,groupId=%lld,roomId=%s,memCnt=%d,annotation=%s.";
constexpr char kLogIntoroomFail[] = "notify_intoroom: NO_TALKING/UNEQUAL_TALK.";
constexpr char kLogReply[] = "notify_reply sendUserId=%lld, groupId=%lld, roomId=%s.";
constexpr char kLogReplyFail[] = "notify_reply reply fail ret=%d.";
constexpr char kLogQuerytalk[] = "notify_querytalk";
constexpr char kLogReplyQueryWait[] = "notify_reply_querytalk: waitMemCnt=%d.";
constexpr char kLogReplyQueryIntoFail[] = "notify_reply_querytalk: sendMsg_intoroom fail.";
constexpr char kLogVersion[] = "notify_version sendUserId=%lld, groupId=%lld, roomId=%s.";

constexpr char kLogHungup[] = "notify_hungup sendUserId=%lld, groupId=%lld, roomId=%s.";
constexpr char kLogHungupFail[] = "notify_hungup: ret=%d.";
constexpr char kLogFinish[] = "notify_finish sendUserId=%lld, groupId=%lld, roomId=%s, rtcType=%s.";
constexpr char kLogFinishFail[] = "notify_finish finish fail ret=%d.";

constexpr char kLogTimeout[] = "notify_timeout type=%d, key=%s, memCnt=%d.";
constexpr char kLogTimeoutOut[] = "notify_timeout outMembersCnt=%d.";
constexpr char kLogTimeoutFail[] = "notify_timeout ret=%d.";
constexpr char kLogKeepalive[] = "notify_keepalivetimeout";
// "notify_keepalivetimeout", a full-width colon (GB2312 A3 BA), "no_talking.".
constexpr char kLogKeepaliveNone[] = "notify_keepalivetimeout\xA3\xBAno_talking.";
constexpr char kLogRecall[] =
    "notify_recalltimeout key=%s, roomId=%s, fireTime=%lld, recallCnt=%d, memcnt=%d.";
constexpr char kLogRecallFail[] = "notify_recalltimeout ret=%d.";
constexpr char kLogRecallSend[] = "notify_recalltimeout send_recall tickcnt=%d, memcnt=%d.";
constexpr char kLogLoseFinish[] = "notify_losefinishtimeout key=%s.";
constexpr char kLogJoinAnswered[] = "notify_jointimeout ret=%d.";
constexpr char kLogFinishWatch[] = "notify_finishwatch room=%s, step=%d.";
constexpr char kLogFinishWatchFail[] = "notify_finishwatch: sendWeakHint finish fail.";
constexpr char kLogLoseFinishFail[] = "notify_losefinishtimeout ret=%d.";

constexpr char kLogHintRoom[] = "onWeakHintNotify: roomId=%s.";
constexpr char kLogHintHide[] = "onWeakHintNotify: hide.";
constexpr char kLogHintAdd[] = "onWeakHintNotify: add.";
constexpr char kLogRevise[] = "reviseVnioMicroTemplet: code=%d.";

}  // namespace texts::notify
}  // namespace imsdkmrtc
