// Texts of the signalling command wire form and of the senders: command
// names, JSON keys, fixed values and log formats. Kept in one place so that
// the writer, the reader and the senders cannot drift apart.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/annotation_words.h"
#include "base/wire_words.h"
#include "signalling/mrtc_cmd.h"

namespace imsdkmrtc {
namespace texts::wire {

// Command names, and the table of them by code.
constexpr char kCmdNameCall[] = "multi_call";
constexpr char kCmdNameInvite[] = "multi_invite";
constexpr char kCmdNameIntoRoom[] = "multi_intoroom";
constexpr char kCmdNameHungup[] = "multi_hungup";
constexpr char kCmdNameFinish[] = "multi_finish";
constexpr char kCmdNameVersion[] = "multi_version";
constexpr char kCmdNameMFinish[] = "multi_mfinish";
constexpr char kCmdNameTime[] = "multi_time";
constexpr char kCmdNameReply[] = "multi_reply";
constexpr char kCmdNameQueryTalk[] = "multi_querytalk";
constexpr char kCmdNameReplyQueryTalk[] = "cmd_reply_querytalk";
constexpr char kCmdNameBlank[] = "multi_blank";

struct cmdNameRow {
  int32_t code;
  const char* name;
};
constexpr cmdNameRow kCmdNameRows[] = {
    {kCmdMultiCall, kCmdNameCall},
    {kCmdMultiInvite, kCmdNameInvite},
    {kCmdMultiIntoRoom, kCmdNameIntoRoom},
    {kCmdMultiHungup, kCmdNameHungup},
    {kCmdMultiFinish, kCmdNameFinish},
    {kCmdMultiVersion, kCmdNameVersion},
    {kCmdMultiMFinish, kCmdNameMFinish},
    {kCmdMultiTime, kCmdNameTime},
    {kCmdMultiReply, kCmdNameReply},
    {kCmdMultiQueryTalk, kCmdNameQueryTalk},
    {kCmdReplyQueryTalk, kCmdNameReplyQueryTalk},
    {kCmdMultiBlank, kCmdNameBlank},
};
constexpr char kUnknownCmdName[] = "multi_unknow";
constexpr char kMultiPrefix[] = "multi_";
constexpr size_t kMultiPrefixLen = 6;

// Keys of the command JSON.
constexpr char kType[] = "type";
constexpr char kAnnotation[] = "annotation";
constexpr char kOnwerId[] = "onwerId";
constexpr char kRoomToken[] = "roomToken";
constexpr char kOName[] = "oName";
constexpr char kRoomName[] = "roomName";
constexpr char kAddr[] = "addr";
constexpr char kSrvVer[] = "srvVer";
constexpr char kSrvTag[] = "srvTag";
constexpr char kVideoType[] = "videoType";
constexpr char kCmode[] = "cmode";
constexpr char kBeginTime[] = "beginTime";
constexpr char kDeviceType[] = "deviceType";
constexpr char kVersion[] = "version";
constexpr char kVideoStatus[] = "VideoStatus";
constexpr char kExtend[] = "extend";
constexpr char kRtcType[] = "rtcType";
constexpr char kSelects[] = "selects";
constexpr char kMembers[] = "members";
constexpr char kMemstates[] = "memstates";
constexpr char kHismembers[] = "hismembers";
constexpr char kInitState[] = "initState";
constexpr char kFlag[] = "flag";

// Values.
constexpr char kFlagRecall[] = "recall";

// Tails spliced onto a finished call or invite body (each replaces the
// closing brace).
constexpr char kRecallCountTail[] = ",\"recallCnt\":\"8\",\"recallDrt\":\"1\"}";
constexpr char kRecallFlagTail[] = ",\"flag\":\"recall\"}";

// Service-account redirect.
constexpr int64_t kServiceAccount = 10001;
constexpr char kTargetIdKey[] = "targetID";
constexpr char kSendUserIdKey[] = "sendUserID";
constexpr int64_t kFixRefValue = -10001;
constexpr int32_t kFixStateKept = -10001;
constexpr int32_t kFixStateSet = -10002;

// Call extend keys.
constexpr char kConferMode[] = "conferMode";
constexpr char kOutMembers[] = "outMembers";

// Cache answer keys.
constexpr char kCode[] = "code";
constexpr char kResult[] = "result";
constexpr char kToken[] = "token";

// Function names and log formats.
constexpr char kFnJson2Cmd[] = "imsdkmrtc::msgProxy::transJson2Cmd";
constexpr char kFnSendMessage[] = "imsdkmrtc::msgProxy::sendMessage";
constexpr char kFnSendCall[] = "imsdkmrtc::msgProxy::sendMsg_call";
constexpr char kFnSendInvite[] = "imsdkmrtc::msgProxy::sendMsg_invite";
constexpr char kFnSetLimitRange[] = "imsdkmrtc::msgProxy::setLimitRange";

constexpr char kLogAddrMark[] = "notify: transJson2Cmd addrmark:%s.";
constexpr char kLogInviteRtc[] = "notify: transJson2Cmd rtcType:rtc.";
constexpr char kLogSendFail[] = "sendMessage fail.";
constexpr char kLogSendSucc[] = "sendMessage succ: tarId=%lld, type=%d, sendType=%d, msg=%s.";
constexpr char kLogCallNobody[] = "sendMsg_call no becall.";
constexpr char kLogCallCount[] = "sendMsg_call groupMemCnt=%d.";
constexpr char kLogInviteCount[] = "sendMsg_invite groupMemCnt=%d.";
constexpr char kLogInviteRet[] = "sendMsg_invite ret = %d.";
constexpr char kLogLimitRange[] = "setLimitRange = %d.";

}  // namespace texts::wire
}  // namespace imsdkmrtc
