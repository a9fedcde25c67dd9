// pluginNotify: turns received signalling messages into commands, acts on
// each, raises UI events and handles due time-outs.
//
// Threads: onNotify (notification thread), onOffLineNotify (post-server
// thread) and the request-side entries run each dispatch under the plug-in
// lock; hintRooms_, offlineCache_ and the acted-on message ids are touched
// only under it. The time-out
// handlers run on the timer thread without the plug-in lock and reach the
// store through its own lock.
#pragma once

#include <cstdint>
#include <deque>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "host_records.h"
#include "notify/finish_watch.h"
#include "notify/handler_env.h"
#include "notify/recent_rooms.h"
#include "sdk_cmd.h"
#include "signalling/mrtc_cmd.h"
#include "store/talk_info.h"
#include "thread_annotations.h"

namespace imsdkmrtc {

struct timeoutRecord;

// Caches that other clients can fill are bounded; when one is full its
// oldest entry makes room. Finish hints of 64 rooms within ten minutes, or 64
// held-back offline commands, are far beyond any real chat.
constexpr size_t kHintRoomLimit = 64;
constexpr size_t kOfflineCacheLimit = 64;
// Rooms whose version notice went out: a re-ring of one of them sends none.
constexpr size_t kVersionRoomLimit = 64;

class pluginNotify {
 public:
  explicit pluginNotify(handlerEnv* plugin) : plugin_(plugin) {}
  virtual ~pluginNotify() = default;

  // Live message (slot 4, type 144).
  bool onNotify(uint16_t type, imsdk::hostMessage& msg);
  // Post-server events other than login (slot 12); acts on event 38.
  void onOffLineNotify(uint16_t event, void* data);
  void clearOfflineCache();
  // Due time-out from the timer thread.
  void onTimeoutDispatch(const timeoutRecord& record);

  // Entries used by the request handlers and msgProxy.
  // Runs inside the request entry, which holds the plug-in lock.
  int32_t onPushNotify(int64_t senderId, const std::string& text);
  // Takes the plug-in lock, again when the request entry holds it.
  void fireCacheOffline();
  // What a weak hint's texts say, read once for both readers below: the
  // body type, and for a hint body the operation and the users' info.
  struct weakHint {
    int32_t bodyType = -1;
    int32_t operType = -1;
    std::string usersInfo;
  };
  static weakHint readWeakHint(const std::string& body, const std::string& extension);
  // A weak hint received or about to be sent; true: hide it.
  bool onWeakHintNotify(const std::string& body, const std::string& extension);
  bool onWeakHintNotify(const weakHint& hint, const std::string& extension);
  // A weak hint received from the network (live or pulled): a finish hint
  // ends a talk this user has not come into. Takes the plug-in lock.
  void onFinishHintReceived(const weakHint& hint);
  // UI events (command 24007): filled from a command, or carrying a text.
  bool pushCmdEvent(uint8_t type, const mrtcCmd& cmd);
  // The text is taken by value: a caller done with it moves it in.
  bool pushTextEvent(uint8_t type, std::string text);

  // Extension texts carried by UI events.
  std::string buildEventExtend(const std::string& rtcType, const std::string& addr, bool single,
                               int32_t peerDeviceType, const std::string& conferMode,
                               const std::string& roomToken,
                               const std::vector<std::string>& initState, const std::string& srvVer,
                               const std::string& srvTag);
  // The "peer_devtype" member alone, or wrapped in braces as a whole object.
  enum class fragmentForm { kMember, kObject };
  std::string deviceFragment(int32_t deviceType, fragmentForm form) const;

  // Group talks this user left while others were in (its own lock).
  finishWatch& finishes() { return finishes_; }

  // Number of commands held for an inactive mobile client.
  size_t offlineCacheSize();

 private:
  struct hintRoom {
    std::string roomId;
    int64_t seenAt = 0;
  };
  struct offlineCacheEntry {
    int64_t msgTime = 0;
    int64_t sendUserId = 0;
    mrtcCmd cmd;
  };

