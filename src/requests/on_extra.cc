// The application's settings and service channel (24006).
#include <algorithm>

#include "base/json_escape.h"
#include "base/log.h"
#include "base/text_readers.h"
#include "base/ui_event_types.h"
#include "notify/handler_env.h"
#include "notify/plugin_notify.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// Pushed commands are accepted from 60 s in the future to 300 s in the past.
constexpr int32_t kPushLowerSec = -60;
constexpr int32_t kPushUpperSec = 300;

// A number given as a quoted decimal text ("duration":"30").
bool readNumber(const std::string& text, const char* key, int64_t& out) {
  const std::string value = getJsonString(text, key);
  if (value.empty() || !tools::isNumber(value)) return false;
  out = tools::strToInt64(value);
  return true;
}

void addOnce(std::vector<int64_t>& served, int64_t id) {
  if (std::find(served.begin(), served.end(), id) == served.end()) served.push_back(id);
}

bool served(const std::vector<int64_t>& list, int64_t id) {
  return std::find(list.begin(), list.end(), id) != list.end();
}

}  // namespace

reqAnswer pluginNet::on_extra(uint16_t code, uintptr_t request) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnExtra, kLogBegin, logThis(this), kFnOnExtra);
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  const imsdk::req_mrtc_extra* req = extraRequestOf(request);
  if (req == nullptr) {
    return {result, kReqNotHandled};
  }
  MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraSummary, req->type, logCut(req->cmd).c_str(),
           logCut(req->extend).c_str());
  if (req->type == kExtraTypeActive) {
    pluginSettings& settings = plugin_->settings();
    settings.activeFlag.store(1);
    settings.activeTime.store(tools::get_mill_sec());
    // The application hears first; the held-back offline commands follow.
    return {result, kReqDone, [this] { plugin_->notify()->fireCacheOffline(); }};
  }
  return {result, extraRow(*req, result)};
}

namespace {

// One extra request being carried out: what a row may read and change.
struct extraCall {
  handlerEnv& plugin;
  pluginNet& net;
  const imsdk::req_mrtc_extra& req;
  imsdk::resp_commonResult* result;  // may be null
  bool& forceOwnerAddr;
  pluginSettings& settings() const { return plugin.settings(); }
  msgProxy& proxy() const { return plugin.proxy(); }
  const std::string& cmd() const { return req.cmd; }
};

using namespace texts::request;

int32_t pcOnOff(extraCall& c) {
  bool on = false;
  if (!getJsonBool(c.cmd(), kKeyPcOnOff, on)) return kReqNotHandled;
  c.settings().pcOnOff.store(on ? 1 : 0);
  return kReqDone;
}

int32_t limitRange(extraCall& c) {
  bool on = false;
  if (!getJsonBool(c.cmd(), kKeyLimitRange, on)) return kReqNotHandled;
  c.proxy().setLimitRange(on);
  return kReqDone;
}

int32_t watchGroup(extraCall& c) {
  const std::string raw = getJsonText(c.cmd(), texts::kKeyGroupId);
  if (!tools::isNumber(raw)) return kReqNotHandled;
  const int64_t groupId = tools::strToInt64(raw);
  if (groupId <= 0) return kReqNotHandled;
  c.plugin.board().setWatchedGroup(groupId);
  return kReqDone;
}

int32_t unwatchGroup(extraCall& c) {
  c.plugin.board().setWatchedGroup(0);
  return kReqDone;
}

int32_t pushedCmd(extraCall& c) {
  const std::string raw = getJsonText(c.req.extend, texts::kKeySenderId);
  if (!tools::isNumber(raw) || c.cmd().empty()) return kReqNotHandled;
  const int64_t senderId = tools::strToInt64(raw);
  if (senderId <= 0) return kReqNotHandled;
  const std::string stamp = getJsonString(c.req.extend, kKeyMsgStampTime);
  if (c.plugin.isTimeout(stamp, kPushLowerSec, kPushUpperSec)) return kReqPushOutdated;
  return c.plugin.notify()->onPushNotify(senderId, c.cmd());
}

int32_t limits(extraCall& c) {
  pluginSettings& settings = c.settings();
  int64_t number = 0;
  bool read = false;
  if (readNumber(c.cmd(), kKeyMaxBodyBytes, number) && number > 0) {
    settings.maxBodyBytes.store(number);
    read = true;
  }
  if (readNumber(c.cmd(), kKeyMaxIds, number) && number > 0) {
    settings.maxIds.store(number);
    read = true;
  }
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraLimits,
           static_cast<long long>(settings.maxBodyBytes.load()),
           static_cast<long long>(settings.maxIds.load()));
  return read ? kReqDone : kReqNotHandled;
}

