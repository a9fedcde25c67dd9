// Leaving a group talk while others are still in the room.
#include <algorithm>

#include "notify/handler_env.h"
#include "notify/plugin_notify.h"
#include "requests/plugin_net.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

namespace {

// The last few members leave together now and then; more than this many
// leaving in the same instant is no longer "together" but a crowd, whose
// last member posts the notice as usual.
constexpr size_t kFinishWatchMostOthers = 3;

}  // namespace

bool pluginNet::wasInRoom(const talkInfo& talk, int64_t myId) {
  if (talk.onwerId == myId) return true;
  const auto at = std::find(talk.members.begin(), talk.members.end(), myId);
  const size_t i = static_cast<size_t>(at - talk.members.begin());
  return at != talk.members.end() && i < talk.memstates.size() && talk.memstates[i] == joined;
}

void pluginNet::watchFinish(const talkInfo& talk, int64_t myId) {
  // Those this user saw in the room: the joined members and the owner, who
  // keeps the talk until it leaves (the same members that kept this user
  // from posting the finish notice).
  std::vector<int64_t> others;
  for (size_t i = 0; i < talk.members.size(); ++i) {
    const int64_t id = talk.members[i];
    if (id == myId) continue;
    const bool in = i < talk.memstates.size() && talk.memstates[i] == joined;
    if (in || id == talk.onwerId) others.push_back(id);
  }
  // A leaver that saw many others in the room is not among the last: asking
  // would only load the group with answers. With calls switched off the
  // answers do not get through and this client never posts, but its question
  // still tells those in the room that it left.
  if (others.empty() || others.size() > kFinishWatchMostOthers || talk.groupId <= 0) return;
  plugin_->notify()->finishes().watch(talk.roomId, talk.groupId, others);
  plugin_->addTimeout(kTimeoutFinishWatch, talk.roomId, {}, kFinishWatchSeconds,
                      kTimeoutEndCheckCategory, kMembersAsGiven, "");
}

}  // namespace imsdkmrtc
