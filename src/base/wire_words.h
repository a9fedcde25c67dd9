// Wire words more than one subsystem writes or reads: the call kinds, the
// protocol version, talk states, who hung up, room progress, conference mode
// words and the JSON keys read in several places. Words of one subsystem
// alone stay in that subsystem's text header.
#pragma once

namespace imsdkmrtc {
namespace texts {

// Call kinds (rtcType).
constexpr char kRtc[] = "rtc";
constexpr char kP2pConfer[] = "p2pconfer";
constexpr char kMicroConfer[] = "microconfer";
constexpr char kUnbindConfer[] = "unbindconfer";

constexpr char kProtocolVersion[] = "mrtc@1.8.8";

// Talk states (the word remoteInvite reports).
constexpr char kIdle[] = "idle";
constexpr char kTalkingActive[] = "talking_active";
constexpr char kTalkingNoActive[] = "talking_noactive";

// Who sent a hang-up: this user's own other client, or another member.
constexpr char kMyself[] = "myself";
constexpr char kOther[] = "other";

// Room progress of a member (connection-state request).
constexpr char kIntoRoom[] = "intoroom";
constexpr char kLevelRoom[] = "levelroom";

// The video status every multi-party command carries.
constexpr char kVideoStatusMulti[] = "multi";

// Conference mode of a call and its extend text.
constexpr char kModeSingle[] = "single";
constexpr char kExtendSingle[] = "{\"mode\":\"single\"}";
constexpr char kConferChat[] = "chat";
constexpr char kConferLive[] = "live";

// JSON keys read in several places.
constexpr char kKeyMode[] = "mode";
constexpr char kKeyGroupId[] = "groupId";
constexpr char kKeyRoomId[] = "roomId";
constexpr char kKeySenderId[] = "senderId";

// Kinds of a shared-text request.
constexpr char kShareCreate[] = "create";
constexpr char kShareHistory[] = "history";

// Key of the keep-alive time-out.
constexpr char kKeepAliveKey[] = "keepalive";

}  // namespace texts
}  // namespace imsdkmrtc
