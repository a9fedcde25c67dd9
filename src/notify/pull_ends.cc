// A pulled batch read as a whole: a call or invitation whose end comes later
// in the same batch is over before the client could ring for it. The pull
// acts only on calls, invitations and finishes, so the cancel that follows a
// call would otherwise go unread and the call ring on.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "base/log.h"
#include "base/text_readers.h"
#include "base/weak_hint_words.h"
#include "host_records.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "notify/ring_end_texts.h"
#include "signalling/msg_types.h"

namespace imsdkmrtc {

namespace {

// What a pulled message says about the end of a room for this user.
struct roomEnd {
  int64_t sender = 0;
  bool forEverybody = false;  // a finish, or the finish hint
};

bool isFinishHint(const imsdk::hostMessage& msg) {
  return getJsonInt(msg.body, texts::kKeyMsgBodyType) == kHintBodyType &&
         getJsonInt(msg.extension, texts::kKeyOperType) == kHintOperFinish;
}

}  // namespace

std::vector<bool> pluginNotify::endedLaterInPull(const std::vector<imsdk::hostMessage>& messages) {
  std::vector<bool> ended(messages.size(), false);
  std::map<std::string, std::vector<roomEnd>> later;
  const int64_t self = plugin_->selfId();
  const uint64_t limit = static_cast<uint64_t>(plugin_->settings().maxBodyBytes.load());
  // From the last message back: every end already seen comes later.
  for (size_t i = messages.size(); i-- > 0;) {
    const imsdk::hostMessage& msg = messages[i];
    if (std::max(msg.body.size(), msg.extension.size()) > limit) continue;
    if (msg.bodyType == kMsgTypeWeakHint) {
      if (!isFinishHint(msg)) continue;
      const std::string usersInfo = getJsonString(msg.extension, texts::kKeyUsersInfo);
      const std::string roomId = getKeyValue(usersInfo, texts::kKeyRoomId);
      if (!roomId.empty()) later[roomId].push_back(roomEnd{0, true});
      continue;
    }
    if (msg.bodyType != kMsgTypeAll && msg.bodyType != kMsgTypeFew) continue;
    mrtcCmd cmd;
    if (!plugin_->proxy().transJson2Cmd(msg.body, cmd) || cmd.roomId.empty()) continue;
    imsdk::hostMessage fixed = msg;
    msgProxy::fixSystemSender(fixed);
    const int64_t sender = fixed.sendUserId;
    switch (cmd.cmdCode) {
      case kCmdMultiFinish:
      case kCmdMultiMFinish:
        later[cmd.roomId].push_back(roomEnd{sender, true});
        break;
      case kCmdMultiHungup:
        later[cmd.roomId].push_back(roomEnd{sender, false});
        break;
      case kCmdMultiIntoRoom:
        // This user answered on another device; others entering end nothing.
        if (sender == self) later[cmd.roomId].push_back(roomEnd{sender, false});
        break;
      case kCmdMultiCall:
      case kCmdMultiInvite: {
        auto found = later.find(cmd.roomId);
        if (found == later.end()) break;
        // The caller's hang-up or cancel, or this user's own answer or
        // refusal elsewhere; another member leaving ends nothing here.
        ended[i] = std::any_of(found->second.begin(), found->second.end(), [&](const roomEnd& e) {
          return e.forEverybody || e.sender == self || e.sender == sender ||
                 e.sender == cmd.onwerId;
        });
        break;
      }
      default:
        break;
    }
  }
  return ended;
}

void pluginNotify::dropEndedInPull(const std::string& roomId) {
  MRTC_LOG(plugin_, 0, texts::notify::kFnOffLine, texts::ringend::kLogPullEnded, roomId.c_str());
  // A recall of the call, still on its way, must not ring either.
  plugin_->store().markClosedBeforeCall(roomId);
}

void pluginNotify::rememberUnheldEnd(int64_t senderId, const mrtcCmd& cmd) {
  if (cmd.roomId.empty()) return;
  const bool finish = cmd.cmdCode == kCmdMultiFinish || cmd.cmdCode == kCmdMultiMFinish;
  const bool ownOrCancel = cmd.cmdCode == kCmdMultiHungup &&
                           (senderId == plugin_->selfId() ||
                            (cmd.rtcType == texts::kP2pConfer && senderId == cmd.onwerId));
  if (!finish && !ownOrCancel) return;
  // The store keeps the room it holds out of this memory itself.
  plugin_->store().markClosedBeforeCall(cmd.roomId);
}

bool pluginNotify::invitedBeforeRefusal(const imsdk::hostMessage& msg, const mrtcCmd& cmd) {
  if (cmd.cmdCode != kCmdMultiInvite || cmd.recall || msg.msgTime <= 0) return false;
  if (!plugin_->store().refusedAfter(cmd.roomId, msg.msgTime)) return false;
  MRTC_LOG(plugin_, 0, texts::notify::kFnOnNotify, texts::ringend::kLogInviteBeforeRefusal,
           cmd.roomId.c_str());
  return true;
}

bool pluginNotify::pulledToAct(int64_t senderId, const mrtcCmd& cmd, bool* endsHeld) {
  const int32_t code = cmd.cmdCode;
  const bool finish = code == kCmdMultiFinish || code == kCmdMultiMFinish;
  // A hang-up of the talk this client holds (the caller cancelled while the
  // client was away) ends it as a live one would, whatever its age: the
  // ring of a call that is over must stop.
  *endsHeld = code == kCmdMultiHungup && plugin_->store().isCurrentRoom(cmd.roomId);
  // Any other hang-up is not acted on here, nor is a finish while calls are
  // off; what they end must still keep a late call of the room quiet.
  if (code == kCmdMultiHungup && !*endsHeld) rememberUnheldEnd(senderId, cmd);
  if (finish && !plugin_->callsEnabled()) rememberUnheldEnd(senderId, cmd);
  if (!(code == kCmdMultiCall || code == kCmdMultiInvite || finish || *endsHeld)) return false;
  return plugin_->callsEnabled() || endsHeldTalk(cmd);
}

}  // namespace imsdkmrtc
