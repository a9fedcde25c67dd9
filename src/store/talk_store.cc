#include "store/talk_store.h"

#include <algorithm>
#include <utility>

#include "base/annotation_words.h"
#include "base/plugin_env.h"
#include "base/wire_words.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

// A refused talk is kept (and a recall of it refused) for five minutes.
constexpr int64_t kRefuseWindowMs = 300000;
// Bounds on what other clients can make the store remember: refusals (one per
// call this user turned down within the window) and invitation records (one
// per received invite into the talk). When full, the oldest entry goes.
constexpr size_t kRefusedLimit = 32;
constexpr size_t kInviteRecordLimit = 256;
// Rooms closed before their call arrived: a late call rings not within the
// same window, a recall not at all while the room is kept; the oldest goes
// first when this many are kept.
constexpr size_t kClosedRoomsMax = 64;
// How far ahead of this client's a caller's clock may run: a message up to 60
// seconds in the future is still acted on.
constexpr int64_t kClockAheadSec = 60;

constexpr const auto& kP2pConfer = texts::kP2pConfer;

}  // namespace

// ---------------------------------------------------------------------------
// Records

bool talkStore::isValidTalkInfo(const talkInfo& info) {
  // The library's search is unrolled: a few instructions fewer an id than a
  // plain loop, on every member of every call received.
  return !info.roomId.empty() &&
         std::none_of(info.members.begin(), info.members.end(), [](int64_t id) { return id < 2; });
}

int64_t talkStore::self() const { return plugin_ != nullptr ? plugin_->selfId() : 0; }

void talkStore::fillTalkInfo(talkInfo& info) const {
  info.rtcType = rtcType_;
  info.roomId = roomId_;
  info.roomToken = roomToken_;
  info.roomName = roomName_;
  info.oName = oName_;
  info.groupId = groupId_;
  info.talking = talking_;
  info.onwerId = onwerId_;
  info.active = active_;
  info.leftMembers = leftMembers_;
  info.addr = addr_;
  info.beginTime = beginTime_;
  info.connectTime = connectTime_;
  info.single = single_;
  info.conferMode = conferMode_;
  info.tempJoin = tempJoin_;
  info.createTime = createTime_;
  info.othersChanged = othersChanged_;
  info.targetId = targetId_;
  info.srvVer = srvVer_;
  info.srvTag = srvTag_;
  info.videoType = videoType_;

  info.members.assign(memberIds_.begin(), memberIds_.end());
  // A member's state is invited (0) or joined (1), as a record writes it.
  info.memstates.assign(memberStates_.begin(), memberStates_.end());
  info.hismembers.clear();
  ids_.appendHistoryNotMembers(info.hismembers);
}

void talkStore::initTalk(const talkInfo& info, int64_t selfId) {
  rtcType_ = info.rtcType;
  onwerId_ = info.onwerId;
  oName_ = info.oName;
  groupId_ = info.groupId;
  roomId_ = info.roomId;
  roomToken_ = info.roomToken;
  roomName_ = info.roomName;
  addr_ = info.addr;
  beginTime_ = info.beginTime;
  single_ = info.single;
  conferMode_ = info.conferMode;
  tempJoin_ = info.tempJoin;
  targetId_ = info.targetId;
  srvVer_ = info.srvVer;
  srvTag_ = info.srvTag;
  videoType_ = info.videoType;
  createTime_ = tools::get_mill_sec();
  othersChanged_ = 0;

  memberIds_.clear();
  memberStates_.clear();
  leftMembers_.clear();
  ids_.clear();
  memberIds_.reserve(info.members.size() + 1);
  memberStates_.reserve(info.members.size() + 1);
  ids_.reserve(info.members.size() + info.hismembers.size() + 1);

  // Self first when given. The record's own entries for it would be repeats
  // (the first is kept): they are left out as the list is copied, so that a
  // record without other repeats, such as every call this user places, is
  // indexed in one pass.
  if (selfId > 0) pushMember(selfId, invited);
  const size_t stated = std::min(info.members.size(), info.memstates.size());
  for (size_t i = 0; i < info.members.size(); ++i) {
    const int64_t id = info.members[i];
    if (selfId > 0 && id == selfId) continue;
    pushMember(id, i < stated && info.memstates[i] != 0 ? joined : invited);
  }
  if (!ids_.addFirstMembers(&memberIds_)) keepFirstOfRepeated();
  for (int64_t id : info.hismembers) addHistory(id);
  inviteRecords_.clear();
}

