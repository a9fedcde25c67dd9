// Texts of the notification handlers: annotation words, extend keys and log
// formats, kept in one place. Log formats are macros so that the compiler
// checks them against their arguments.
#pragma once

#include "plugin/annotation_words.h"
#include "plugin/log_formats.h"
#include "plugin/wire_words.h"

namespace imsdkmrtc {
namespace texts::notify {

// Annotation words received or reported.
constexpr char kBusyInRtc[] = "busy_inrtc";
constexpr char kBusyInTel[] = "busy_intel";
constexpr char kFarCallReply[] = "far_sdk_callreply";
constexpr char kFarCallInvite[] = "far_sdk_callinvite";
constexpr char kBeCallTimeout[] = "local_sdk_becalltimeout";
constexpr char kKeepAliveTimeout[] = "local_sdk_keepalivetimeout";
constexpr char kOtherAccept[] = "other_accept";
constexpr char kLocalPrefix[] = "local_sdk_";
constexpr char kDealPrefix[] = "deal_";
constexpr char kIntoRoomSuffix[] = "_intoroom";
constexpr char kHungupSuffix[] = "_hungup";
constexpr char kPeerPrefix[] = "peer_";
constexpr char kOtherPrefix[] = "other_";
constexpr char kEndSuffix[] = "_end";
constexpr char kWaitSuffix[] = "_wait";

// Conference modes.
constexpr char kMulti[] = "multi";

// Suffixes of the default initial state, by conference mode.
constexpr char kInitChat[] = "_312";
constexpr char kInitControl[] = "_322";
constexpr char kInitLive[] = "_300";

// Keys read from received texts.
constexpr char kKeyCaller[] = "caller";
constexpr char kKeyInviter[] = "inviter";
constexpr char kKeyMsgBodyType[] = "msgBodyType";
constexpr char kKeyOperType[] = "operType";
constexpr char kKeyUsersInfo[] = "usersInfo";

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
constexpr char kFnWeakHint[] = "imsdkmrtc::pluginNotify::onWeakHintNotify";
constexpr char kFnTemp[] = "imsdkmrtc::pluginNotify::onTempNotify";

}  // namespace texts::notify
}  // namespace imsdkmrtc

// Log formats.
#define NT_BEGIN ::imsdkmrtc::texts::kLogBegin
#define NT_END ::imsdkmrtc::texts::kLogEnd

#define NT_NOTIFY_PARSE_FAIL "notify: transfrom to cmd fail."
#define NT_NOTIFY_NOT_MULTI "notify: not multi message."
#define NT_NOTIFY_IGNORE "notify: ignore recvCmd:%s."
#define NT_NOTIFY_RECV "notify: recvCmd:%s."
#define NT_OFFLINE_PULL "onOffLineNotify: pull count=%d."
#define NT_OFFLINE_PARSE_FAIL "onOffLineNotify: transfrom to cmd fail."
#define NT_OFFLINE_CMD \
  "onOffLineNotify: sender=%lld,devtype=%d,ver=%s,type=%d,room=%s,rtcType=%s."
#define NT_OFFLINE_NO_SUPPORT "no support."
#define NT_OFFLINE_FLAT "onOffLineNotify: flat count=%d."
#define NT_PUSH_PARSE_FAIL "onPushNotify: transfrom to cmd fail."
#define NT_PUSH_NOT_MULTI "onPushNotify: not multi message."
#define NT_PUSH_RECV "onPushNotify: recvCmd:%s."
// "fireCacheOffline" and a full-width colon (GB2312 A3 BA).
#define NT_FIRE_CACHE "fireCacheOffline\xA3\xBAoffcnt=%d."

#define NT_UI_SENT "send ui event: type=%d, annotation=%s, ret=%d."
#define NT_UI_CALL_COUNT "call event, members.size=%d."
#define NT_UI_CALL_MEMBERS "call event, members=%s."
#define NT_EXTEND_COUNT "buildEventExtend initStateCnt=%d."
#define NT_EXTEND_JSON "buildEventExtend json=%s."

