#include "replay_host.h"

#include <cstdarg>
#include <cstdlib>

#include "crossing.h"
#include "describe.h"

namespace mrtcsim {
namespace replay {

namespace {

namespace kind = codec::kind;
namespace query = codec::query;
using codec::Item;

// The contexts open on this thread, innermost last.
thread_local std::vector<std::pair<const ReplayHost*, ReplayHost::Ctx*>> tStack;

// Fields a query is asked with (the rest is its answer).
bool isQueryArgument(const std::string& key) {
  return key == "query" || key == "user" || key == "key" || key == "field" || key == "request" ||
         key == "ticketValue" || key == "ticketText" || key == "op" || key == "field1" ||
         key == "field2";
}

bool sameQuestion(const Item& recorded, const Item& asked) {
  for (const codec::Field& f : asked.fields) {
    if (!isQueryArgument(f.key)) continue;
    const codec::Value* v = recorded.find(f.key);
    if (v == nullptr || codec::valueJson(*v) != codec::valueJson(f.value)) return false;
  }
  return true;
}

}  // namespace

ReplayHost::ReplayHost(const ClientTrace& trace, Session& session)
    : trace_(trace), session_(session), used_(trace.entries.size(), false) {
  for (size_t i : trace.top) {
    if (trace.entries[i].service >= 0) own_.push_back(i);
  }
}

ReplayHost::Ctx* ReplayHost::current() {
  if (!tStack.empty() && tStack.back().first == this) return tStack.back().second;
  return &ownCtx_;
}

const std::vector<size_t>& ReplayHost::listOf(const Ctx& c) const {
  static const std::vector<size_t> kNone;
  if (c.free) return kNone;
  return c.entry != nullptr ? c.entry->children : own_;
}

Item ReplayHost::produced(const char* k) const {
  Item it;
  it.t = session_.now();
  it.client = trace_.name;
  it.kind = k;
  return it;
}

const Entry* ReplayHost::matchOutput(Item& made) {
  const Entry* rec = nullptr;
  bool own = false;
  {
    std::lock_guard<std::mutex> lk(mu_);
    Ctx* c = current();
    own = c == &ownCtx_;
    const std::vector<size_t>& list = listOf(*c);
    while (c->next < list.size() &&
           (used_[list[c->next]] || !isOutput(trace_.entries[list[c->next]]))) {
      ++c->next;
    }
    if (c->next < list.size()) {
      rec = &trace_.entries[list[c->next]];
      used_[list[c->next]] = true;
      ++c->next;
    }
  }
  if (rec == nullptr && cutOff(made)) return nullptr;
  session_.add(made);
  if (session_.diverged()) return rec;
  if (rec == nullptr) {
    session_.diverge(trace_.name, "the plug-in made a crossing the recording does not have here",
                     nullptr, &made);
    return nullptr;
  }
  std::string diff = difference(rec->item, made);
  const int64_t madeMs = session_.startMs() + made.t;
  if (diff.empty() && own && std::llabs(madeMs - rec->absMs) >= kTickToleranceMs &&
      !heldByPause(madeMs, rec->absMs)) {
    diff = "time: recorded " + std::to_string(rec->absMs - session_.startMs()) + " ms, produced " +
           std::to_string(made.t) + " ms (one tick is " + std::to_string(kTickToleranceMs) + ")";
  }
  if (!diff.empty()) {
    session_.diverge(trace_.name, "entry " + std::to_string(rec->seq) + " differs: " + diff, rec,
                     &made);
  }
  session_.countCompared();
  return rec;
}

bool ReplayHost::heldByPause(int64_t madeMs, int64_t recordedMs) const {
  // Due while the process did not run, the timer fired on its first tick
  // after the process ran again.
  for (const Pause& p : trace_.pauses) {
    if (madeMs >= p.fromMs - kTickToleranceMs && madeMs <= p.untilMs && recordedMs >= madeMs &&
        recordedMs < p.untilMs + kTickToleranceMs) {
      return true;
    }
  }
  return false;
}

bool ReplayHost::cutOff(const Item& made) const {
  // Past the end of a trace that lacks the release, the host's process was
  // gone (or its trace ended there): nothing it would have done is known.
  return !trace_.released && session_.startMs() + made.t > trace_.endMs;
}

const Entry* ReplayHost::answer(const Item& q) {
  std::lock_guard<std::mutex> lk(mu_);
  Ctx* c = current();
  for (size_t i : listOf(*c)) {
    const Entry& e = trace_.entries[i];
    if (!used_[i] && e.item.kind == kind::kQuery && sameQuestion(e.item, q)) {
      used_[i] = true;
      return &e;
    }
  }
  // Asked elsewhere than recorded (a changed plug-in): the same question's
  // next unused answer, else its last one.
  const Entry* last = nullptr;
  for (size_t i = 0; i < trace_.entries.size(); ++i) {
    const Entry& e = trace_.entries[i];
    if (e.item.kind != kind::kQuery || !sameQuestion(e.item, q)) continue;
    if (!used_[i]) {
      used_[i] = true;
      return &e;
    }
    last = &e;
  }
  return last;
}

void ReplayHost::inContext(const Entry* e, const std::function<void()>& call) {
  Ctx c;
  c.entry = e;
  c.free = e == nullptr;
  tStack.emplace_back(this, &c);
  call();
  tStack.pop_back();
  checkDone(c);
}

void ReplayHost::checkDone(const Ctx& c) {
  if (c.free || session_.diverged()) return;
  const Entry* missing = nullptr;
  {
    std::lock_guard<std::mutex> lk(mu_);
    for (size_t i : listOf(c)) {
      if (!used_[i] && isOutput(trace_.entries[i])) {
        missing = &trace_.entries[i];
        break;
      }
    }
  }
  if (missing != nullptr) {
    session_.diverge(trace_.name,
                     "entry " + std::to_string(missing->seq) + " was not produced: the plug-in " +
                         "did not make this crossing",
                     missing, nullptr);
  }
}

void ReplayHost::checkOverdue(int64_t absMs) {
  if (session_.diverged()) return;
  const Entry* missing = nullptr;
  {
    std::lock_guard<std::mutex> lk(mu_);
    for (size_t i : own_) {
      const Entry& e = trace_.entries[i];
      if (used_[i] || !isOutput(e)) continue;
      if (e.absMs + kTickToleranceMs <= absMs) missing = &e;
      break;
    }
  }
  if (missing != nullptr) {
    session_.diverge(trace_.name,
                     "entry " + std::to_string(missing->seq) +
                         " was not produced within one tick of its recorded time",
                     missing, nullptr);
  }
}

int64_t ReplayHost::wakeAt(int64_t nowMs, int64_t deadlineMs) {
  // While the device's process was stopped its timer slept on; it woke when
  // the process ran again, and the time-outs due meanwhile then fired one a
  // tick from there.
  for (const Pause& p : trace_.pauses) {
    if (deadlineMs > p.fromMs && deadlineMs < p.untilMs) deadlineMs = p.untilMs;
  }
  std::lock_guard<std::mutex> lk(mu_);
  for (size_t i : own_) {
    const Entry& e = trace_.entries[i];
    if (used_[i] || e.absMs <= nowMs) continue;
    return std::llabs(e.absMs - deadlineMs) <= kWakeSnapMs ? e.absMs : deadlineMs;
  }
  return deadlineMs;
}

// The loop-backs the recorded host made inside this service call, made
// again with the live record; after a divergence, made once as a host would.
void ReplayHost::loopBack(const Entry* rec, const std::function<void()>& call) {
  if (rec == nullptr) {
    inContext(nullptr, call);
    return;
  }
  for (size_t i : rec->children) {
    const Entry& child = trace_.entries[i];
    if (child.slot >= 0) inContext(&child, call);
  }
}

int64_t ReplayHost::retOr(const Entry* rec, int64_t fallback) const {
  return rec != nullptr ? rec->item.num("ret", fallback) : fallback;
}

int32_t ReplayHost::postToApp(uint16_t cmdId, void* block, int32_t, int32_t) {
  Item made = produced("");
  codec::appPostFields(made, cmdId, block);
  const int32_t ret = static_cast<int32_t>(retOr(matchOutput(made), 0));
  const auto* env = static_cast<const imsdk::cmdEnvelope*>(block);
  // Accepted, the record is the host's.
  if (ret == 0 && env != nullptr) delete static_cast<imsdk::_sdkcmd_base*>(env->record);
  return ret;
}

int32_t ReplayHost::postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t) {
  Item made = produced("");
  codec::dispatchFields(made, cmdId, data, len);
  made.quiet = true;
  const Entry* rec = matchOutput(made);
  loopBack(rec, [&] { plugin_->onOther(cmdId, reinterpret_cast<uintptr_t>(data), len); });
  return static_cast<int32_t>(retOr(rec, 0));
}

int32_t ReplayHost::passRequest(uint16_t cmdId, void* data, int32_t len, int32_t) {
  Item made = produced(kind::kPost);
  codec::envelopeFields(made, cmdId, data);
  made.set("len", int64_t{len});
  made.quiet = true;
  const Entry* rec = matchOutput(made);
  loopBack(rec, [&] { plugin_->onNetRequest(cmdId, reinterpret_cast<uintptr_t>(data), len); });
  return static_cast<int32_t>(retOr(rec, 0));
}

bool ReplayHost::sendMessage(imsdk::req_sendMessage* msg, int32_t, int32_t) {
  Item made = produced(kind::kMessage);
  if (msg != nullptr) codec::sendRecordFields(made, *msg);
  return retOr(matchOutput(made), 1) != 0;
}

int32_t ReplayHost::insertMessage(imsdk::req_insertMessage* msg, int32_t, int32_t) {
  Item made = produced(kind::kInsert);
  if (msg != nullptr) codec::sendRecordFields(made, *msg);
  return static_cast<int32_t>(retOr(matchOutput(made), 0));
}

int32_t ReplayHost::registerAddress(const char* name, int32_t zero, const char* ip, uint16_t port,
                                    int32_t addrKind) {
  Item made = produced(kind::kRegister);
  codec::registerFields(made, name, zero, ip, port, addrKind);
  return static_cast<int32_t>(retOr(matchOutput(made), 0));
}

void ReplayHost::log(int32_t, const char*, const char*, const char*, ...) {
  // Log lines are not compared: a trace may leave them out.
}

}  // namespace replay
}  // namespace mrtcsim