  // Entry.
  int32_t dispatchCmd(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  // Bounds on received texts and lists (settings maxBodyBytes, maxIds);
  // false, with a log line under fn, when the message must be dropped.
  bool withinBodyLimit(size_t size, const char* fn);
  bool withinBodyLimit(const imsdk::hostMessage& msg, const char* fn);
  // Drops ids below 2 from the command's id lists (memstates kept aligned
  // with members); false when a list is longer than the limit.
  bool boundLists(mrtcCmd& cmd, const char* fn);
  bool mapP2pAnnotation(mrtcCmd& cmd, std::string& body);
  // For each pulled message: true for a call or invitation whose room a later
  // message of the same pull ends for this user (a finish or finish hint, the
  // caller's hang-up, this user's answer or refusal on another device).
  std::vector<bool> endedLaterInPull(const std::vector<imsdk::hostMessage>& messages);
  // Leaves such a call unrung (logged) and keeps its repeated rings silent.
  void dropEndedInPull(const std::string& roomId);
  // An end of a room this client does not hold, read but not acted on (calls
  // switched off, or a hang-up in a pull): a finish, this user's own hang-up
  // on another device, or the caller's cancel of a one-to-one call. A copy of
  // the room's call that comes later must not ring.
  void rememberUnheldEnd(int64_t senderId, const mrtcCmd& cmd);
  // A hang-up or finish of the talk this client holds. It passes the
  // calls-off gate: that switch stops new calls, and must not keep a call
  // that is over ringing, nor a left one held.
  bool endsHeldTalk(const mrtcCmd& cmd);
  // Whether a pulled command is acted on: a call, an invitation, a finish, or
  // a hang-up of the held talk (*endsHeld), the last two also while calls are
  // off. The ends it does not act on are remembered against late calls.
  bool pulledToAct(int64_t senderId, const mrtcCmd& cmd, bool* endsHeld);
  // True (logged) for an invitation sent before this user declined its room:
  // it comes late, it is no new invitation, and it must not ring again.
  bool invitedBeforeRefusal(const imsdk::hostMessage& msg, const mrtcCmd& cmd);
  bool pushUIEvent(imsdk::resp_mrtcEvent* record);

  // Handlers of received commands (sender: the message's sender id).
  int32_t notify_call(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  // A call this client takes: the call event, its ring and the others' wait.
  void ringCall(mrtcCmd& cmd, const talkInfo& talk, int64_t self) MRTC_REQUIRES(plugin_->lock());
  // An invitation into a talk this client did not hold: it rings as a call.
  void ringInvite(const mrtcCmd& cmd, const talkInfo& talk, int64_t self)
      MRTC_REQUIRES(plugin_->lock());
  int32_t notify_invite(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  void notify_intoroom(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  void notify_join(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  void notify_reply(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  void notify_querytalk(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  void notify_reply_querytalk(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  void notify_version(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  void notify_hungup(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  void notify_finish(int64_t senderId, mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());
  // Ends the talk on this client alone; the word goes out as given or with
  // "local_sdk_" in front.
  enum class finishWord { kAsGiven, kLocalPrefix };
  void doLocalFinish(talkInfo& talk, const std::string& word, finishWord form)
      MRTC_REQUIRES(plugin_->lock());

  // This user's unanswered one-to-one call to the sender crossed the
  // sender's call, and the sender's goes on (the smaller room id): ends the
  // own call as a cancel would and returns true, so the caller rings for the
  // sender's. False, with nothing done, in every other case.
  bool yieldToCrossingCall(int64_t senderId, const mrtcCmd& cmd) MRTC_REQUIRES(plugin_->lock());

  // Time-out handlers.
  void notify_timeout(const timeoutRecord& record);
  void notify_keepalivetimeout(const timeoutRecord& record);
  void notify_recalltimeout(const timeoutRecord& record);
  void notify_templetdelay(const timeoutRecord& record);
  void notify_boardtimeout(const timeoutRecord& record);
  void notify_losefinishtimeout(const timeoutRecord& record);
  // Category 6: a card join nobody answered, a watched group talk's end.
  void notify_jointimeout(const timeoutRecord& record);
  void notify_finishwatch(const timeoutRecord& record);

  // Cards.
  bool onTempNotify(const std::string& body, mrtcCmd& cmd);

  // Helpers shared by the handlers.
  talkInfo talkFromCmd(int64_t senderId, const mrtcCmd& cmd) const;
  void fillDefaultInitState(mrtcCmd& cmd, int64_t selfId) const;
  // True for a message of this user (cmd.senderId is the message's sender):
  // it comes from another device of the user.
  bool isOtherDevice(const mrtcCmd& cmd, int64_t selfId) const;
  // Members of the talk not in the room yet, this user left out.
  static std::vector<int64_t> waitingMembers(const talkInfo& talk, int64_t selfId);

  // True when this signalling message (sender, message id, body) was acted
  // on before, and remembers it otherwise. The network delivers at least
  // once: a copy that comes again (after a reconnect, or in a pull after it
  // already arrived) must not ring or end anything twice. The body is part of
  // the key because two devices of one user number their messages alike. Id 0
  // is never remembered. REQUIRES the plug-in lock.
  bool actedOnBefore(const imsdk::hostMessage& msg) MRTC_REQUIRES(plugin_->lock());

  handlerEnv* plugin_;
  // at most kHintRoomLimit and kOfflineCacheLimit entries
  std::vector<hintRoom> hintRooms_ MRTC_GUARDED_BY(plugin_->lock());
  // The last kActedOnKept messages acted on, oldest first, and as a set.
  using actedKey = std::tuple<int64_t, int64_t, uint64_t>;
  std::deque<actedKey> actedOrder_ MRTC_GUARDED_BY(plugin_->lock());
  std::set<actedKey> actedOn_ MRTC_GUARDED_BY(plugin_->lock());
  std::vector<offlineCacheEntry> offlineCache_ MRTC_GUARDED_BY(plugin_->lock());
  finishWatch finishes_;
  recentRooms versionNoticed_ MRTC_GUARDED_BY(plugin_->lock()){kVersionRoomLimit};
};

}  // namespace imsdkmrtc
