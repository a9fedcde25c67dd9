// Log formats, function names and wire words of the request handlers, kept in
// one place so that they stay byte for byte what the host's log readers and
// the application expect.
#pragma once

#include "plugin/annotation_words.h"
#include "plugin/log_formats.h"
#include "plugin/wire_words.h"

#include <cstdint>

namespace imsdkmrtc {
namespace texts::request {

// Qualified function names used in log lines.
constexpr const char* kFnTransCmdToNet = "imsdkmrtc::pluginRequest::transCmdToNet";
constexpr const char* kFnOnNetRequest = "imsdkmrtc::pluginNet::onNetRequest";
constexpr const char* kFnGetRespondMem = "imsdkmrtc::pluginNet::getRespondMem";
constexpr const char* kFnSendResultRespond = "imsdkmrtc::pluginNet::sendResultRespond";
constexpr const char* kFnGetToken = "imsdkmrtc::pluginNet::getToken";
constexpr const char* kFnOnCall = "imsdkmrtc::pluginNet::on_call";
constexpr const char* kFnOnInvite = "imsdkmrtc::pluginNet::on_invite";
constexpr const char* kFnOnIntoRoom = "imsdkmrtc::pluginNet::on_intoroom";
constexpr const char* kFnOnJoin = "imsdkmrtc::pluginNet::on_join";
constexpr const char* kFnOnTempletJoin = "imsdkmrtc::pluginNet::on_templetjoin";
constexpr const char* kFnOnHungup = "imsdkmrtc::pluginNet::on_hungup";
constexpr const char* kFnOnConnectState = "imsdkmrtc::pluginNet::on_connectstate";
constexpr const char* kFnOnKeepAlive = "imsdkmrtc::pluginNet::on_keepalive";
constexpr const char* kFnOnExtra = "imsdkmrtc::pluginNet::on_extra";

// Common lines.
constexpr const char* kTransCmdToNet = "transCmdToNet msg = %d";
constexpr const char* kRequestSeen = "mrtc_req=%d.";
constexpr const char* kRespondMemFail = "getRespondMem fail, msg=%d.";
constexpr const char* kResultSent = "sendResultRespond cmd=%d, return code=%d";
constexpr const char* kExtendJson = "extendJson=%s.";

// Token cache.
constexpr const char* kTokenFromCache = "operate local_qCaches token=%s\n";
constexpr const char* kTokenFromHost =
    "operate net_cmd_qCaches ret=%d, code=%d, rescode=%lld, roomId=%s, token=%s, resvalue=%s\n";

// Placing a call and inviting.
constexpr const char* kCallMembers = "memsbers=%s.";
constexpr const char* kUnbindRename = "unbindconfer rename rtc.";
constexpr const char* kCallSummary =
    "on_call: roomId=%s,groupId=%lld,memCnt=%d,roomName=%s,addr=%s,rtcType=%s,token=%s,"
    "srvVer=%s,srvTag=%s,videoType=%s.";
constexpr const char* kCallSendFail = "on_call: sendMsg_call fail.";
constexpr const char* kCallHintFail = "on_call: sendWeakHint begin fail.";
constexpr const char* kInviteSummary = "on_invite: roomId=%s,groupId=%lld,memCnt=%d.";
constexpr const char* kInviteSendFail = "on_invite: sendmsg fail.";
constexpr const char* kInviteSendOk = "on_invite: sendmsg succ.";

// Entering a room.
constexpr const char* kIntoRoomSummary =
    "on_intoroom: roomId=%s,groupId=%lld,memCnt=%d,annotation=%s.";
constexpr const char* kJoinSummary = "on_join: roomId=%s,groupId=%lld.";
constexpr const char* kJoinVersion = "on_join: version not sync! ";
constexpr const char* kTempletRepeat = "on_templetjoin: is repeat! ";
constexpr const char* kTempletNotCallee = "on_templetjoin: no becall json=%s.";
constexpr const char* kTempletVersion = "on_templetjoin: version not sync! ";
constexpr const char* kTempletQueryFail = "on_templetjoin: sendMsg_querytalk fail.";

// Hanging up.
constexpr const char* kHungupSummary = "on_hungup: roomId=%s,groupId=%lld, annotation=%s.";
constexpr const char* kHungupReturnRet = "on_hungup: return ret=%d.";
constexpr const char* kHungupClearTalk = "on_hungup: return annotation=clear_talk.";
constexpr const char* kHungupTempShort = "on_hungup: return tempjoin and <5s.";
constexpr const char* kHungupTempAlone = "on_hungup: return tempjoin and no other conncet.";
constexpr const char* kHungupHintFail = "notify_call: sendWeakHint finish fail.";

// Connection state.
constexpr const char* kConnectSummary = "on_connectstate: roomId=%s,groupId=%lld,targetId=%lld,cmd=%s.";
constexpr const char* kConnectFail = "on_connectstate: deal fail=%d.";

// Extra requests.
constexpr const char* kExtraSummary = "on_extra: type=%d,cmd=%s,extend=%s.";
constexpr const char* kExtraBoardSwitch = "on_extra boardSwitch=%d";
constexpr const char* kExtraMcallingVersion = "on_extra mcalling_version=%s";
constexpr const char* kExtraForceOwnerAddr = "on_extra forceOwnerAddr=%d";
constexpr const char* kExtraFinishHintFail = "on_extra sendWeakHint finish fail, groupId=%lld.";
constexpr const char* kExtraRecallEnable = "on_extra recall enable=%d";
constexpr const char* kExtraRecallDuration = "on_extra recall duration=%d";
constexpr const char* kExtraRecallCount = "on_extra recall count=%d";
constexpr const char* kExtraRecallBell = "on_extra recall bellDuration=%d";
constexpr const char* kExtraMicroInfo = "extend = %s";
constexpr const char* kExtraP2p = "on_extra p2pconfer enable=%d";
constexpr const char* kExtraUnbind = "on_extra unbindconfer enable=%d";
constexpr const char* kExtraAddr = "on_extra addr enable=%d";
constexpr const char* kExtraUnbindInfo = "extend ex = %s, code=%d";
constexpr const char* kExtraShareCode = "code=%d";
constexpr const char* kExtraReviseBegin = "revise: begin=%s.";
constexpr const char* kExtraReviseEnd = "revise: code=%d, end=%s.";

// Call kinds and words.
constexpr const char* kBlankMode = "blank";
constexpr const char* kSourceBoard = "board";
constexpr const char* kWordClearTalk = "clear_talk";
constexpr const char* kWordDismiss = "hungup_dismiss";
constexpr const char* kWordOffline = "hungup_offline";
constexpr const char* kWordRecvDismiss = "hungup_recvdismiss";
constexpr const char* kWordBusy = "busy";
constexpr const char* kWordPeerEnd = "peer_hungup_uiclick_end";

}  // namespace texts::request
}  // namespace imsdkmrtc
