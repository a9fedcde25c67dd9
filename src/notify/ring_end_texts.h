// Words and log lines of the rules that stop a ring once its call is over
// (the finish hint, a pull that holds a call and its end, a gated push, a
// recall switched off). The simulator's checks read the same texts.
#pragma once

namespace imsdkmrtc {
namespace texts::ringend {

// Event 5 word: the finish hint said the call is over before this user came
// into its room.
constexpr char kFinishedBeforeJoin[] = "local_sdk_finishhint";
// The word without the prefix doLocalFinish puts in front.
constexpr char kFinishHintWord[] = "finishhint";

constexpr char kLogHintEnds[] = "onWeakHintNotify: finish of room %s, talk ended here=%d.";
constexpr char kLogPullEnded[] = "onOffLineNotify: call of room %s ends later in this pull.";
constexpr char kLogPushGated[] = "onPushNotify: calls off or kind not supported, dropped.";
constexpr char kLogInviteBeforeRefusal[] =
    "notify: invitation into room %s sent before this user declined it, dropped.";
constexpr char kLogRecallOff[] = "notify_recalltimeout: recall switched off, nothing sent.";

}  // namespace texts::ringend
}  // namespace imsdkmrtc