void talkStore::keepFirstOfRepeated() {
  // A record that names an id twice keeps its first entry.
  size_t out = 0;
  for (size_t i = 0; i < memberIds_.size(); ++i) {
    const int64_t id = memberIds_[i];
    if (!ids_.addMember(id, static_cast<uint32_t>(out))) continue;
    memberIds_[out] = id;
    memberStates_[out] = memberStates_[i];
    ++out;
  }
  memberIds_.resize(out);
  memberStates_.resize(out);
}

void talkStore::clearTalk() {
  // Every end of a talk passes here: the room is remembered against copies
  // of its call.
  ended_.remember(roomId_, beginTime_);
  groupId_ = 0;
  onwerId_ = 0;
  beginTime_ = 0;
  targetId_ = 0;
  connectTime_ = 0;
  rtcType_.clear();
  roomId_.clear();
  roomToken_.clear();
  roomName_.clear();
  addr_.clear();
  srvVer_.clear();
  srvTag_.clear();
  videoType_.clear();
  // The talk's lists go with their memory, as the index's do.
  std::vector<int64_t>().swap(memberIds_);
  std::vector<uint8_t>().swap(memberStates_);
  leftMembers_.clear();
  ids_.clear();
  connectTimes_.clear();
  hangupTimes_.clear();
  talking_ = 0;
  active_ = 1;
}

// ---------------------------------------------------------------------------
// Member and history helpers

uint8_t* talkStore::memberState(int64_t userId) {
  const uint32_t pos = ids_.memberPos(userId);
  return pos == talkIdIndex::kNone ? nullptr : &memberStates_[pos];
}

const uint8_t* talkStore::memberState(int64_t userId) const {
  const uint32_t pos = ids_.memberPos(userId);
  return pos == talkIdIndex::kNone ? nullptr : &memberStates_[pos];
}

void talkStore::appendMember(int64_t userId, uint8_t state) {
  ids_.setMemberPos(userId, static_cast<uint32_t>(memberIds_.size()));
  pushMember(userId, state);
}

void talkStore::pushMember(int64_t userId, uint8_t state) {
  memberIds_.push_back(userId);
  memberStates_.push_back(state);
}

void talkStore::reindexMembersFrom(size_t first) {
  for (size_t i = first; i < memberIds_.size(); ++i) {
    ids_.setMemberPos(memberIds_[i], static_cast<uint32_t>(i));
  }
}

void talkStore::addHistory(int64_t userId) { ids_.addHistory(userId); }

void talkStore::setMemberJoined(int64_t userId, absentMember absent) {
  if (uint8_t* state = memberState(userId)) {
    *state = joined;
    return;
  }
  if (absent == absentMember::kSkip) return;
  appendMember(userId, joined);
  removeLeftMember(userId);
}

void talkStore::setMemberState(int64_t userId, uint8_t state) {
  if (uint8_t* current = memberState(userId)) {
    *current = state;
  } else {
    appendMember(userId, state);
  }
  if (state == joined) removeLeftMember(userId);
}

void talkStore::removeMember(int64_t userId) {
  const uint32_t pos = ids_.memberPos(userId);
  if (pos == talkIdIndex::kNone) return;
  ids_.setMemberPos(userId, talkIdIndex::kNone);
  memberIds_.erase(memberIds_.begin() + static_cast<std::ptrdiff_t>(pos));
  memberStates_.erase(memberStates_.begin() + static_cast<std::ptrdiff_t>(pos));
  reindexMembersFrom(pos);
}

bool talkStore::removeMemberIfState(int64_t userId, uint8_t state) {
  const uint8_t* current = memberState(userId);
  if (current == nullptr || *current != state) return false;
  removeMember(userId);
  return true;
}

bool talkStore::hasMemberWithState(int64_t userId, uint8_t state) const {
  const uint8_t* current = memberState(userId);
  return current != nullptr && *current == state;
}