#define NT_CALL_NO_BECALL "notify_call: no becall."
#define NT_CALL_MICRO_OWNER "notify_call: microconfer is onwer."
#define NT_CALL_EXTEND \
  "notify_call: extend=%s single=%d rtcType=%s token=%s srvVer=%s srvTag=%s videoType=%s."
#define NT_CALL_VERSION "notify_call: version not sync! "
#define NT_CALL_REFUSED "notify_call: already refuse."
#define NT_CALL_PARAM "notify_call: param error."
#define NT_CALL_EQUAL "notify_call: exist equal talk."
#define NT_CALL_BUSY "notify_call: busy, is talking."
#define NT_CALL_BUSY_FAIL "notify_call: sendMsg hungup(busy) fail."
#define NT_CALL_COUNTS "select_cnt=%d, member_cnt=%d."
#define NT_CALL_WAIT "notify_call: waitCnt=%d."

#define NT_INVITE_ME "notify_invite: I beinvite=%d."
#define NT_INVITE_EXTEND "notify_invite: extend=%s single=%d rtcType=%s token=%s."
#define NT_INVITE_VERSION "notify_invite: version not sync! "
#define NT_INVITE_REFUSED "notify_invite: already refuse."
#define NT_INVITE_BUSY "notify_invite: busy, is talking.."
#define NT_INVITE_FAIL "notify_invite: invite fail=%d."
#define NT_INVITE_INTO_FAIL "notify_invite: sendMsg intoroom(noactive) fail."
#define NT_INVITE_WAIT "notify_invite: waitMemCnt=%d."

#define NT_INTOROOM \
  "notify_intoroom sendUserId=%lld,groupId=%lld,roomId=%s,memCnt=%d,annotation=%s."
#define NT_INTOROOM_FAIL "notify_intoroom: NO_TALKING/UNEQUAL_TALK."
#define NT_REPLY "notify_reply sendUserId=%lld, groupId=%lld, roomId=%s."
#define NT_REPLY_FAIL "notify_reply reply fail ret=%d."
#define NT_QUERYTALK "notify_querytalk"
#define NT_REPLY_QUERY_WAIT "notify_reply_querytalk: waitMemCnt=%d."
#define NT_REPLY_QUERY_INTO_FAIL "notify_reply_querytalk: sendMsg_intoroom fail."
#define NT_VERSION "notify_version sendUserId=%lld, groupId=%lld, roomId=%s."

#define NT_HUNGUP "notify_hungup sendUserId=%lld, groupId=%lld, roomId=%s."
#define NT_HUNGUP_FAIL "notify_hungup: ret=%d."
#define NT_FINISH "notify_finish sendUserId=%lld, groupId=%lld, roomId=%s, rtcType=%s."
#define NT_FINISH_FAIL "notify_finish finish fail ret=%d."

#define NT_TIMEOUT "notify_timeout type=%d, key=%s, memCnt=%d."
#define NT_TIMEOUT_OUT "notify_timeout outMembersCnt=%d."
#define NT_TIMEOUT_FAIL "notify_timeout ret=%d."
#define NT_KEEPALIVE "notify_keepalivetimeout"
// "notify_keepalivetimeout", a full-width colon (GB2312 A3 BA), "no_talking.".
#define NT_KEEPALIVE_NONE "notify_keepalivetimeout\xA3\xBAno_talking."
#define NT_RECALL "notify_recalltimeout key=%s, roomId=%s, fireTime=%lld, recallCnt=%d, memcnt=%d."
#define NT_RECALL_FAIL "notify_recalltimeout ret=%d."
#define NT_RECALL_SEND "notify_recalltimeout send_recall tickcnt=%d, memcnt=%d."
#define NT_LOSE_FINISH "notify_losefinishtimeout key=%s."
#define NT_LOSE_FINISH_FAIL "notify_losefinishtimeout ret=%d."

#define NT_HINT_ROOM "onWeakHintNotify: roomId=%s."
#define NT_HINT_HIDE "onWeakHintNotify: hide."
#define NT_HINT_ADD "onWeakHintNotify: add."
#define NT_REVISE "reviseVnioMicroTemplet: code=%d."
