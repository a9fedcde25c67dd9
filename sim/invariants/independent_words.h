// The invariants' own copy of the plug-in's numbers and words: an independent check, on purpose.
#pragma once

#include <cstdint>

namespace mrtcsim {
namespace independent {

constexpr int64_t kTickMs = 3000;
constexpr int64_t kEventCard = 22;
constexpr int64_t kEventEntered = 3;
constexpr int64_t kEventFinished = 5;
constexpr int64_t kEventHint = 21;
constexpr int64_t kEventNoAnswer = 6;
constexpr int64_t kEventRing = 1;
constexpr int64_t kEventTalkState = 10;
constexpr int64_t kCmdCall = 24001;
constexpr int64_t kCmdConnectState = 24009;
constexpr int64_t kCmdExtra = 24006;
constexpr int64_t kCmdHungup = 24005;
constexpr int64_t kCmdIntoRoom = 24003;
constexpr int64_t kCmdInvite = 24002;
constexpr int64_t kCmdJoin = 24004;
constexpr int64_t kCmdTempletJoin = 24010;
constexpr int64_t kCallsSwitch = 1;
constexpr int64_t kExtraRecall = 16;
constexpr int64_t kHintType = 8;
constexpr int64_t kNoTalk = 3;
constexpr int64_t kP2pSwitch = 18;
constexpr int64_t kSendFailed = 4;
constexpr const char* kBusy = "busy";
constexpr const char* kFinishHintMark = "\"operType\":\"22\"";
constexpr const char* kHintRoomKey = "roomId=";
constexpr const char* kKeepAliveRanOut = "local_sdk_keepalivetimeout";
constexpr const char* kLeaveWord = "hungup_uiclick";
constexpr const char* kRecallFlag = "recall";
constexpr const char* kRefuse = "refuse";
constexpr const char* kRingRanOut = "local_sdk_becalltimeout";
constexpr const char* kCallCommand = "multi_call";
constexpr const char* kCardRoomKey = "roomID";
constexpr const char* kExtendInfoKey = "extendInfo";
constexpr const char* kFinishCommand = "multi_finish";
constexpr const char* kHungupCommand = "multi_hungup";
constexpr const char* kIntoRoom = "intoroom";
constexpr const char* kIntoRoomCommand = "multi_intoroom";
constexpr const char* kInviteCommand = "multi_invite";
constexpr const char* kLevelRoom = "levelroom";
constexpr const char* kMFinishCommand = "multi_mfinish";
// The simulator's fault and life-cycle words, as the runs report them.
constexpr const char* kCrash = "crash";
constexpr const char* kFrozen = "frozen";
constexpr const char* kMediaLoss = "mediaLoss";
constexpr const char* kRestart = "restart";

}  // namespace independent
}  // namespace mrtcsim
