// Joins that meet the talk this client already holds: a join from the board
// or a card for the room that rings here, and a card join whose question
// about the talk may go unanswered.
#include <algorithm>

#include "base/annotation_words.h"
#include "base/wire_words.h"
#include "notify/handler_env.h"
#include "requests/plugin_net.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

namespace {

// This user is called into roomId on this client and has not answered yet.
bool ringsFor(const talkInfo& talk, const std::string& roomId, int64_t myId) {
  if (talk.roomId != roomId || talk.active == 0 || talk.onwerId == myId) return false;
  const auto at = std::find(talk.members.begin(), talk.members.end(), myId);
  if (at == talk.members.end()) return false;
  const size_t i = static_cast<size_t>(at - talk.members.begin());
  return i < talk.memstates.size() && talk.memstates[i] == invited;
}

}  // namespace

bool pluginNet::joinAnswersRing(imsdk::resp_commonResult* result, int64_t groupId,
                                const std::string& roomId, reqAnswer* answer) {
  const int64_t myId = plugin_->selfId();
  talkInfo current;
  if (plugin_->store().queryTalk(current) != kTalkDone || !ringsFor(current, roomId, myId)) {
    return false;
  }
  // The user pressed join on the board or the card instead of answer: the
  // same wish. Left ringing, the ring time-out would throw the user out of
  // the call later, and a card join would be refused as busy.
  const int64_t group = groupId != 0 ? groupId : current.groupId;
  *answer = enterRoom(result, {myId}, group, roomId, texts::kAccept);
  return true;
}

void pluginNet::armJoinAnswer(const std::string& roomId) {
  plugin_->addTimeout(kTimeoutJoinAnswer, roomId, {}, kJoinAnswerSeconds, kTimeoutEndCheckCategory,
                      kMembersAsGiven, "");
}

}  // namespace imsdkmrtc
