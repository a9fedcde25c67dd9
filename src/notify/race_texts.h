// Texts of the guards against racing deliveries: copies of ended calls,
// calls too old to answer, and one-to-one calls that cross.
#pragma once

namespace imsdkmrtc {
namespace texts::notify {

// Event 5 word (after "local_sdk_"): this client ended its own unanswered
// one-to-one call because the peer's call crossed it and the peer's goes on.
constexpr char kCallCrossed[] = "callcrossed";

constexpr char kFnCrossed[] = "imsdkmrtc::pluginNotify::yieldToCrossingCall";

constexpr char kLogCallCopy[] = "notify_call: copy of an ended call, roomId=%s, beginTime=%lld.";
constexpr char kLogNotifyStale[] = "notify: call too old to answer, type=%d, roomId=%s.";
constexpr char kLogCrossedKeep[] = "crossed calls: own roomId=%s goes on, roomId=%s is busy.";
constexpr char kLogCrossedYield[] = "crossed calls: own roomId=%s yields to roomId=%s.";
constexpr char kLogCrossedClosed[] = "crossed calls: roomId=%s already ended here, own goes on.";
constexpr char kLogCrossedSendFail[] = "crossed calls: sendMsg hungup(cancel) fail.";

}  // namespace texts::notify
}  // namespace imsdkmrtc
