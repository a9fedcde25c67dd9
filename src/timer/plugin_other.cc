#include "timer/plugin_other.h"

#include <algorithm>
#include <utility>

#include "base/log.h"
#include "base/plugin_env.h"
#include "thread_start.h"
#include "timer/member_removal.h"
#include "timer/timer_texts.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {

bool isMemberType(int32_t type) { return type == kTimeoutWait || type == kTimeoutRing; }

}  // namespace

pluginOther::~pluginOther() { stop(); }

bool pluginOther::onRequest(uint16_t type, uintptr_t a, uintptr_t) {
  if (type != imsdk::kCmdTimer || a == 0) return false;
  const imsdk::timerCmd& request = *reinterpret_cast<const imsdk::timerCmd*>(a);
  // The add and the start of its worker are one step under queueLock, so an
  // ending worker either still counts on the flag or has already dropped it.
  imsdk::autoLock queue(&queueLock);
  if (onTimeout(request) == 0) startWorker();
  return true;
}

int32_t pluginOther::onTimeout(const imsdk::timerCmd& request) {
  imsdk::autoLock queue(&queueLock);
  MRTC_LOG(plugin_, 0, texts::timer::kFuncOnTimeout, texts::kLogBegin, logThis(this),
           texts::timer::kFuncOnTimeout);
  if (request.op == kTimerRemove) {
    if (isMemberType(request.type)) {
      memberRemoval::ofThisThread().takeOut(timeouts, request.category, request.key,
                                            request.members);
    } else {
      for (int i = 0; i < kCategoryRemoveLimit; ++i) {
        auto it = std::find_if(timeouts.begin(), timeouts.end(), [&](const timeoutRecord& r) {
          return r.category == request.category;
        });
        if (it == timeouts.end()) break;
        eraseAt(static_cast<size_t>(it - timeouts.begin()));
      }
    }
    return 1;
  }
  // Unknown operations change nothing and, like a remove, never start a worker.
  if (request.op != kTimerAdd) return 1;

  const int32_t before = static_cast<int32_t>(timeouts.size());
  const int64_t now = tools::getLocalTime();
  if (request.refresh != 0) {
    for (timeoutRecord& r : timeouts) {
      if (r.category == request.category && r.type == request.type && r.key == request.key) {
        r.members = listFor(request.members);
        r.startTime = now;
        r.duration = request.duration;
        noteDue(r);
        return before;
      }
    }
  }

  std::vector<int64_t> members;
  switch (request.memberMode) {
    case kMembersReplace:
      memberRemoval::ofThisThread().takeOut(timeouts, request.category, request.key,
                                            request.members);
      members = request.members;
      break;
    case kMembersOnlyNew:
      members = memberRemoval::ofThisThread().notHeld(timeouts, request.category, request.key,
                                                      request.members);
      break;
    case kMembersAsGiven:
      members = request.members;
      break;
    default:
      break;
  }
  if (isMemberType(request.type) && members.empty()) return before;
  if (timeouts.size() >= kTimeoutQueueLimit) {
    MRTC_LOG(plugin_, 2, texts::timer::kFuncOnTimeout, texts::timer::kQueueFull, before,
             request.type, logCut(request.key).c_str());
    return before;
  }

  timeoutRecord record;
  record.category = request.category;
  record.type = request.type;
  record.key = request.key;
  record.members = listFor(std::move(members));
  record.startTime = now;
  record.duration = request.duration;
  record.extra = request.extra;
  record.fireTime = request.fireTime;
  record.recallCnt = request.recallCnt;
  record.roomId = request.roomId;
  noteDue(record);
  // A call queues a few records at once: room for them at the first add
  // rather than a move of every record at each doubling.
  if (timeouts.capacity() == 0) timeouts.reserve(kTimeoutQueueStart);
  timeouts.push_back(std::move(record));
  return before;
}

bool pluginOther::stop() {
  stopFlag* flag = nullptr;
  {
    imsdk::autoLock queue(&queueLock);
    stopped_ = true;
    flag = uninitFlag;
    uninitFlag = nullptr;
    // Our own reference keeps the flag alive while we wait at its gate, even
    // if its last worker ends meanwhile.
    if (flag != nullptr) flag->refs.fetch_add(1);
  }
  if (flag == nullptr) return true;
  {
    imsdk::autoLock gate(&flag->gate);
    imsdk::autoLock tick(&tickLock);
    flag->stop = true;
  }
  if (flag->refs.fetch_sub(1) <= 1) delete flag;
  return true;
}

void pluginOther::setDispatchOverride(dispatchFn fn) {
  imsdk::autoLock tick(&tickLock);
  dispatchOverride_ = std::move(fn);
}

std::vector<timeoutRecord> pluginOther::snapshot() {
  imsdk::autoLock queue(&queueLock);
  return timeouts;
}

