// Inviting further members into the current talk (request 24002).
#include <algorithm>

#include "base/log.h"
#include "base/wire_words.h"
#include "notify/handler_env.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"
#include "timer/timeout_record.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// The state code an invitee starts with, by the talk's conference mode.
const char* initialStateCode(const std::string& conferMode) {
  if (conferMode == texts::kConferChat) return "312";
  if (conferMode == texts::kConferLive) return "300";
  return "322";
}

// The requested invitees less this user and those already in the room (the
// joined members and the owner, who holds the talk until it leaves):
// applications pass the list they show, and a wait for someone already in
// would report them as not answering and drop them from the talk.
std::vector<int64_t> notYetIn(const std::vector<int64_t>& requested, const talkInfo& current,
                              int64_t myId) {
  std::vector<int64_t> out;
  for (int64_t id : requested) {
    if (id == myId || id == current.onwerId) continue;
    const auto at = std::find(current.members.begin(), current.members.end(), id);
    const size_t i = static_cast<size_t>(at - current.members.begin());
    if (at != current.members.end() && i < current.memstates.size() &&
        current.memstates[i] == joined) {
      continue;
    }
    out.push_back(id);
  }
  return out;
}

}  // namespace

reqAnswer pluginNet::on_invite(uint16_t code, uintptr_t request) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnInvite, kLogBegin, logThis(this), kFnOnInvite);
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  if (req == nullptr) {
    return {result, kReqBadExtend};
  }
  MRTC_LOG(plugin_, 0, kFnOnInvite, kInviteSummary, req->roomId.c_str(),
           static_cast<long long>(req->groupId), static_cast<int>(req->members.size()));
  MRTC_LOG(plugin_, 0, kFnOnInvite, kExtendJson, logCut(req->extend).c_str());
  callExtend ext;  // only checked, its values are not used
  if (!msgProxy::parseCallExtend(req->extend, ext)) {
    return {result, kReqBadExtend};
  }

  const int64_t myId = plugin_->selfId();
  talkInfo talk;
  talk.groupId = req->groupId;
  talk.roomId = req->roomId;
  talkInfo before;
  talkInfo current;
  const bool running =
      plugin_->store().queryTalk(current) == kTalkDone && current.roomId == req->roomId;
  // The store takes this user out of the list; later steps use what is left.
  std::vector<int64_t> invitees = running ? notYetIn(req->members, current, myId) : req->members;
  const uint32_t stored = plugin_->store().localInvite(invitees, before, talk);
  if (stored != kTalkDone) {
    return {result, static_cast<int32_t>(stored)};
  }

  if (talk.rtcType != kMicroConfer) {
    const char* state = initialStateCode(talk.conferMode);
    mrtcCmd cmd;
    // Without a group in the request the invitation goes to the talk's own.
    cmd.groupId = req->groupId != 0 ? req->groupId : talk.groupId;
    if (cmd.groupId <= 0) {
      // A one-to-one talk has no group of its own to carry the invitation.
      plugin_->store().removeInvitedBy(talk.roomId, myId);
      return {result, kReqInvalid};
    }
    cmd.members = invitees;
    cmd.selects = invitees;
    for (int64_t id : invitees) {
      cmd.initState.push_back(tools::int64_To_Str(id) + "_" + state);
    }
    if (talk.groupId == 0) talk.groupId = cmd.groupId;
    if (!plugin_->proxy().sendMsg_invite(invitees, talk, cmd)) {
      MRTC_LOG(plugin_, 0, kFnOnInvite, kInviteSendFail);
      plugin_->store().removeInvitedBy(talk.roomId, myId);
      return {result, kReqSendFail};
    }
    MRTC_LOG(plugin_, 0, kFnOnInvite, kInviteSendOk);
  }
  armWait(talk.roomId, invitees, kWaitSeconds);
  return {result, kReqDone};
}

}  // namespace imsdkmrtc
