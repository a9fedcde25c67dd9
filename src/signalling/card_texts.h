// Texts of the chat cards, weak hints and shared texts: user-visible words
// (UTF-8), JSON key fragments written by concatenation, and log formats. Kept
// in one place so that the wire forms stay byte-identical everywhere.
#pragma once

namespace imsdkmrtc {
namespace texts::card {

// Card template defaults.
constexpr char kUpdatePageHost[] = "cards.example.net";
constexpr char kSchemePrefix[] = "https://";
constexpr char kLivingUpdatePath[] = ":3443/livingupdate.html";
constexpr char kMcallingUpdatePath[] = ":3443/mcallingupdate.html";
constexpr char kTitle[] = "视频会议";
constexpr char kTitleEng[] = "Video Conference";
constexpr char kTitleColor[] = "#FFFFFF";
constexpr char kTitleBgColor[] = "#003557";

// Rows of the field lists.
constexpr char kKeyOriginator[] = "originator";
constexpr char kNameOriginator[] = "发起人";
constexpr char kNameEngOriginator[] = "Creator";
constexpr char kNameVersion[] = "版本";
constexpr char kNameEngVersion[] = "version";
constexpr char kNameServer[] = "服务";
constexpr char kNameEngServer[] = "server";

// Micro-conference card.
constexpr char kMicroDetailUrl[] = "https://cards.example.net/";
constexpr char kMicroTitle[] = "微会议测试";
constexpr char kMicroTitleEng[] = "MicroVideo Conference";
constexpr char kMicroTitleBgColor[] = "#333333";
constexpr char kMicroStamp[] = "4982727645";

// Live-stream card.
constexpr char kLivingTitle[] = "Kelto直播";
constexpr char kLivingTitleEng[] = "Vorn living";
constexpr char kLivingTitleBgColor[] = "#8600BF";
constexpr char kLivingRoomSuffix[] = "的直播间";
constexpr char kYear[] = "年";
constexpr char kMonth[] = "月";
constexpr char kDay[] = "日";
constexpr char kLivingAnchor[] = "主播";
constexpr char kLivingDate[] = "日期";
constexpr char kLivingTime[] = "时间";
constexpr char kLivingVersion[] = "版本";
constexpr char kLivingAnchorEng[] = "anchor";
constexpr char kLivingDateEng[] = "data";
constexpr char kLivingTimeEng[] = "time";
constexpr char kLivingVersionEng[] = "version";

// Weak hints.
constexpr char kHintBegin[] = "发起了语音通话";
constexpr char kHintFinish[] = "语音通话已经结束";
constexpr char kDevicePc[] = "电脑端";
constexpr char kDeviceMobile[] = "手机端";
constexpr char kAdviceUpgrade[] = "请及时升级";
constexpr char kAdviceNotified[] = "已通知对方升级";
constexpr char kCallRequest[] = "语音请求";
constexpr char kCallInvite[] = "语音邀请";
constexpr char kCannotAnswerYour[] = "不能接听您的";
constexpr char kCannotAnswer[] = "不能接听";
constexpr char kOf[] = "的";
constexpr char kFullComma[] = "，";

// JSON keys and values of the cards and the request data.
constexpr char kKeyConferType[] = "conferType";
constexpr char kKeyExtendInfo[] = "extendInfo";
constexpr char kKeyOrderTime[] = "orderTime";
constexpr char kKeyRoomIdCard[] = "roomID";
constexpr char kKeySingleRead[] = "singleRead";
constexpr char kKeyStartTime[] = "startTime";
constexpr char kKeyStopTime[] = "stopTime";
constexpr char kModeMcalling[] = "mcalling";
constexpr char kKeyDesc[] = "desc";
constexpr char kKeyRemark[] = "remark";
constexpr char kKeyServerAddr[] = "serverAddr";
constexpr char kKeyTempDetailUrl[] = "tempDetailUrl";
constexpr char kSwitchOff[] = "off";
constexpr char kKeyReqData[] = "reqData";
constexpr char kKeySubType[] = "subType";
constexpr char kKeyMsgProperties[] = "msgProperties";
// The conferType of an unbound conference.
constexpr char kConferUnbound[] = "2";

// Shared-text request keys and member ranks.
constexpr char kKeyPeer[] = "peer";
constexpr char kKeyRank[] = "rank";
constexpr char kRankOwner[] = "onwer";
constexpr char kRankManager[] = "mgr";
constexpr char kRankMember[] = "mem";
constexpr char kKeyFaceToId[] = "faceToId";
constexpr char kKeyShareText[] = "shareText";

// Function names of the log lines.
constexpr char kFnFill[] = "imsdkmrtc::msgProxy::fillTempMessage";
constexpr char kFnSendTemp[] = "imsdkmrtc::msgProxy::sendTempMsssage";
constexpr char kFnRevise[] = "imsdkmrtc::msgProxy::reviseVnioMicroTemplet";

// Log formats.
constexpr char kLogFillBegin[] = "fillTempMessage Begin onwer=%lld(%s), initStateCnt=%d.";
constexpr char kLogFillOwner[] = "fillTempMessage onwerName=%s.";
constexpr char kLogFillEnd[] = "fillTempMessage End.";
constexpr char kLogTempMessage[] = "tempmessage=%s.";
constexpr char kLogReviseLen[] = "reviseVnioMicroTemplet: len=%d.";
constexpr char kLogReviseText[] = "reviseVnioMicroTemplet: len=%s.";
constexpr char kLogReviseStep[] = "reviseVnioMicroTemplet: %d.";

}  // namespace texts::card
}  // namespace imsdkmrtc
