// The three roads on which signalling commands arrive (live messages, pulled
// batches, pushes), the offline cache of an inactive mobile client and the
// one dispatcher they all end in.
#include <algorithm>
#include <string>

#include "CLocker.h"
#include "base/device_types.h"
#include "base/log.h"
#include "host_records.h"
#include "notify/body_digest.h"
#include "notify/handler_env.h"
#include "notify/notify_texts.h"
#include "notify/plugin_notify.h"
#include "notify/race_texts.h"
#include "notify/ring_end_texts.h"
#include "signalling/msg_types.h"

namespace imsdkmrtc {

namespace {

constexpr int32_t kHiddenStatus = -10001;
// A pulled command is acted on only when sent between 60 s in the future
// and 120 s ago (finishes always are).
constexpr int32_t kAgeLowerSec = -60;
constexpr int32_t kAgeUpperSec = 120;
constexpr int32_t kPushParseFail = 81;
constexpr int32_t kPushNotMulti = 82;
// Message ids kept against repeated deliveries: far more than the messages a
// client receives while a copy can still be on its way.
constexpr size_t kActedOnKept = 512;

bool isSignalBody(uint8_t bodyType) { return bodyType == kMsgTypeAll || bodyType == kMsgTypeFew; }

// A live call or invitation sent longer ago than a pulled one may be (or too
// far in the future) can no longer be answered: the caller's side has given
// it up. It is dropped as the offline road drops it, by the same bounds.
bool tooOldToRing(handlerEnv* plugin, const imsdk::hostMessage& msg, const mrtcCmd& cmd) {
  if (cmd.cmdCode != kCmdMultiCall && cmd.cmdCode != kCmdMultiInvite) return false;
  if (!plugin->isTimeout(msg.msgTime, kAgeLowerSec, kAgeUpperSec)) return false;
  MRTC_LOG(plugin, 0, texts::notify::kFnOnNotify, texts::notify::kLogNotifyStale, cmd.cmdCode,
           cmd.roomId.c_str());
  return true;
}

}  // namespace

bool pluginNotify::endsHeldTalk(const mrtcCmd& cmd) {
  const int32_t code = cmd.cmdCode;
  if (code != kCmdMultiHungup && code != kCmdMultiFinish && code != kCmdMultiMFinish) return false;
  return plugin_->store().isCurrentRoom(cmd.roomId);
}

bool pluginNotify::onNotify(uint16_t, imsdk::hostMessage& msg) {
  if (!withinBodyLimit(msg, texts::notify::kFnOnNotify)) return false;
  if (msg.bodyType == kMsgTypeWeakHint) {
    const weakHint hint = readWeakHint(msg.body, msg.extension);
    const bool hide = onWeakHintNotify(hint, msg.extension);
    onFinishHintReceived(hint);
    return hide;
  }
  mrtcCmd cmd;
  if (msg.bodyType == kMsgTypeCard) {
    bool handled = onTempNotify(msg.body, cmd);
    if (cmd.rtcType != texts::kMicroConfer) return handled;
  }
  const bool fromCard = cmd.rtcType == texts::kMicroConfer;
  if (!isSignalBody(msg.bodyType) && !fromCard) return false;
  if (!fromCard && !plugin_->proxy().transJson2Cmd(msg.body, cmd)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnOnNotify, texts::notify::kLogNotifyParseFail);
    return false;
  }
  if (!boundLists(cmd, texts::notify::kFnOnNotify)) return false;
  if (cmd.VideoStatus != texts::kVideoStatusMulti) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnOnNotify, texts::notify::kLogNotifyNotMulti);
    return false;
  }
  msgProxy::fixSystemSender(msg);
  if (!plugin_->callsEnabled() && !endsHeldTalk(cmd)) {
    rememberUnheldEnd(msg.sendUserId, cmd);
    return true;
  }
  if (!plugin_->isSupportedRtcType(cmd.rtcType, cmd.groupId)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnOnNotify, texts::notify::kLogNotifyIgnore,
             logCut(msg.body).c_str());
    return true;
  }
  MRTC_LOG(plugin_, 0, texts::notify::kFnOnNotify, texts::notify::kLogNotifyRecv,
           logCut(msg.body).c_str());

  imsdk::autoLock guard(plugin_->lock());
  const std::string annotation = cmd.annotation;
  if (tooOldToRing(plugin_, msg, cmd) || invitedBeforeRefusal(msg, cmd)) {
    // Logged; nothing to act on.
  } else if (actedOnBefore(msg)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnOnNotify, texts::notify::kLogNotifyRepeat,
             static_cast<long long>(msg.msgId), static_cast<long long>(msg.sendUserId));
  } else {
    dispatchCmd(msg.sendUserId, cmd);
  }
  // The handlers may have rewritten the word; the message keeps its own.
  cmd.senderId = msg.sendUserId;
  cmd.annotation = annotation;
  return !mapP2pAnnotation(cmd, msg.body);
}