int32_t boardSwitch(extraCall& c) {
  bool on = false;
  if (!getJsonBool(c.cmd(), kKeyBoardSwitch, on)) return kReqNotHandled;
  c.plugin.board().setSwitch(on);
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraBoardSwitch, on ? 1 : 0);
  return kReqDone;
}

int32_t cardTemplate(extraCall& c) {
  c.proxy().setMcallingTemplet(c.cmd());
  return kReqDone;
}

int32_t livingCard(extraCall& c) {
  return c.proxy().sendLivingCard(c.cmd()) ? kReqDone : kReqNotHandled;
}

int32_t detailAddr(extraCall& c) {
  c.proxy().setLivingTemplet(c.cmd());
  return kReqDone;
}

int32_t loseDuration(extraCall& c) {
  int64_t number = 0;
  if (!readNumber(c.cmd(), kKeyLoseDuration, number)) return kReqNotHandled;
  c.settings().loseDuration.store(static_cast<int32_t>(number));
  return kReqDone;
}

int32_t mcallingVersion(extraCall& c) MRTC_REQUIRES(c.plugin.lock()) {
  const std::string version = getJsonString(c.cmd(), kKeyMcallingVersion);
  if (version.empty()) return kReqNotHandled;
  c.plugin.mcalling_version = version;
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraMcallingVersion, version.c_str());
  return kReqDone;
}

int32_t forceOwnerAddr(extraCall& c) {
  bool on = false;
  if (!getJsonBool(c.cmd(), kKeyForceOwnerAddr, on)) return kReqNotHandled;
  c.forceOwnerAddr = on;
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraForceOwnerAddr, on ? 1 : 0);
  return kReqDone;
}

int32_t finishHint(extraCall& c) {
  const int64_t asked = tools::strToInt64(getJsonString(c.cmd(), texts::kKeyGroupId));
  talkInfo talk;
  if (c.plugin.store().queryTalk(talk) == kTalkDone && !talk.single) {
    const int64_t myId = c.plugin.selfId();
    const int64_t groupId = talk.groupId != 0 ? talk.groupId : asked;
    std::string hint;
    if (!c.proxy().sendWeakHintFinish(myId, groupId, talk.roomId, hint)) {
      MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraFinishHintFail, static_cast<long long>(groupId));
    }
    c.plugin.notify()->pushTextEvent(kEventHint, hint);
  }
  return kReqDone;
}

int32_t resetTalk(extraCall& c) {
  c.plugin.store().resetTalk();
  return kReqDone;
}

int32_t recall(extraCall& c) {
  pluginSettings& settings = c.settings();
  const std::string& cmd = c.cmd();
  bool on = false;
  int64_t number = 0;
  const bool enableRead = getJsonBool(cmd, kKeyEnable, on);
  if (enableRead) {
    settings.recallEnable.store(on ? 1 : 0);
    MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraRecallEnable, on ? 1 : 0);
  }
  if (readNumber(cmd, kKeyDuration, number)) {
    settings.recallDuration.store(static_cast<int32_t>(number));
    MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraRecallDuration, static_cast<int32_t>(number));
  }
  if (readNumber(cmd, kKeyCount, number)) {
    settings.recallCount.store(static_cast<int32_t>(number));
    MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraRecallCount, static_cast<int32_t>(number));
  }
  if (readNumber(cmd, kKeyBellDuration, number)) {
    settings.recallBellDuration.store(static_cast<int32_t>(number));
    MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraRecallBell, static_cast<int32_t>(number));
  }
  return enableRead ? kReqDone : kReqNotHandled;
}

int32_t microInfo(extraCall& c) {
  std::string info;
  if (!c.proxy().buildMicroconferInfo(info, c.cmd(), std::string())) return kReqNotHandled;
  if (c.result != nullptr) c.result->extend = info;
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraMicroInfo, logCut(info).c_str());
  return kReqDone;
}

int32_t p2pSwitch(extraCall& c) {
  pluginSettings& settings = c.settings();
  bool on = false;
  bool any = false;
  for (const char* key : {kKeyEnable, kKeyP2pSwitch}) {
    if (getJsonBool(c.cmd(), key, on)) {
      settings.p2pSwitch.store(on ? 1 : 0);
      MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraP2p, on ? 1 : 0);
      any = true;
    }
  }
  if (getJsonBool(c.cmd(), kKeyUnbindSwitch, on)) {
    settings.unbindSwitch.store(on ? 1 : 0);
    MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraUnbind, on ? 1 : 0);
    any = true;
  }
  return any ? kReqDone : kReqNotHandled;
}

int32_t addrSwitch(extraCall& c) {
  bool on = false;
  if (!getJsonBool(c.cmd(), kKeyAddrSwitch, on)) return kReqNotHandled;
  c.settings().addrSwitch.store(on ? 1 : 0);
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraAddr, on ? 1 : 0);
  return kReqDone;
}

