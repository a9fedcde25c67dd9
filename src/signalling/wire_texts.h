// Texts of the signalling command wire form and of the senders: command
// names, JSON keys, fixed values and log formats. Kept in one place so that
// the writer, the reader and the senders cannot drift apart.
#pragma once

#include "plugin/annotation_words.h"
#include "plugin/wire_words.h"

#include <cstddef>
#include <cstdint>

namespace imsdkmrtc {
namespace texts::wire {

// Command names by code.
struct cmdNameRow {
  int32_t code;
  const char* name;
};
inline constexpr cmdNameRow kCmdNameRows[] = {
    {1, "multi_call"},   {2, "multi_invite"},     {3, "multi_intoroom"},       {5, "multi_hungup"},
    {6, "multi_finish"}, {8, "multi_version"},    {9, "multi_mfinish"},        {10, "multi_time"},
    {51, "multi_reply"}, {52, "multi_querytalk"}, {53, "cmd_reply_querytalk"}, {54, "multi_blank"},
};
inline constexpr char kUnknownCmdName[] = "multi_unknow";
inline constexpr char kMultiPrefix[] = "multi_";
inline constexpr size_t kMultiPrefixLen = 6;

// Keys of the command JSON.
inline constexpr char kType[] = "type";
inline constexpr char kAnnotation[] = "annotation";
inline constexpr char kOnwerId[] = "onwerId";
inline constexpr char kRoomToken[] = "roomToken";
inline constexpr char kOName[] = "oName";
inline constexpr char kRoomName[] = "roomName";
inline constexpr char kAddr[] = "addr";
inline constexpr char kSrvVer[] = "srvVer";
inline constexpr char kSrvTag[] = "srvTag";
inline constexpr char kVideoType[] = "videoType";
inline constexpr char kCmode[] = "cmode";
inline constexpr char kBeginTime[] = "beginTime";
inline constexpr char kDeviceType[] = "deviceType";
inline constexpr char kVersion[] = "version";
inline constexpr char kVideoStatus[] = "VideoStatus";
inline constexpr char kExtend[] = "extend";
inline constexpr char kRtcType[] = "rtcType";
inline constexpr char kSelects[] = "selects";
inline constexpr char kMembers[] = "members";
inline constexpr char kMemstates[] = "memstates";
inline constexpr char kHismembers[] = "hismembers";
inline constexpr char kInitState[] = "initState";
inline constexpr char kFlag[] = "flag";

// Values.
inline constexpr char kFlagRecall[] = "recall";
inline constexpr int32_t kDeviceMediaServer = 6;

// Tails spliced onto a finished call or invite body (each replaces the
// closing brace).
inline constexpr char kRecallCountTail[] = ",\"recallCnt\":\"8\",\"recallDrt\":\"1\"}";
inline constexpr char kRecallFlagTail[] = ",\"flag\":\"recall\"}";

// Service-account redirect.
inline constexpr int64_t kServiceAccount = 10001;
inline constexpr char kTargetIdKey[] = "targetID";
inline constexpr char kSendUserIdKey[] = "sendUserID";
inline constexpr int64_t kFixRefValue = -10001;
inline constexpr int32_t kFixStateKept = -10001;
inline constexpr int32_t kFixStateSet = -10002;

// Call extend keys.
inline constexpr char kConferMode[] = "conferMode";
inline constexpr char kOutMembers[] = "outMembers";

// Cache answer keys.
inline constexpr char kCode[] = "code";
inline constexpr char kResult[] = "result";
inline constexpr char kToken[] = "token";

// Function names and log formats.
inline constexpr char kFnJson2Cmd[] = "imsdkmrtc::msgProxy::transJson2Cmd";
inline constexpr char kFnSendMessage[] = "imsdkmrtc::msgProxy::sendMessage";
inline constexpr char kFnSendCall[] = "imsdkmrtc::msgProxy::sendMsg_call";
inline constexpr char kFnSendInvite[] = "imsdkmrtc::msgProxy::sendMsg_invite";
inline constexpr char kFnSetLimitRange[] = "imsdkmrtc::msgProxy::setLimitRange";

#define MRTC_FMT_ADDR_MARK "notify: transJson2Cmd addrmark:%s."
#define MRTC_FMT_INVITE_RTC "notify: transJson2Cmd rtcType:rtc."
#define MRTC_FMT_SEND_FAIL "sendMessage fail."
#define MRTC_FMT_SEND_SUCC "sendMessage succ: tarId=%lld, type=%d, sendType=%d, msg=%s."
#define MRTC_FMT_CALL_NOBODY "sendMsg_call no becall."
#define MRTC_FMT_CALL_COUNT "sendMsg_call groupMemCnt=%d."
#define MRTC_FMT_INVITE_COUNT "sendMsg_invite groupMemCnt=%d."
#define MRTC_FMT_INVITE_RET "sendMsg_invite ret = %d."
#define MRTC_FMT_LIMIT_RANGE "setLimitRange = %d."

}  // namespace texts::wire
}  // namespace imsdkmrtc