void pluginNotify::onOffLineNotify(uint16_t event, void* data) {
  if (event != imsdk::kEventPulled || data == nullptr) return;
  auto& messages = static_cast<imsdk::postServerPulled*>(data)->messages;
  MRTC_LOG(plugin_, 0, texts::notify::kFnOffLine, texts::notify::kLogOfflinePull,
           static_cast<int>(messages.size()));
  int flat = 0;
  const std::vector<bool> endedLater = endedLaterInPull(messages);
  for (size_t index = 0; index < messages.size(); ++index) {
    imsdk::hostMessage& msg = messages[index];
    if (!withinBodyLimit(msg, texts::notify::kFnOffLine)) continue;
    if (msg.bodyType == kMsgTypeWeakHint) {
      const weakHint hint = readWeakHint(msg.body, msg.extension);
      if (onWeakHintNotify(hint, msg.extension)) {
        ++flat;
        msg.status = kHiddenStatus;
      }
      onFinishHintReceived(hint);
      continue;
    }
    mrtcCmd cmd;
    if (msg.bodyType == kMsgTypeCard) {
      onTempNotify(msg.body, cmd);
      if (cmd.rtcType != texts::kMicroConfer) continue;
    } else if (!isSignalBody(msg.bodyType)) {
      continue;
    }
    if (cmd.rtcType != texts::kMicroConfer && !plugin_->proxy().transJson2Cmd(msg.body, cmd)) {
      MRTC_LOG(plugin_, 0, texts::notify::kFnOffLine, texts::notify::kLogOfflineParseFail);
      continue;
    }
    if (!boundLists(cmd, texts::notify::kFnOffLine)) continue;
    if (cmd.VideoStatus != texts::kVideoStatusMulti) continue;
    if (msg.bodyType != kMsgTypeCard && !mapP2pAnnotation(cmd, msg.body)) {
      ++flat;
      msg.status = kHiddenStatus;
    }
    msgProxy::fixSystemSender(msg);
    const int32_t code = cmd.cmdCode;
    const bool finish = code == kCmdMultiFinish || code == kCmdMultiMFinish;
    bool endsHeld = false;
    if (!pulledToAct(msg.sendUserId, cmd, &endsHeld)) continue;
    MRTC_LOG(plugin_, 0, texts::notify::kFnOffLine, texts::notify::kLogOfflineCmd,
             static_cast<long long>(cmd.senderId), cmd.deviceType, cmd.version.c_str(), code,
             cmd.roomId.c_str(), cmd.rtcType.c_str());
    if (!plugin_->isSupportedRtcType(cmd.rtcType, cmd.groupId)) {
      MRTC_LOG(plugin_, 0, texts::notify::kFnOffLine, texts::notify::kLogOfflineNoSupport);
      continue;
    }
    const bool stale = plugin_->isTimeout(msg.msgTime, kAgeLowerSec, kAgeUpperSec);
    if (stale && !finish && !endsHeld) continue;
    if (endedLater[index]) {
      dropEndedInPull(cmd.roomId);
      continue;
    }
    if (invitedBeforeRefusal(msg, cmd)) continue;
    imsdk::autoLock guard(plugin_->lock());
    if (actedOnBefore(msg)) {
      MRTC_LOG(plugin_, 0, texts::notify::kFnOffLine, texts::notify::kLogNotifyRepeat,
               static_cast<long long>(msg.msgId), static_cast<long long>(msg.sendUserId));
      continue;
    }
    // An inactive phone must not ring for calls it cannot show yet; they
    // wait until the application reports it is active again.
    if (plugin_->ownDeviceType() == kDeviceIos && plugin_->settings().activeFlag.load() == 0 &&
        code != kCmdMultiMFinish) {
      if (offlineCache_.size() >= kOfflineCacheLimit) {
        MRTC_LOG(plugin_, 2, texts::notify::kFnOffLine, texts::notify::kLogOfflineCacheFull,
                 static_cast<int>(offlineCache_.size()));
        offlineCache_.erase(offlineCache_.begin());
      }
      offlineCache_.push_back(offlineCacheEntry{msg.msgTime, msg.sendUserId, cmd});
    } else {
      dispatchCmd(msg.sendUserId, cmd);
    }
  }
  MRTC_LOG(plugin_, 0, texts::notify::kFnOffLine, texts::notify::kLogOfflineFlat, flat);
}