int32_t unbindInfo(extraCall& c) {
  std::string info;
  const int32_t built = c.proxy().buildUnbindconferInfo(info, c.cmd()) ? 0 : 1;
  if (built == 0 && c.result != nullptr) c.result->extend = info;
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraUnbindInfo, logCut(info).c_str(), built);
  return built == 0 ? kReqDone : kReqNotHandled;
}

int32_t shareText(extraCall& c) {
  msgProxy& proxy = c.proxy();
  shareInfo share;
  share.type = getJsonString(c.cmd(), texts::wire::kType);
  const int32_t read = proxy.readShareInfo(c.req.extend, share);
  int32_t answer = kReqNotHandled;
  if (read == 0) {
    std::vector<int64_t> done;
    const bool create = share.type == texts::kShareCreate;
    if (create) {
      for (int64_t id : share.memberIds) {
        proxy.sendShareText(id, {}, share.shareText);
        addOnce(done, id);
      }
    }
    if (share.faceToId > 0 && !served(done, share.faceToId)) {
      proxy.sendShareText(share.faceToId, {}, share.shareText);
      addOnce(done, share.faceToId);
    }
    if (!share.outMembers.empty()) {
      proxy.sendShareText(share.groupId, share.outMembers, share.shareText);
    }
    answer = kReqDone;
  }
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraShareCode, read);
  return answer;
}

// Not analysed: extraRow holds the plug-in lock, which getToken requires
// through the request side's own plug-in pointer; the analysis cannot tell
// that pointer and c.plugin apart as the same plug-in.
int32_t roomToken(extraCall& c) MRTC_NO_THREAD_SAFETY_ANALYSIS {
  const std::string roomId = msgProxy::readReqRoomId(c.cmd());
  std::string token;
  if (roomId.empty() || !c.net.getToken(roomId, token)) return kReqNotHandled;
  if (c.result != nullptr) {
    c.result->extend =
        "{\"roomId\":\"" + jsonEscape(roomId) + "\",\"roomToken\":\"" + jsonEscape(token) + "\"}";
  }
  return kReqDone;
}

int32_t microCard(extraCall& c) {
  return c.proxy().sendMicroconferCard(c.cmd()) ? kReqDone : kReqNotHandled;
}

int32_t reviseCard(extraCall& c) {
  std::string card = c.cmd();
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraReviseBegin, logCut(c.cmd()).c_str());
  const int32_t revised = c.proxy().reviseVnioMicroTemplet(card);
  MRTC_LOG(&c.plugin, 0, kFnOnExtra, kExtraReviseEnd, revised, logCut(card).c_str());
  return kReqDone;
}

struct extraRowDef {
  int32_t type;
  int32_t (*run)(extraCall&);
};

// One row per extra type; a type without a row is not handled.
constexpr extraRowDef kExtraRows[] = {
    {kExtraTypePcOnOff, pcOnOff},
    {kExtraTypeLimitRange, limitRange},
    {kExtraTypeWatchGroup, watchGroup},
    {kExtraTypeUnwatchGroup, unwatchGroup},
    {kExtraTypePushedCmd, pushedCmd},
    {kExtraTypeLimits, limits},
    {kExtraTypeBoardSwitch, boardSwitch},
    {kExtraTypeCardTemplate, cardTemplate},
    {kExtraTypeLivingCard, livingCard},
    {kExtraTypeDetailAddr, detailAddr},
    {kExtraTypeLoseDuration, loseDuration},
    {kExtraTypeMcallingVersion, mcallingVersion},
    {kExtraTypeForceOwnerAddr, forceOwnerAddr},
    {kExtraTypeFinishHint, finishHint},
    {kExtraTypeResetTalk, resetTalk},
    {kExtraTypeRecall, recall},
    {kExtraTypeMicroInfo, microInfo},
    {kExtraTypeP2pSwitch, p2pSwitch},
    {kExtraTypeAddrSwitch, addrSwitch},
    {kExtraTypeUnbindInfo, unbindInfo},
    {kExtraTypeShareText, shareText},
    {kExtraTypeRoomToken, roomToken},
    {kExtraTypeMicroCard, microCard},
    {kExtraTypeReviseCard, reviseCard},
};

}  // namespace

int32_t pluginNet::extraRow(const imsdk::req_mrtc_extra& req, imsdk::resp_commonResult* result) {
  for (const extraRowDef& row : kExtraRows) {
    if (row.type != req.type) continue;
    extraCall call{*plugin_, *this, req, result, forceOwnerAddr_};
    return row.run(call);
  }
  return kReqNotHandled;
}

}  // namespace imsdkmrtc