void talkStore::removeMembers(const std::vector<int64_t>& ids) {
  std::vector<char> drop(memberIds_.size(), 0);
  for (int64_t id : ids) {
    const uint32_t pos = ids_.memberPos(id);
    if (pos != talkIdIndex::kNone) drop[pos] = 1;
  }
  removeMarkedMembers(drop);
}

void talkStore::removeMarkedMembers(const std::vector<char>& drop) {
  // The index may read the list in place: it learns of the drops while the
  // list is whole, and of the new places as the list closes up.
  for (size_t i = 0; i < memberIds_.size(); ++i) {
    if (drop[i] != 0) ids_.setMemberPos(memberIds_[i], talkIdIndex::kNone);
  }
  size_t out = 0;
  for (size_t i = 0; i < memberIds_.size(); ++i) {
    const int64_t id = memberIds_[i];
    if (drop[i] != 0) continue;
    memberIds_[out] = id;
    memberStates_[out] = memberStates_[i];
    ids_.setMemberPos(id, static_cast<uint32_t>(out));
    ++out;
  }
  memberIds_.resize(out);
  memberStates_.resize(out);
}

void talkStore::addLeftMember(int64_t userId) {
  if (ids_.leftPos(userId) != talkIdIndex::kNone) return;
  ids_.setLeftPos(userId, static_cast<uint32_t>(leftMembers_.size()));
  leftMembers_.push_back(userId);
}

void talkStore::removeLeftMember(int64_t userId) {
  const uint32_t pos = ids_.leftPos(userId);
  if (pos == talkIdIndex::kNone) return;
  ids_.setLeftPos(userId, talkIdIndex::kNone);
  int64_t last = leftMembers_.back();
  leftMembers_.pop_back();
  if (pos < leftMembers_.size()) {
    leftMembers_[pos] = last;
    ids_.setLeftPos(last, pos);
  }
}

void talkStore::addInvitees(const std::vector<int64_t>& ids, int64_t inviterId) {
  inviteRecord record;
  record.inviterId = inviterId;
  record.roomId = roomId_;
  for (int64_t id : ids) {
    if (ids_.isMember(id)) continue;
    appendMember(id, invited);
    record.ids.push_back(id);
  }
  for (int64_t id : ids) addHistory(id);
  if (inviteRecords_.size() >= kInviteRecordLimit) inviteRecords_.erase(inviteRecords_.begin());
  inviteRecords_.push_back(std::move(record));
}

void talkStore::recordRefused() {
  int64_t now = tools::get_mill_sec();
  for (size_t i = 0; i < refusedTalks_.size(); ++i) {
    if (now - refusedTalks_[i].refuseTime > kRefuseWindowMs) {
      refusedTalks_[i] = std::move(refusedTalks_.back());
      refusedTalks_.pop_back();
      break;
    }
  }
  for (refusedTalk& r : refusedTalks_) {
    if (r.targetId == targetId_ && r.roomId == roomId_) {
      r.refuseTime = now;
      r.hostMs = hostNowMs();
      return;
    }
  }
  if (refusedTalks_.size() >= kRefusedLimit) {
    auto oldest = std::min_element(
        refusedTalks_.begin(), refusedTalks_.end(),
        [](const refusedTalk& a, const refusedTalk& b) { return a.refuseTime < b.refuseTime; });
    *oldest = std::move(refusedTalks_.back());
    refusedTalks_.pop_back();
  }
  refusedTalks_.push_back(refusedTalk{now, hostNowMs(), targetId_, roomId_});
}

int64_t talkStore::hostNowMs() const {
  imsdk::IHostService* host = plugin_ != nullptr ? plugin_->host() : nullptr;
  return host != nullptr ? host->getTimeMs() : 0;
}

bool talkStore::refusedAfter(const std::string& roomId, int64_t sentMs) {
  imsdk::autoLock guard(&lock_);
  const int64_t now = tools::get_mill_sec();
  return std::any_of(refusedTalks_.begin(), refusedTalks_.end(), [&](const refusedTalk& r) {
    return r.roomId == roomId && r.hostMs > sentMs && now - r.refuseTime <= kRefuseWindowMs;
  });
}