bool pluginNotify::actedOnBefore(const imsdk::hostMessage& msg) {
  if (msg.msgId == 0) return false;
  const actedKey key{msg.sendUserId, msg.msgId, bodyDigest(msg.body)};
  if (!actedOn_.insert(key).second) return true;
  actedOrder_.push_back(key);
  if (actedOrder_.size() > kActedOnKept) {
    actedOn_.erase(actedOrder_.front());
    actedOrder_.pop_front();
  }
  return false;
}

// Not analysed: the request entry holds the plug-in lock through its own
// plug-in pointer, and the analysis cannot tell that pointer and plugin_ apart
// as the same plug-in, so it would report the dispatch below as unlocked.
int32_t pluginNotify::onPushNotify(int64_t senderId,
                                   const std::string& text) MRTC_NO_THREAD_SAFETY_ANALYSIS {
  mrtcCmd cmd;
  // Too long a text or list is as unusable as one that does not parse.
  if (!withinBodyLimit(text.size(), texts::notify::kFnPush)) return kPushParseFail;
  if (!plugin_->proxy().transJson2Cmd(text, cmd)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnPush, texts::notify::kLogPushParseFail);
    return kPushParseFail;
  }
  if (!boundLists(cmd, texts::notify::kFnPush)) return kPushParseFail;
  if (cmd.cmdCode == kCmdMultiBlank || cmd.cmdCode == kCmdNotMulti) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnPush, texts::notify::kLogPushNotMulti);
    return kPushNotMulti;
  }
  // The live road's gates hold here too: a call that road drops must not
  // ring through a push either, where a client whose calls are off could
  // neither answer nor refuse it. The answer is that of any command this
  // client does not take.
  if (!plugin_->callsEnabled() || !plugin_->isSupportedRtcType(cmd.rtcType, cmd.groupId)) {
    MRTC_LOG(plugin_, 0, texts::notify::kFnPush, texts::ringend::kLogPushGated);
    return kPushNotMulti;
  }
  MRTC_LOG(plugin_, 0, texts::notify::kFnPush, texts::notify::kLogPushRecv, text.c_str());
  // The request entry already holds the plug-in lock.
  return dispatchCmd(senderId, cmd);
}

void pluginNotify::fireCacheOffline() {
  std::vector<offlineCacheEntry> entries;
  {
    imsdk::autoLock guard(plugin_->lock());
    entries = offlineCache_;
  }
  MRTC_LOG(plugin_, 0, texts::notify::kFnFireCache, texts::notify::kLogFireCache,
           static_cast<int>(entries.size()));
  if (entries.empty()) return;
  imsdk::autoLock guard(plugin_->lock());
  for (offlineCacheEntry& entry : entries) {
    if (!plugin_->isTimeout(entry.msgTime, kAgeLowerSec, kAgeUpperSec)) {
      dispatchCmd(entry.sendUserId, entry.cmd);
    }
  }
  offlineCache_.clear();
}

void pluginNotify::clearOfflineCache() {
  imsdk::autoLock guard(plugin_->lock());
  offlineCache_.clear();
}

