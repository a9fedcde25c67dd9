// Weak hints (grey notices) and call cards received in the chat.
#include <algorithm>
#include <string>
#include <utility>

#include "CLocker.h"
#include "base/log.h"
#include "base/text_readers.h"
#include "base/ui_event_types.h"
#include "base/weak_hint_words.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "signalling/card_view.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// A finish hint for a room seen this long ago (seconds) may be shown again.
constexpr int64_t kHintRoomKeepSec = 600;
constexpr int32_t kDeviceH5 = 5;

}  // namespace

pluginNotify::weakHint pluginNotify::readWeakHint(const std::string& body,
                                                  const std::string& extension) {
  weakHint hint;
  hint.bodyType = getJsonInt(body, texts::kKeyMsgBodyType);
  if (hint.bodyType != kHintBodyType) return hint;
  hint.operType = getJsonInt(extension, texts::kKeyOperType);
  hint.usersInfo = getJsonString(extension, texts::kKeyUsersInfo);
  return hint;
}

bool pluginNotify::onWeakHintNotify(const std::string& body, const std::string& extension) {
  return onWeakHintNotify(readWeakHint(body, extension), extension);
}

bool pluginNotify::onWeakHintNotify(const weakHint& hint, const std::string& extension) {
  // Reached from the notification, post-server and request threads.
  imsdk::autoLock guard(plugin_->lock());
  MRTC_LOG(plugin_, 0, texts::notify::kFnWeakHint, texts::kLogBegin, logThis(this),
           texts::notify::kFnWeakHint);
  const int64_t now = tools::getLocalTime();
  for (size_t i = 0; i < hintRooms_.size(); ++i) {
    if (now - hintRooms_[i].seenAt > kHintRoomKeepSec) {
      hintRooms_[i] = hintRooms_.back();
      hintRooms_.pop_back();
      break;
    }
  }
  if (hint.bodyType != kHintBodyType) return false;
  const int32_t operType = hint.operType;
  if (operType == kHintOperBegin || operType == kHintOperFinish) {
    pushTextEvent(kEventHint, extension);
  }
  const std::string& usersInfo = hint.usersInfo;
  if (operType == kHintOperBegin) {
    // A call outside any group is announced only when such calls are on.
    return plugin_->settings().unbindSwitch.load() == 0 &&
           getKeyValue(usersInfo, texts::kKeyGroupId) == "0";
  }
  if (operType != kHintOperFinish) return false;
  const std::string roomId = getKeyValue(usersInfo, texts::kKeyRoomId);
  MRTC_LOG(plugin_, 0, texts::notify::kFnWeakHint, texts::notify::kLogHintRoom, roomId.c_str());
  if (roomId.empty()) return false;
  finishes_.noticeSeen(roomId);
  // Every member's client writes a finish hint; only the first is shown.
  for (const hintRoom& seen : hintRooms_) {
    if (seen.roomId == roomId) {
      MRTC_LOG(plugin_, 0, texts::notify::kFnWeakHint, texts::notify::kLogHintHide);
      return true;
    }
  }
  if (hintRooms_.size() >= kHintRoomLimit) {
    auto oldest =
        std::min_element(hintRooms_.begin(), hintRooms_.end(),
                         [](const hintRoom& a, const hintRoom& b) { return a.seenAt < b.seenAt; });
    *oldest = hintRooms_.back();
    hintRooms_.pop_back();
  }
  hintRooms_.push_back(hintRoom{roomId, now});
  MRTC_LOG(plugin_, 0, texts::notify::kFnWeakHint, texts::notify::kLogHintAdd);
  return false;
}

bool pluginNotify::onTempNotify(const std::string& body, mrtcCmd& cmd) {
  // One read of the card serves the repair and the reader. Every member's
  // client reads each call card, which names every callee, and a card that
  // is only shown never uses those ids: it is read without its selects.
  std::string card = body;
  cardView view;
  readCardView(card, view, cardSelects::kSkip);
  const int32_t code = plugin_->proxy().reviseVnioMicroTemplet(card, view);
  MRTC_LOG(plugin_, 0, texts::notify::kFnTemp, texts::notify::kLogRevise, code);
  cardInfo info;
  if (!msgProxy::readCardInfo(view, info)) return false;
  if (info.rtcType != texts::kMicroConfer) {
    // The event shows the card as it came. Only a repair (code 0) changes
    // the copy; without one, the copy goes into the event rather than a
    // second one.
    if (code != 0) {
      pushTextEvent(kEventCard, std::move(card));
    } else {
      pushTextEvent(kEventCard, body);
    }
    return false;
  }
  // A conference card rings like a call, with its selects: it is read again,
  // this time with them (such cards are few).
  readCardView(card, view);
  info = cardInfo();
  if (!msgProxy::readCardInfo(view, info)) return false;
  cmd.rtcType = info.rtcType;
  cmd.auxText = info.conferType;
  cmd.onwerId = info.onwerId;
  cmd.senderId = info.senderId;
  cmd.cmdCode = kCmdMultiCall;
  cmd.roomId = info.roomId;
  cmd.roomName = info.roomName;
  cmd.roomToken = info.roomToken;
  cmd.addr = info.addr;
  cmd.selects = info.selects;
  cmd.members = info.selects;
  cmd.beginTime = tools::strToInt64(info.beginTime);
  cmd.extend = info.singleRead ? texts::kExtendSingle : texts::notify::kExtendNormal;
  cmd.cmode = info.conferMode;
  cmd.version = info.version;
  cmd.deviceType = kDeviceH5;
  cmd.VideoStatus = texts::kVideoStatusMulti;
  cmd.srvVer = info.srvVer;
  cmd.srvTag = info.srvTag;
  return false;
}

}  // namespace imsdkmrtc
