// Log formats, function names and wire words of the request handlers, kept in
// one place so that they stay byte for byte what the host's log readers and
// the application expect.
#pragma once

#include <cstdint>

#include "base/annotation_words.h"
#include "base/log_formats.h"
#include "base/wire_words.h"

namespace imsdkmrtc {
namespace texts::request {

// Qualified function names used in log lines.
constexpr char kFnTransCmdToNet[] = "imsdkmrtc::pluginRequest::transCmdToNet";
constexpr char kFnOnNetRequest[] = "imsdkmrtc::pluginNet::onNetRequest";
constexpr char kFnGetRespondMem[] = "imsdkmrtc::pluginNet::getRespondMem";
constexpr char kFnSendResultRespond[] = "imsdkmrtc::pluginNet::sendResultRespond";
constexpr char kFnGetToken[] = "imsdkmrtc::pluginNet::getToken";
constexpr char kFnOnCall[] = "imsdkmrtc::pluginNet::on_call";
constexpr char kFnOnInvite[] = "imsdkmrtc::pluginNet::on_invite";
constexpr char kFnOnIntoRoom[] = "imsdkmrtc::pluginNet::on_intoroom";
constexpr char kFnOnJoin[] = "imsdkmrtc::pluginNet::on_join";
constexpr char kFnOnTempletJoin[] = "imsdkmrtc::pluginNet::on_templetjoin";
constexpr char kFnOnHungup[] = "imsdkmrtc::pluginNet::on_hungup";
constexpr char kFnOnConnectState[] = "imsdkmrtc::pluginNet::on_connectstate";
constexpr char kFnOnKeepAlive[] = "imsdkmrtc::pluginNet::on_keepalive";
constexpr char kFnOnExtra[] = "imsdkmrtc::pluginNet::on_extra";

// Common lines.
constexpr char kTransCmdToNet[] = "transCmdToNet msg = %d";
constexpr char kRequestSeen[] = "mrtc_req=%d.";
constexpr char kRespondMemFail[] = "getRespondMem fail, msg=%d.";
constexpr char kResultSent[] = "sendResultRespond cmd=%d, return code=%d";
constexpr char kExtendJson[] = "extendJson=%s.";

// Token cache.
constexpr char kTokenFromCache[] = "operate local_qCaches token=%s\n";
constexpr char kTokenFromHost[] =
    "operate net_cmd_qCaches ret=%d, code=%d, rescode=%lld, roomId=%s, token=%s, resvalue=%s\n";

// Placing a call and inviting.
constexpr char kCallMembers[] = "memsbers=%s.";
constexpr char kUnbindRename[] = "unbindconfer rename rtc.";
constexpr char kCallSummary[] =
    "on_call: roomId=%s,groupId=%lld,memCnt=%d,roomName=%s,addr=%s,rtcType=%s,token=%s,"
    "srvVer=%s,srvTag=%s,videoType=%s.";
constexpr char kCallSendFail[] = "on_call: sendMsg_call fail.";
constexpr char kCallHintFail[] = "on_call: sendWeakHint begin fail.";
constexpr char kInviteSummary[] = "on_invite: roomId=%s,groupId=%lld,memCnt=%d.";
constexpr char kInviteSendFail[] = "on_invite: sendmsg fail.";
constexpr char kInviteSendOk[] = "on_invite: sendmsg succ.";

// Entering a room.
constexpr char kIntoRoomSummary[] = "on_intoroom: roomId=%s,groupId=%lld,memCnt=%d,annotation=%s.";
constexpr char kJoinSummary[] = "on_join: roomId=%s,groupId=%lld.";
constexpr char kJoinVersion[] = "on_join: version not sync! ";
constexpr char kTempletRepeat[] = "on_templetjoin: is repeat! ";
constexpr char kTempletNotCallee[] = "on_templetjoin: no becall json=%s.";
constexpr char kTempletVersion[] = "on_templetjoin: version not sync! ";
constexpr char kTempletQueryFail[] = "on_templetjoin: sendMsg_querytalk fail.";

// Hanging up.
constexpr char kHungupSummary[] = "on_hungup: roomId=%s,groupId=%lld, annotation=%s.";
constexpr char kHungupReturnRet[] = "on_hungup: return ret=%d.";
constexpr char kHungupClearTalk[] = "on_hungup: return annotation=clear_talk.";
constexpr char kHungupTempShort[] = "on_hungup: return tempjoin and <5s.";
constexpr char kHungupTempAlone[] = "on_hungup: return tempjoin and no other conncet.";
constexpr char kHungupHintFail[] = "notify_call: sendWeakHint finish fail.";

// Connection state.
constexpr char kConnectSummary[] = "on_connectstate: roomId=%s,groupId=%lld,targetId=%lld,cmd=%s.";
constexpr char kConnectFail[] = "on_connectstate: deal fail=%d.";

// Extra requests.
constexpr char kExtraSummary[] = "on_extra: type=%d,cmd=%s,extend=%s.";
constexpr char kExtraBoardSwitch[] = "on_extra boardSwitch=%d";
constexpr char kExtraMcallingVersion[] = "on_extra mcalling_version=%s";
constexpr char kExtraForceOwnerAddr[] = "on_extra forceOwnerAddr=%d";
constexpr char kExtraFinishHintFail[] = "on_extra sendWeakHint finish fail, groupId=%lld.";
constexpr char kExtraRecallEnable[] = "on_extra recall enable=%d";
constexpr char kExtraRecallDuration[] = "on_extra recall duration=%d";
constexpr char kExtraRecallCount[] = "on_extra recall count=%d";
constexpr char kExtraRecallBell[] = "on_extra recall bellDuration=%d";
constexpr char kExtraMicroInfo[] = "extend = %s";
constexpr char kExtraP2p[] = "on_extra p2pconfer enable=%d";
constexpr char kExtraUnbind[] = "on_extra unbindconfer enable=%d";
constexpr char kExtraAddr[] = "on_extra addr enable=%d";
constexpr char kExtraUnbindInfo[] = "extend ex = %s, code=%d";
constexpr char kExtraShareCode[] = "code=%d";
constexpr char kExtraReviseBegin[] = "revise: begin=%s.";
constexpr char kExtraReviseEnd[] = "revise: code=%d, end=%s.";
constexpr char kExtraLimits[] = "on_extra limits maxBodyBytes=%lld, maxIds=%lld";

// Bounds.
constexpr char kTooManyMembers[] = "mrtc_req=%d refused: members=%lld, limit=%lld.";
constexpr char kRequestTooLong[] = "mrtc_req=%d refused: text length=%lld, limit=%lld.";

// Keys of the settings requests.
constexpr char kKeyPcOnOff[] = "pcOnOff";
constexpr char kKeyLimitRange[] = "limitRange";
constexpr char kKeyMsgStampTime[] = "msgStampTime";
constexpr char kKeyBoardSwitch[] = "boardSwitch";
constexpr char kKeyLoseDuration[] = "loseDuration";
constexpr char kKeyMcallingVersion[] = "mcalling_version";
constexpr char kKeyForceOwnerAddr[] = "forceOwnerAddr";
constexpr char kKeyEnable[] = "enable";
constexpr char kKeyDuration[] = "duration";
constexpr char kKeyCount[] = "count";
constexpr char kKeyBellDuration[] = "bellDuration";
constexpr char kKeyP2pSwitch[] = "p2pSwitch";
constexpr char kKeyUnbindSwitch[] = "unbindSwitch";
constexpr char kKeyAddrSwitch[] = "addrSwitch";
constexpr char kKeyMaxBodyBytes[] = "maxBodyBytes";
constexpr char kKeyMaxIds[] = "maxIds";

// Call kinds and words.
constexpr char kSourceBoard[] = "board";
constexpr char kWordClearTalk[] = "clear_talk";
constexpr char kWordDismiss[] = "hungup_dismiss";
constexpr char kWordOffline[] = "hungup_offline";
constexpr char kWordRecvDismiss[] = "hungup_recvdismiss";
constexpr char kWordPeerEnd[] = "peer_hungup_uiclick_end";

}  // namespace texts::request

// Types of the extra request: the settings and the service channel.
enum extraType : int32_t {
  kExtraTypePcOnOff = 1,
  kExtraTypeLimitRange = 2,
  kExtraTypeWatchGroup = 3,
  kExtraTypeUnwatchGroup = 4,
  kExtraTypePushedCmd = 5,  // a command the application was pushed
  kExtraTypeBoardSwitch = 6,
  kExtraTypeCardTemplate = 7,
  kExtraTypeLivingCard = 8,
  kExtraTypeDetailAddr = 9,
  kExtraTypeLoseDuration = 10,
  kExtraTypeActive = 11,
  kExtraTypeMcallingVersion = 12,
  kExtraTypeForceOwnerAddr = 13,
  kExtraTypeFinishHint = 14,
  kExtraTypeResetTalk = 15,
  kExtraTypeRecall = 16,
  kExtraTypeMicroInfo = 17,
  kExtraTypeP2pSwitch = 18,
  kExtraTypeAddrSwitch = 19,
  kExtraTypeUnbindInfo = 20,
  kExtraTypeShareText = 21,
  kExtraTypeRoomToken = 22,
  kExtraTypeMicroCard = 101,
  kExtraTypeReviseCard = 102,
  // Our own addition, clear of the host's numbers: the bounds on what other
  // clients send (plug-in settings maxBodyBytes and maxIds).
  kExtraTypeLimits = 120,
};

}  // namespace imsdkmrtc
