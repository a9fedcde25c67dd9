// Inviting further members into the current talk (request 24002).
#include "base/log.h"
#include "base/wire_words.h"
#include "plugin/mrtc_plugin.h"
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
  // The store takes this user out of the list; later steps use what is left.
  std::vector<int64_t> invitees = req->members;
  const uint32_t stored = plugin_->store().localInvite(invitees, before, talk);
  if (stored != kTalkDone) {
    return {result, static_cast<int32_t>(stored)};
  }

  if (talk.rtcType != kMicroConfer) {
    const char* state = initialStateCode(talk.conferMode);
    mrtcCmd cmd;
    cmd.groupId = req->groupId;
    cmd.members = invitees;
    cmd.selects = invitees;
    for (int64_t id : invitees) {
      cmd.initState.push_back(tools::int64_To_Str(id) + "_" + state);
    }
    if (talk.groupId == 0) talk.groupId = req->groupId;
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