size_t pluginNotify::offlineCacheSize() {
  imsdk::autoLock guard(plugin_->lock());
  return offlineCache_.size();
}

bool pluginNotify::withinBodyLimit(size_t size, const char* fn) {
  const int64_t limit = plugin_->settings().maxBodyBytes.load();
  if (size <= static_cast<uint64_t>(limit)) return true;
  MRTC_LOG(plugin_, 2, fn, texts::notify::kLogBodyTooLong, static_cast<long long>(size),
           static_cast<long long>(limit));
  return false;
}

bool pluginNotify::withinBodyLimit(const imsdk::hostMessage& msg, const char* fn) {
  return withinBodyLimit(std::max(msg.body.size(), msg.extension.size()), fn);
}

namespace {

// Ids below 2 are never users (the validity rule of a talk).
constexpr int64_t kFirstUserId = 2;

size_t dropInvalidIds(std::vector<int64_t>& ids) {
  const size_t before = ids.size();
  ids.erase(std::remove_if(ids.begin(), ids.end(), [](int64_t id) { return id < kFirstUserId; }),
            ids.end());
  return before - ids.size();
}

// members and memstates are parallel: a dropped member takes its state along.
size_t dropInvalidMembers(std::vector<int64_t>& members, std::vector<uint8_t>& states) {
  const auto invalid = [](int64_t id) { return id < kFirstUserId; };
  if (std::none_of(members.begin(), members.end(), invalid)) return 0;
  std::vector<int64_t> keptMembers;
  std::vector<uint8_t> keptStates;
  for (size_t i = 0; i < members.size(); ++i) {
    if (invalid(members[i])) continue;
    keptMembers.push_back(members[i]);
    if (i < states.size()) keptStates.push_back(states[i]);
  }
  const size_t dropped = members.size() - keptMembers.size();
  members.swap(keptMembers);
  states.swap(keptStates);
  return dropped;
}

}  // namespace

bool pluginNotify::boundLists(mrtcCmd& cmd, const char* fn) {
  const int64_t limit = plugin_->settings().maxIds.load();
  const size_t longest = std::max({cmd.selects.size(), cmd.members.size(), cmd.memstates.size(),
                                   cmd.hismembers.size(), cmd.initState.size()});
  if (longest > static_cast<uint64_t>(limit)) {
    MRTC_LOG(plugin_, 2, fn, texts::notify::kLogListTooLong, static_cast<long long>(longest),
             static_cast<long long>(limit));
    return false;
  }
  const size_t dropped = dropInvalidIds(cmd.selects) +
                         dropInvalidMembers(cmd.members, cmd.memstates) +
                         dropInvalidIds(cmd.hismembers);
  if (dropped > 0) {
    MRTC_LOG(plugin_, 2, fn, texts::notify::kLogInvalidIds, static_cast<int>(dropped));
  }
  return true;
}

int32_t pluginNotify::dispatchCmd(int64_t senderId, mrtcCmd& cmd) {
  switch (cmd.cmdCode) {
    case kCmdMultiCall:
      // Calls seen in the watched group are what a later board join uses.
      plugin_->board().offer(cmd);
      return notify_call(senderId, cmd);
    case kCmdMultiInvite:
      return notify_invite(senderId, cmd);
    case kCmdMultiIntoRoom:
      notify_intoroom(senderId, cmd);
      return 0;
    case kCmdMultiJoin:
      notify_join(senderId, cmd);
      return 0;
    case kCmdMultiHungup:
      notify_hungup(senderId, cmd);
      return 0;
    case kCmdMultiFinish:
    case kCmdMultiMFinish:
      notify_finish(senderId, cmd);
      return 0;
    case kCmdMultiVersion:
      notify_version(senderId, cmd);
      return 0;
    case kCmdMultiReply:
      notify_reply(senderId, cmd);
      return 0;
    case kCmdMultiQueryTalk:
      notify_querytalk(senderId, cmd);
      return 0;
    case kCmdReplyQueryTalk:
      notify_reply_querytalk(senderId, cmd);
      return 0;
    default:
      return 0;
  }
}

}  // namespace imsdkmrtc
