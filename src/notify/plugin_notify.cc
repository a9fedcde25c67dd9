// Helpers shared by the command handlers.
#include "notify/plugin_notify.h"

#include <string>

#include "base/text_readers.h"
#include "base/wire_words.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"

namespace imsdkmrtc {

talkInfo pluginNotify::talkFromCmd(int64_t senderId, const mrtcCmd& cmd) const {
  talkInfo talk;
  talk.rtcType = cmd.rtcType;
  talk.onwerId = cmd.onwerId;
  talk.oName = cmd.oName;
  talk.groupId = cmd.groupId;
  talk.roomId = cmd.roomId;
  talk.roomName = cmd.roomName;
  talk.roomToken = cmd.roomToken;
  talk.members = cmd.members;
  talk.addr = cmd.addr;
  talk.beginTime = cmd.beginTime;
  talk.conferMode = cmd.cmode;
  talk.srvVer = cmd.srvVer;
  talk.srvTag = cmd.srvTag;
  talk.videoType = cmd.videoType;
  // The chat the command came in, seen from here: the caller.
  talk.targetId = senderId;
  talk.single = getJsonString(cmd.extend, texts::kKeyMode) == texts::kModeSingle ? 1 : 0;
  return talk;
}

void pluginNotify::fillDefaultInitState(mrtcCmd& cmd, int64_t selfId) const {
  if (!cmd.initState.empty()) return;
  const char* suffix = texts::notify::kInitControl;
  if (cmd.cmode == texts::kConferChat) {
    suffix = texts::notify::kInitChat;
  } else if (cmd.cmode == texts::kConferLive) {
    suffix = texts::notify::kInitLive;
  }
  cmd.initState.push_back(std::to_string(selfId) + suffix);
}

std::vector<int64_t> pluginNotify::waitingMembers(const talkInfo& talk, int64_t selfId) {
  std::vector<int64_t> out;
  for (size_t i = 0; i < talk.members.size(); ++i) {
    bool inRoom = i < talk.memstates.size() && talk.memstates[i] != 0;
    if (!inRoom && talk.members[i] != selfId) out.push_back(talk.members[i]);
  }
  return out;
}

}  // namespace imsdkmrtc