void pluginOther::startWorker() {
  if (stopped_) return;
  if (uninitFlag == nullptr) {
    uninitFlag = new stopFlag();
  } else {
    uninitFlag->refs.fetch_add(1);
  }
  auto* start = new workerStart{this, uninitFlag};
  if (!platform::startThread(&pluginOther::timer, start)) {
    delete start;
    if (uninitFlag->refs.fetch_sub(1) <= 1) {
      delete uninitFlag;
      uninitFlag = nullptr;
    }
    MRTC_LOG(plugin_, 2, texts::timer::kFuncStart, texts::timer::kStartFailed);
  }
}

void pluginOther::timer(void* arg) {
  auto* start = static_cast<workerStart*>(arg);
  pluginOther* self = start->other;
  stopFlag* flag = start->flag;
  delete start;

  // Everything that touches pluginOther or the plug-in happens under the gate
  // with `stop` clear: stop() cannot finish, nor the plug-in go, meanwhile.
  bool stopped = false;
  bool lastHolder = false;
  {
    imsdk::autoLock gate(&flag->gate);
    stopped = flag->stop;
    if (!stopped) MRTC_LOG(self->plugin_, 0, texts::timer::kFuncTimer, texts::timer::kThreadBegin);
  }
  while (!stopped) {
    tools::sleep(kTimerTickMs);
    imsdk::autoLock gate(&flag->gate);
    if (flag->stop) {
      stopped = true;
      break;
    }
    if (self->dotick()) {
      lastHolder = self->leave(flag);
      break;
    }
  }
  // From here on only the flag is touched; pluginOther may be gone.
  if (stopped) lastHolder = flag->refs.fetch_sub(1) <= 1;
  if (lastHolder) delete flag;
}

bool pluginOther::dotick() {
  bool due = false;
  size_t left = 0;
  {
    imsdk::autoLock queue(&queueLock);
    // Most ticks of a call's waits find nothing due: they need neither the
    // tick lock nor a pass over the queue.
    due = tools::getLocalTime() >= earliestDue_;
    left = timeouts.size();
  }
  if (due) left = fireDue();
  if (left == 0) MRTC_LOG(plugin_, 0, texts::timer::kFuncDotick, texts::timer::kExitThread);
  return left == 0;
}

size_t pluginOther::fireDue() {
  imsdk::autoLock tick(&tickLock);
  timeoutRecord record;
  size_t left = 0;
  bool taken = false;
  {
    imsdk::autoLock queue(&queueLock);
    taken = popDue(record, left);
  }
  if (taken && record.type > 0) {
    MRTC_LOG(plugin_, 0, texts::timer::kFuncDotick, texts::timer::kOneTimeout, record.type);
    dispatch(record);
  }
  return left;
}

bool pluginOther::leave(stopFlag* flag) {
  imsdk::autoLock queue(&queueLock);
  // A worker started meanwhile took a reference: it keeps the flag.
  const bool last = flag->refs.fetch_sub(1) <= 1;
  if (last && uninitFlag == flag) uninitFlag = nullptr;
  // Logged before queueLock goes: once uninitFlag is clear a stop() no longer
  // waits for this thread.
  MRTC_LOG(plugin_, 0, texts::timer::kFuncTimer, texts::timer::kThreadEnd);
  return last;
}

bool pluginOther::popDue(timeoutRecord& out, size_t& left) {
  const int64_t now = tools::getLocalTime();
  int64_t earliest = kNeverDue;
  for (size_t i = 0; i < timeouts.size(); ++i) {
    const timeoutRecord& r = timeouts[i];
    if (now - r.startTime >= r.duration) {
      out = std::move(timeouts[i]);
      eraseAt(i);
      left = timeouts.size();
      // The records after it were not looked at.
      earliestDue_ = kDueUnknown;
      return true;
    }
    earliest = std::min(earliest, r.startTime + r.duration);
  }
  earliestDue_ = earliest;
  left = timeouts.size();
  return false;
}

void pluginOther::eraseAt(size_t index) {
  // The queue is unordered: the last record fills the hole.
  if (index + 1 != timeouts.size()) timeouts[index] = std::move(timeouts.back());
  timeouts.pop_back();
}

void pluginOther::noteDue(const timeoutRecord& record) {
  earliestDue_ = std::min(earliestDue_, record.startTime + record.duration);
}

memberList pluginOther::listFor(std::vector<int64_t> ids) const {
  if (ids.empty()) return memberList();
  // Hashed only when a record has as many ids: a whole call's wait usually
  // meets none.
  uint64_t hash = 0;
  for (const timeoutRecord& r : timeouts) {
    if (r.members.size() != ids.size()) continue;
    if (hash == 0) hash = memberList::hashOf(ids);
    if (r.members.sameIds(ids, hash)) return r.members;
  }
  return memberList(std::move(ids), hash);
}

void pluginOther::dispatch(const timeoutRecord& record) {
  if (dispatchOverride_) {
    dispatchOverride_(record);
    return;
  }
  if (dispatch_) dispatch_(record);
}

}  // namespace imsdkmrtc
