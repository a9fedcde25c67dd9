#include "signalling/board_buffer.h"

#include "signalling/msg_proxy.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {

void boardBuffer::setSwitch(bool on) {
  imsdk::autoLock guard(&lock_);
  enabled_ = on;
  if (!on) {
    watchedGroup_ = 0;
    list_.clear();
  }
}

void boardBuffer::setWatchedGroup(int64_t groupId) {
  {
    imsdk::autoLock guard(&lock_);
    if (!enabled_) return;
    watchedGroup_ = groupId;
    list_.clear();
  }
  // The query goes out without the buffer lock: sending reaches the host.
  if (groupId > 0 && proxy_ != nullptr) proxy_->sendMsg_querytalk(groupId, "");
}

bool boardBuffer::take(int64_t groupId, const std::string& roomId, mrtcCmd& out) {
  imsdk::autoLock guard(&lock_);
  if (!enabled_ || watchedGroup_ == 0 || watchedGroup_ != groupId || list_.empty()) return false;
  for (const mrtcCmd& cmd : list_) {
    if (cmd.roomId == roomId) {
      out = cmd;
      return true;
    }
  }
  return false;
}

bool boardBuffer::boardTimeout(const timeoutRecord& record, std::vector<mrtcCmd>& out) {
  imsdk::autoLock guard(&lock_);
  if (!enabled_ || record.category != kTimeoutBoardCategory || watchedGroup_ == 0) return false;
  bool removed = false;
  for (mrtcCmd& cmd : list_) {
    if (cmd.roomId != record.key) continue;
    for (int64_t id : record.members) {
      for (size_t i = 0; i < cmd.members.size(); ++i) {
        bool state = i < cmd.memstates.size() && cmd.memstates[i] != 0;
        if (cmd.members[i] != id || state) continue;
        // The last entry takes the removed one's place, in both lists.
        cmd.members[i] = cmd.members.back();
        cmd.members.pop_back();
        if (i < cmd.memstates.size()) {
          cmd.memstates[i] = cmd.memstates.back();
          cmd.memstates.pop_back();
        }
        removed = true;
        break;
      }
    }
    break;
  }
  if (!removed) return false;
  out = list_;
  return !out.empty() && out.front().roomId == record.key;
}

void boardBuffer::offer(const mrtcCmd& cmd) {
  imsdk::autoLock guard(&lock_);
  if (!enabled_ || watchedGroup_ <= 0 || cmd.groupId != watchedGroup_) return;
  for (mrtcCmd& held : list_) {
    if (held.roomId == cmd.roomId) {
      held = cmd;
      return;
    }
  }
  if (list_.size() >= kBoardLimit) list_.erase(list_.begin());
  list_.push_back(cmd);
}

bool boardBuffer::enabled() {
  imsdk::autoLock guard(&lock_);
  return enabled_;
}

int64_t boardBuffer::watchedGroup() {
  imsdk::autoLock guard(&lock_);
  return watchedGroup_;
}

size_t boardBuffer::size() {
  imsdk::autoLock guard(&lock_);
  return list_.size();
}

}  // namespace imsdkmrtc