bool talkStore::isRecentlyRefused(int64_t targetId, const std::string& roomId, bool recall) {
  auto it = std::find_if(refusedTalks_.begin(), refusedTalks_.end(), [&](const refusedTalk& r) {
    return r.targetId == targetId && r.roomId == roomId;
  });
  if (it == refusedTalks_.end()) return false;
  // A recall is the same call ringing again: once this user turned it down,
  // it does not ring here however long the caller's re-ring interval (a
  // group callee's hang-up tells the caller nothing, so its recalls keep
  // coming). The window only limits how long the record is kept.
  if (recall) return true;
  // A fresh call (not a recall) of a refused talk is let through; the refusal
  // is forgotten so that its recalls ring again too.
  refusedTalks_.erase(it);
  return false;
}

// ---------------------------------------------------------------------------
// Operations for local requests

uint32_t talkStore::localCall(std::vector<int64_t>& callees, talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  int64_t me = self();
  callees.erase(std::remove(callees.begin(), callees.end(), me), callees.end());
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (callees.empty()) return kTalkInvalid;
  for (int64_t id : callees) {
    if (id <= 0) return kTalkInvalid;
  }
  if (talking_ != 0) return sameRoom(info.roomId) ? kTalkDone : kTalkBusy;
  initTalk(info, me);
  talking_ = 1;
  active_ = 1;
  hangupTimes_.clear();
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::localInvite(std::vector<int64_t>& invitees, talkInfo& before, talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  int64_t me = self();
  invitees.erase(std::remove(invitees.begin(), invitees.end(), me), invitees.end());
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (invitees.empty()) return kTalkInvalid;
  for (int64_t id : invitees) {
    if (id <= 0) return kTalkInvalid;
  }
  if (talking_ == 0) return kTalkNone;
  if (active_ == 0) return kTalkNotActive;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  fillTalkInfo(before);
  addInvitees(invitees, me);
  fillTalkInfo(info);
  // Re-inviting a user who hung up makes the recall ring them again; the
  // others who declined stay out of the recalls for the rest of the talk.
  for (int64_t id : invitees) hangupTimes_.erase(id);
  return kTalkDone;
}

void talkStore::removeInvitedBy(const std::string& roomId, int64_t inviterId) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0 || !sameRoom(roomId)) return;
  for (auto it = inviteRecords_.rbegin(); it != inviteRecords_.rend(); ++it) {
    if (it->inviterId == inviterId && it->roomId == roomId) {
      removeMembers(it->ids);
      return;
    }
  }
}

