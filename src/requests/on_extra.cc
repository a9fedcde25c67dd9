// The application's settings and service channel (24006).
#include <algorithm>

#include "notify/plugin_notify.h"
#include "plugin/json_escape.h"
#include "plugin/log.h"
#include "plugin/mrtc_plugin.h"
#include "plugin/ui_event_types.h"
#include "plugin/text_readers.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// Extra request types.
enum : int32_t {
  kTypePcOnOff = 1,
  kTypeLimitRange = 2,
  kTypeWatchGroup = 3,
  kTypeUnwatchGroup = 4,
  kTypePushedCmd = 5,
  kTypeBoardSwitch = 6,
  kTypeCardTemplate = 7,
  kTypeLivingCard = 8,
  kTypeDetailAddr = 9,
  kTypeLoseDuration = 10,
  kTypeActive = 11,
  kTypeMcallingVersion = 12,
  kTypeForceOwnerAddr = 13,
  kTypeFinishHint = 14,
  kTypeResetTalk = 15,
  kTypeRecall = 16,
  kTypeMicroInfo = 17,
  kTypeP2pSwitch = 18,
  kTypeAddrSwitch = 19,
  kTypeUnbindInfo = 20,
  kTypeShareText = 21,
  kTypeRoomToken = 22,
  kTypeMicroCard = 101,
  kTypeReviseCard = 102,
};

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

void pluginNet::on_extra(uint16_t code, uintptr_t request) {
  using namespace texts;
  using namespace texts::request;
  MRTC_LOG(plugin_, 0, kFnOnExtra, kLogBegin, logThis(this), kFnOnExtra);
  imsdk::resp_commonResult* result = getRespondMem(request, code);
  const imsdk::req_mrtc_extra* req = extraRequestOf(request);
  if (req == nullptr) {
    sendResultRespond(code, kReqNotHandled, result);
    return;
  }
  MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraSummary, req->type, logCut(req->cmd).c_str(),
           logCut(req->extend).c_str());
  if (req->type == kTypeActive) {
    pluginSettings& settings = plugin_->settings();
    settings.activeFlag.store(1);
    settings.activeTime.store(tools::get_mill_sec());
    // The application hears first; the held-back offline commands follow.
    sendResultRespond(code, kReqDone, result);
    plugin_->notify()->fireCacheOffline();
    return;
  }
  sendResultRespond(code, extraRow(*req, result), result);
}

