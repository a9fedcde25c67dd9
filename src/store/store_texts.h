// Words the store takes from and gives back to the handlers: talk states,
// room progress words of a connection-state request, who hung up, and the
// hang-up reason that records a refusal.
#pragma once

namespace imsdkmrtc {
namespace texts::store {

// Talk states (the word remoteInvite reports).
constexpr const char kIdle[] = "idle";
constexpr const char kTalkingActive[] = "talking_active";
constexpr const char kTalkingNoActive[] = "talking_noactive";

// Who sent a hang-up: this user's own other client, or another member.
constexpr const char kMyself[] = "myself";
constexpr const char kOther[] = "other";

// Room progress of a member (connection-state request).
constexpr const char kIntoRoom[] = "intoroom";
constexpr const char kLevelRoom[] = "levelroom";

// Hang-up reason of a callee that declines.
constexpr const char kRefuse[] = "refuse";

}  // namespace texts::store
}  // namespace imsdkmrtc
