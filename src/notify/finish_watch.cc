#include "notify/finish_watch.h"

#include <algorithm>

namespace imsdkmrtc {

finishWatch::entry* finishWatch::find(const std::string& roomId) {
  for (entry& e : rooms_) {
    if (e.roomId == roomId) return &e;
  }
  return nullptr;
}

void finishWatch::watch(const std::string& roomId, int64_t groupId,
                        const std::vector<int64_t>& others) {
  imsdk::autoLock guard(&lock_);
  rooms_.erase(std::remove_if(rooms_.begin(), rooms_.end(),
                              [&](const entry& e) { return e.roomId == roomId; }),
               rooms_.end());
  if (rooms_.size() >= kLimit) rooms_.erase(rooms_.begin());
  entry e;
  e.roomId = roomId;
  e.groupId = groupId;
  e.others = others;
  for (auto i = earlier_.begin(); i != earlier_.end(); ++i) {
    if (i->roomId != roomId) continue;
    e.before = std::move(i->askers);
    earlier_.erase(i);
    break;
  }
  rooms_.push_back(std::move(e));
}

void finishWatch::rememberAsker(const std::string& roomId, int64_t askerId) {
  auto room = std::find_if(earlier_.begin(), earlier_.end(),
                           [&](const earlier& r) { return r.roomId == roomId; });
  if (room == earlier_.end()) {
    if (earlier_.size() >= kLimit) earlier_.erase(earlier_.begin());
    earlier_.push_back(earlier{roomId, {}});
    room = earlier_.end() - 1;
  }
  std::vector<int64_t>& ids = room->askers;
  if (std::find(ids.begin(), ids.end(), askerId) != ids.end()) return;
  if (ids.size() >= kAskersKept) ids.erase(ids.begin());
  ids.push_back(askerId);
}

void finishWatch::noticeSeen(const std::string& roomId) {
  imsdk::autoLock guard(&lock_);
  if (entry* e = find(roomId)) e->answered = true;
}

void finishWatch::stillIn(const std::string& roomId) {
  imsdk::autoLock guard(&lock_);
  if (entry* e = find(roomId)) e->answered = true;
}

void finishWatch::alsoAsked(const std::string& roomId, int64_t askerId) {
  imsdk::autoLock guard(&lock_);
  if (roomId.empty()) return;
  entry* e = find(roomId);
  if (e == nullptr) {
    rememberAsker(roomId, askerId);
    return;
  }
  if (std::find(e->askers.begin(), e->askers.end(), askerId) == e->askers.end()) {
    e->askers.push_back(askerId);
  }
}

finishWatch::step finishWatch::next(const std::string& roomId, int64_t selfId, int64_t* groupId) {
  imsdk::autoLock guard(&lock_);
  entry* e = find(roomId);
  if (e == nullptr) return step::kNone;
  *groupId = e->groupId;
  if (!e->asked && !e->answered) {
    e->asked = true;
    return step::kAsk;
  }
  // Only when every member this user saw in the room asked too did they all
  // leave (one that is merely out of reach does not ask). Each leaver then
  // decides alone; the smallest id among them posts, so that two who left
  // together do not both post.
  const auto asked = [e](int64_t id) {
    return std::find(e->askers.begin(), e->askers.end(), id) != e->askers.end() ||
           std::find(e->before.begin(), e->before.end(), id) != e->before.end();
  };
  const bool allLeft = std::all_of(e->others.begin(), e->others.end(), asked);
  const bool smallest =
      std::all_of(e->askers.begin(), e->askers.end(), [selfId](int64_t id) { return selfId < id; });
  const bool post = !e->answered && allLeft && smallest;
  rooms_.erase(rooms_.begin() + (e - rooms_.data()));
  return post ? step::kPost : step::kDrop;
}

}  // namespace imsdkmrtc