int32_t pluginNet::extraRow(const imsdk::req_mrtc_extra& req, imsdk::resp_commonResult* result) {
  using namespace texts;
  using namespace texts::request;
  pluginSettings& settings = plugin_->settings();
  msgProxy& proxy = plugin_->proxy();
  const std::string& cmd = req.cmd;
  bool on = false;
  int64_t number = 0;
  switch (req.type) {
    case kTypePcOnOff:
      if (!getJsonBool(cmd, "pcOnOff", on)) return kReqNotHandled;
      settings.pcOnOff.store(on ? 1 : 0);
      return kReqDone;
    case kTypeLimitRange:
      if (!getJsonBool(cmd, "limitRange", on)) return kReqNotHandled;
      proxy.setLimitRange(on);
      return kReqDone;
    case kTypeWatchGroup: {
      const std::string raw = getJsonText(cmd, texts::kKeyGroupId);
      if (!tools::isNumber(raw)) return kReqNotHandled;
      const int64_t groupId = tools::strToInt64(raw);
      if (groupId <= 0) return kReqNotHandled;
      plugin_->board().setWatchedGroup(groupId);
      return kReqDone;
    }
    case kTypeUnwatchGroup:
      plugin_->board().setWatchedGroup(0);
      return kReqDone;
    case kTypePushedCmd: {
      const std::string raw = getJsonText(req.extend, texts::kKeySenderId);
      if (!tools::isNumber(raw) || cmd.empty()) return kReqNotHandled;
      const int64_t senderId = tools::strToInt64(raw);
      if (senderId <= 0) return kReqNotHandled;
      const std::string stamp = getJsonString(req.extend, "msgStampTime");
      if (plugin_->isTimeout(stamp, kPushLowerSec, kPushUpperSec)) return kReqPushOutdated;
      return plugin_->notify()->onPushNotify(senderId, cmd);
    }
    case kTypeBoardSwitch:
      if (!getJsonBool(cmd, "boardSwitch", on)) return kReqNotHandled;
      plugin_->board().setSwitch(on);
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraBoardSwitch, on ? 1 : 0);
      return kReqDone;
    case kTypeCardTemplate:
      proxy.setMcallingTemplet(cmd);
      return kReqDone;
    case kTypeLivingCard:
      return proxy.sendLivingCard(cmd) ? kReqDone : kReqNotHandled;
    case kTypeDetailAddr:
      proxy.setLivingTemplet(cmd);
      return kReqDone;
    case kTypeLoseDuration:
      if (!readNumber(cmd, "loseDuration", number)) return kReqNotHandled;
      settings.loseDuration.store(static_cast<int32_t>(number));
      return kReqDone;
    case kTypeMcallingVersion: {
      const std::string version = getJsonString(cmd, "mcalling_version");
      if (version.empty()) return kReqNotHandled;
      plugin_->mcalling_version = version;
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraMcallingVersion, version.c_str());
      return kReqDone;
    }
    case kTypeForceOwnerAddr:
      if (!getJsonBool(cmd, "forceOwnerAddr", on)) return kReqNotHandled;
      forceOwnerAddr_ = on;
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraForceOwnerAddr, on ? 1 : 0);
      return kReqDone;
    case kTypeFinishHint: {
      const int64_t asked = tools::strToInt64(getJsonString(cmd, texts::kKeyGroupId));
      talkInfo talk;
      if (plugin_->store().queryTalk(talk) == kTalkDone && !talk.single) {
        const int64_t myId = plugin_->selfId();
        const int64_t groupId = talk.groupId != 0 ? talk.groupId : asked;
        std::string hint;
        if (!proxy.sendWeakHintFinish(myId, groupId, talk.roomId, hint)) {
          MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraFinishHintFail,
                   static_cast<long long>(groupId));
        }
        plugin_->notify()->pushTextEvent(kEventHint, hint);
      }
      return kReqDone;
    }
    case kTypeResetTalk:
      plugin_->store().resetTalk();
      return kReqDone;
    case kTypeRecall: {
      const bool enableRead = getJsonBool(cmd, "enable", on);
      if (enableRead) {
        settings.recallEnable.store(on ? 1 : 0);
        MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraRecallEnable, on ? 1 : 0);
      }
      if (readNumber(cmd, "duration", number)) {
        settings.recallDuration.store(static_cast<int32_t>(number));
        MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraRecallDuration, static_cast<int32_t>(number));
      }
      if (readNumber(cmd, "count", number)) {
        settings.recallCount.store(static_cast<int32_t>(number));
        MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraRecallCount, static_cast<int32_t>(number));
      }
      if (readNumber(cmd, "bellDuration", number)) {
        settings.recallBellDuration.store(static_cast<int32_t>(number));
        MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraRecallBell, static_cast<int32_t>(number));
      }
      return enableRead ? kReqDone : kReqNotHandled;
    }
    case kTypeMicroInfo: {
      std::string info;
      if (!proxy.buildMicroconferInfo(info, cmd, std::string())) return kReqNotHandled;
      if (result != nullptr) result->extend = info;
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraMicroInfo, logCut(info).c_str());
      return kReqDone;
    }
    case kTypeP2pSwitch: {
      bool any = false;
      for (const char* key : {"enable", "p2pSwitch"}) {
        if (getJsonBool(cmd, key, on)) {
          settings.p2pSwitch.store(on ? 1 : 0);
          MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraP2p, on ? 1 : 0);
          any = true;
        }
      }
      if (getJsonBool(cmd, "unbindSwitch", on)) {
        settings.unbindSwitch.store(on ? 1 : 0);
        MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraUnbind, on ? 1 : 0);
        any = true;
      }
      return any ? kReqDone : kReqNotHandled;
    }
    case kTypeAddrSwitch:
      if (!getJsonBool(cmd, "addrSwitch", on)) return kReqNotHandled;
      settings.addrSwitch.store(on ? 1 : 0);
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraAddr, on ? 1 : 0);
      return kReqDone;
    case kTypeUnbindInfo: {
      std::string info;
      const int32_t built = proxy.buildUnbindconferInfo(info, cmd) ? 0 : 1;
      if (built == 0 && result != nullptr) result->extend = info;
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraUnbindInfo, logCut(info).c_str(), built);
      return built == 0 ? kReqDone : kReqNotHandled;
    }
    case kTypeShareText: {
      shareInfo share;
      share.type = getJsonString(cmd, "type");
      const int32_t read = proxy.readShareInfo(req.extend, share);
      int32_t answer = kReqNotHandled;
      if (read == 0) {
        std::vector<int64_t> done;
        const bool create = share.type == "create";
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
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraShareCode, read);
      return answer;
    }
    case kTypeRoomToken: {
      const std::string roomId = msgProxy::readReqRoomId(cmd);
      std::string token;
      if (roomId.empty() || !getToken(roomId, token)) return kReqNotHandled;
      if (result != nullptr) {
        result->extend = "{\"roomId\":\"" + jsonEscape(roomId) + "\",\"roomToken\":\"" +
                         jsonEscape(token) + "\"}";
      }
      return kReqDone;
    }
    case kTypeMicroCard:
      return proxy.sendMicroconferCard(cmd) ? kReqDone : kReqNotHandled;
    case kTypeReviseCard: {
      std::string card = cmd;
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraReviseBegin, logCut(cmd).c_str());
      const int32_t revised = proxy.reviseVnioMicroTemplet(card);
      MRTC_LOG(plugin_, 0, kFnOnExtra, kExtraReviseEnd, revised, logCut(card).c_str());
      return kReqDone;
    }
    default:
      return kReqNotHandled;
  }
}

}  // namespace imsdkmrtc