uint32_t talkStore::localIntoRoom(const std::vector<int64_t>& ids, talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (talking_ == 0) return kTalkNone;
  if (active_ == 0) return kTalkNotActive;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  int64_t me = self();
  setMemberJoined(me, absentMember::kSkip);
  if (me != onwerId_ && rtcType_ == kP2pConfer) connectTime_ = tools::getLocalTime();
  // Answered here: remembered like a refusal, so that a repeated ring of the
  // room does not ring again once the talk ended here, however it ended (the
  // caller keeps recalling while no report tells it this user is in).
  recordRefused();
  for (int64_t id : ids) setMemberJoined(id, absentMember::kSkip);
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::localJoin(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (talking_ != 0) return sameRoom(info.roomId) ? kTalkDone : kTalkBusy;
  initTalk(info, kNoSelf);
  setMemberJoined(self(), absentMember::kAdd);
  talking_ = 1;
  active_ = 1;
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::localTempletJoin(talkInfo& info, uint8_t active) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (talking_ != 0) return kTalkBusy;
  initTalk(info, kNoSelf);
  setMemberJoined(self(), absentMember::kAdd);
  talking_ = 1;
  active_ = active != 0 ? 1 : 0;
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::localHungup(talkInfo& info, const std::string& reason) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  uint32_t code = kTalkDone;
  if (!sameRoom(info.roomId)) {
    code = kTalkOtherRoom;
  } else if (!isValidTalkInfo(info)) {
    code = kTalkInvalid;
  }
  // Hanging up always ends this client's part in the current talk. Whatever
  // the word, the user is done with it: a repeated ring of it must not ring
  // again (a group callee's hang-up tells the caller nothing, so its recalls
  // keep coming). A busy reply is the exception: the user may be free when
  // the next ring comes.
  if (reason != texts::kBusy) recordRefused();
  removeMember(self());
  fillTalkInfo(info);
  clearTalk();
  return code;
}

uint32_t talkStore::finishTalk(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (talking_ == 0) return kTalkNone;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  fillTalkInfo(info);
  clearTalk();
  return kTalkDone;
}

void talkStore::markAnsweredElsewhere(const std::string& roomId) {
  imsdk::autoLock guard(&lock_);
  if (talking_ != 0 && sameRoom(roomId)) recordRefused();
}

void talkStore::markRefusedElsewhere(const std::string& roomId) {
  imsdk::autoLock guard(&lock_);
  if (talking_ != 0 && sameRoom(roomId)) recordRefused();
}

void talkStore::markClosedBeforeCall(const std::string& roomId) {
  // Its call began before its end reached here, by a caller's clock that may
  // run up to a minute ahead: any call of the room begun by then is a copy,
  // however late it comes (the window below is for recalls).
  imsdk::IHostService* host = plugin_ != nullptr ? plugin_->host() : nullptr;
  const int64_t endedBy = host != nullptr ? host->getTimeMs() / 1000 + kClockAheadSec : 0;
  imsdk::autoLock guard(&lock_);
  if (roomId.empty() || (talking_ != 0 && sameRoom(roomId))) return;
  ended_.remember(roomId, endedBy);
  const int64_t now = tools::get_mill_sec();
  for (closedRoom& c : closedRooms_) {
    if (c.roomId == roomId) {
      c.closeTime = now;
      return;
    }
  }
  if (closedRooms_.size() >= kClosedRoomsMax) closedRooms_.erase(closedRooms_.begin());
  closedRooms_.push_back(closedRoom{now, roomId});
}

bool talkStore::isClosedBeforeCall(const std::string& roomId, bool recall) {
  const int64_t now = tools::get_mill_sec();
  return std::any_of(closedRooms_.begin(), closedRooms_.end(), [&](const closedRoom& c) {
    return c.roomId == roomId && (recall || now - c.closeTime <= kRefuseWindowMs);
  });
}

void talkStore::forgetClosed(const std::string& roomId) {
  closedRooms_.erase(std::remove_if(closedRooms_.begin(), closedRooms_.end(),
                                    [&](const closedRoom& c) { return c.roomId == roomId; }),
                     closedRooms_.end());
}

bool talkStore::isEndedCopy(const std::string& roomId, int64_t beginTime) {
  imsdk::autoLock guard(&lock_);
  if (talking_ != 0 && sameRoom(roomId)) return false;
  return ended_.isCopy(roomId, beginTime);
}

void talkStore::rememberEnded(const std::string& roomId, int64_t beginTime) {
  imsdk::autoLock guard(&lock_);
  ended_.remember(roomId, beginTime);
}

bool talkStore::isClosedHere(const std::string& roomId) {
  imsdk::autoLock guard(&lock_);
  return isClosedBeforeCall(roomId, false);
}

void talkStore::resetTalk() {
  imsdk::autoLock guard(&lock_);
  clearTalk();
}

uint32_t talkStore::queryTalk(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::connectState(int64_t userId, const std::string& state, talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  if (userId <= 0) return kTalkInvalid;
  bool into = state == texts::kIntoRoom;
  if (!into && state != texts::kLevelRoom) return kTalkInvalid;
  int64_t me = self();
  bool isSelf = userId == me;
  if (into) {
    setMemberState(userId, joined);
    if (!isSelf) othersChanged_ = 1;
    connectTimes_[userId] = tools::getLocalTime();
    if (!isSelf && me == onwerId_ && rtcType_ == kP2pConfer) {
      connectTime_ = tools::getLocalTime();
    }
  } else {
    if (hasMemberWithState(userId, joined)) addLeftMember(userId);
    removeMember(userId);
    if (!isSelf) othersChanged_ = 1;
  }
  fillTalkInfo(info);
  return kTalkDone;
}

bool talkStore::isCurrentRoom(const std::string& roomId) {
  imsdk::autoLock guard(&lock_);
  return talking_ != 0 && sameRoom(roomId);
}

// ---------------------------------------------------------------------------
// Operations for received commands and time-outs

uint32_t talkStore::remoteCall(const std::vector<int64_t>& callees, talkInfo& info,
                               uint8_t recall) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info) || callees.empty()) return kTalkInvalid;
  if (talking_ != 0) {
    if (!sameRoom(info.roomId)) return kTalkBusy;
    fillTalkInfo(info);
    return kTalkAlreadyCurrent;
  }
  const bool again = recall != 0;
  if (isClosedBeforeCall(info.roomId, again) || isFinishedRoom(info.roomId, again)) {
    return kTalkRecentlyRefused;
  }
  if (isRecentlyRefused(info.targetId, info.roomId, recall != 0)) return kTalkRecentlyRefused;
  initTalk(info, kNoSelf);
  talking_ = 1;
  active_ = 1;
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::remoteInvite(int64_t inviterId, const std::vector<int64_t>& invitees,
                                 std::string& stateWord, talkInfo& info, uint8_t recall) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info) || invitees.empty()) return kTalkInvalid;
  if (talking_ != 0) {
    if (!sameRoom(info.roomId)) return kTalkOtherRoom;
    if (active_ != 0) {
      // Invitations add up: the talk as a whole stays within the id limit.
      size_t added = 0;
      for (int64_t id : invitees) added += ids_.isMember(id) ? 0 : 1;
      if (plugin_ != nullptr &&
          memberIds_.size() + added > static_cast<uint64_t>(plugin_->settings().maxIds.load())) {
        return kTalkInvalid;
      }
      stateWord = texts::kTalkingActive;
      addInvitees(invitees, inviterId);
      fillTalkInfo(info);
      return kTalkDone;
    }
    // Known here without being active: the invitation makes it this
    // client's talk, rebuilt from the inviter's view.
    stateWord = texts::kTalkingNoActive;
    initTalk(info, kNoSelf);
    addInvitees(invitees, inviterId);
    setMemberJoined(self(), absentMember::kSkip);
    talking_ = 1;
    active_ = 1;
    fillTalkInfo(info);
    return kTalkDone;
  }
  int64_t me = self();
  if (std::find(invitees.begin(), invitees.end(), me) == invitees.end()) return kTalkNone;
  // A new invitation into a room that closed here still rings; one into a
  // room whose finish hint came is late: nobody is left in that room.
  if (isFinishedRoom(info.roomId, recall != 0)) return kTalkRecentlyRefused;
  forgetClosed(info.roomId);
  if (isRecentlyRefused(info.targetId, info.roomId, recall != 0)) return kTalkRecentlyRefused;
  stateWord = texts::kIdle;
  initTalk(info, kNoSelf);
  addInvitees(invitees, inviterId);
  talking_ = 1;
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::remoteIntoRoom(int64_t userId, talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (talking_ == 0) return kTalkNone;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  setMemberJoined(userId, absentMember::kAdd);
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::remoteHungup(int64_t userId, talkInfo& info, const std::string& who) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (talking_ == 0) return kTalkNone;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  if (who == texts::kMyself && hasMemberWithState(userId, joined)) {
    fillTalkInfo(info);
    return kTalkOwnOtherClientInRoom;
  }
  if (who == texts::kOther) hangupTimes_[userId] = tools::getLocalTime();
  removeMember(userId);
  removeLeftMember(userId);
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::remoteReply(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::checkQueryTalk(int64_t groupId, int64_t askerId, talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  if (groupId <= 0) return kTalkInvalid;
  if (groupId != groupId_) return kTalkNoMatch;
  if (!info.roomId.empty() && !sameRoom(info.roomId)) return kTalkOtherRoom;
  if (!ids_.inHistory(askerId)) return kTalkNeverMember;
  if (active_ == 0) return kTalkNotActive;
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::remoteReplyQueryTalk(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (!isValidTalkInfo(info)) return kTalkInvalid;
  if (talking_ == 0) return kTalkNone;
  if (active_ != 0) return kTalkAlreadyActive;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  std::vector<int64_t> keptIds;
  std::vector<uint8_t> keptStates;
  keptIds.swap(memberIds_);
  keptStates.swap(memberStates_);
  // The reply brings the members; the room's address and start stay ours.
  info.addr = addr_;
  info.beginTime = beginTime_;
  initTalk(info, kNoSelf);
  for (size_t i = 0; i < keptIds.size(); ++i) {
    if (keptStates[i] == joined) setMemberJoined(keptIds[i], absentMember::kSkip);
  }
  setMemberJoined(self(), absentMember::kAdd);
  active_ = 1;
  fillTalkInfo(info);
  return kTalkDone;
}

uint32_t talkStore::memberTimeout(const std::vector<int64_t>& ids, std::vector<int64_t>& timedOut,
                                  talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  if (active_ == 0) return kTalkNotActive;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  if (ids.empty()) return kTalkInvalid;
  // Members still invited are taken out together, in one pass over the list.
  std::vector<char> drop(memberIds_.size(), 0);
  const size_t before = timedOut.size();
  for (int64_t id : ids) {
    const uint32_t pos = ids_.memberPos(id);
    if (pos == talkIdIndex::kNone || memberStates_[pos] != invited || drop[pos] != 0) continue;
    drop[pos] = 1;
    timedOut.push_back(id);
  }
  const bool none = timedOut.size() == before;
  removeMarkedMembers(drop);
  fillTalkInfo(info);
  return none ? kTalkNoMatch : kTalkDone;
}

uint32_t talkStore::recallTimeout(const std::string& roomId, int64_t since,
                                  std::vector<int64_t>& ids) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  if (!sameRoom(roomId)) return kTalkOtherRoom;
  // The lambdas run inside this operation, under its lock.
  auto ringsStill = [&](int64_t id) MRTC_REQUIRES(lock_) {
    auto connected = connectTimes_.find(id);
    if (connected != connectTimes_.end()) return connected->second < since;
    return hangupTimes_.count(id) == 0;
  };
  ids.erase(std::remove_if(ids.begin(), ids.end(),
                           [&](int64_t id) MRTC_REQUIRES(lock_) { return !ringsStill(id); }),
            ids.end());
  return ids.empty() ? kTalkNobodyToRecall : kTalkDone;
}

uint32_t talkStore::keepaliveTimeout(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  uint32_t code = talking_ != 0 ? kTalkDone : kTalkNone;
  fillTalkInfo(info);
  clearTalk();
  return code;
}

uint32_t talkStore::loseFinishTimeout(talkInfo& info) {
  imsdk::autoLock guard(&lock_);
  if (talking_ == 0) return kTalkNone;
  if (active_ == 0) return kTalkNotActive;
  if (!sameRoom(info.roomId)) return kTalkOtherRoom;
  fillTalkInfo(info);
  return kTalkDone;
}

// ---------------------------------------------------------------------------
// Test support

std::vector<refusedTalk> talkStore::refusedTalks() {
  imsdk::autoLock guard(&lock_);
  return refusedTalks_;
}

bool talkStore::checkInvariants(std::string* why) {
  imsdk::autoLock guard(&lock_);
  auto fail = [why](const std::string& text) {
    if (why != nullptr) *why = text;
    return false;
  };
  if (memberStates_.size() != memberIds_.size()) return fail("member states differ from members");
  if (ids_.memberCount() != memberIds_.size()) {
    return fail("member index size differs from members");
  }
  for (size_t i = 0; i < memberIds_.size(); ++i) {
    if (ids_.memberPos(memberIds_[i]) != i) {
      return fail("member " + std::to_string(memberIds_[i]) + " repeated or not indexed");
    }
    if (memberStates_[i] != invited && memberStates_[i] != joined) {
      return fail("member " + std::to_string(memberIds_[i]) + " has an unknown state");
    }
  }
  const std::vector<int64_t> history = ids_.history();
  if (ids_.historyCount() != history.size()) return fail("history repeats an id");
  for (int64_t id : history) {
    if (!ids_.inHistory(id)) return fail("history id missing from its set");
  }
  if (ids_.leftCount() != leftMembers_.size()) return fail("left index size differs");
  for (size_t i = 0; i < leftMembers_.size(); ++i) {
    if (ids_.leftPos(leftMembers_[i]) != i) return fail("left member repeated or not indexed");
  }
  if (talking_ > 1 || active_ > 1) return fail("talking or active is not a boolean");
  if (talking_ == 0 && active_ == 0) return fail("idle store marked not active");
  if (talking_ == 0) {
    if (!memberIds_.empty()) return fail("idle store has members");
    if (!history.empty()) return fail("idle store has history");
    if (!roomId_.empty()) return fail("idle store has a room");
  }
  return true;
}

}  // namespace imsdkmrtc
