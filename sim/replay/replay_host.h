// The host a replayed plug-in sees: it hands the plug-in the recorded inputs
// of one client and answers its service calls as the recorded host did,
// checking every output against the recording.
//
// Each host -> plug-in crossing fed opens a context: the plug-in's service
// calls on that thread are matched, in order, against the crossings recorded
// inside it. Service calls from the plug-in's own threads (its timer) are
// matched against the recorded ones from such threads, in order, and their
// times may differ by less than one tick. A loop-back the recorded host made
// inside a service call is made again, with the live record.
//
// Threads: fed from the replay's thread; services are called from there and
// from the plug-in's timer thread. One mutex, never held while the plug-in runs.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "IPlugin.h"
#include "host_service_overrides.h"
#include "session.h"
#include "trace.h"

namespace mrtcsim {
namespace replay {

class ReplayHost : public imsdk::IHostService {
 public:
  ReplayHost(const ClientTrace& trace, Session& session);
  ~ReplayHost() override = default;

  // Before any call.
  void setPlugin(imsdk::IPlugin* plugin) { plugin_ = plugin; }
  // True for the recorded crossings the replay feeds (the others are the
  // replay's own doing: setting the host, the record factory, the release).
  static bool fed(const Entry& e);
  void feed(const Entry& e);
  // Reports a recorded own-thread output not produced by absMs (replay clock).
  void checkOverdue(int64_t absMs);
  // Where the plug-in's timer thread, going to sleep at nowMs until
  // deadlineMs, wakes: at the recorded time of this client's next own
  // crossing when that lies within kWakeSnapMs of the deadline. On the device
  // each tick's sleep overran a little, so over a long wait its ticks and the
  // replay's drift apart; an input the device took just before a tick could
  // otherwise come just after it here, or the other way round. A wake-up
  // due while the device's process was stopped (a recorded pause) comes at
  // the pause's end.
  int64_t wakeAt(int64_t nowMs, int64_t deadlineMs);
  const std::string& name() const { return trace_.name; }

  MRTC_HOST_SERVICE_OVERRIDES

  struct Ctx {
    const Entry* entry = nullptr;  // null: the plug-in's own threads
    size_t next = 0;
    bool free = false;  // nothing recorded to hold it to (after a divergence)
  };

 private:
  Ctx* current();
  const std::vector<size_t>& listOf(const Ctx& c) const;
  codec::Item produced(const char* kind) const;
  const Entry* matchOutput(codec::Item& made);
  bool cutOff(const codec::Item& made) const;
  bool heldByPause(int64_t madeMs, int64_t recordedMs) const;
  const Entry* answer(const codec::Item& q);
  void inContext(const Entry* e, const std::function<void()>& call);
  void checkDone(const Ctx& c);
  void loopBack(const Entry* rec, const std::function<void()>& call);
  int64_t retOr(const Entry* rec, int64_t fallback) const;

  void feedRequest(const Entry& e);
  void feedLoop(const Entry& e);
  void feedLifecycle(const Entry& e);
  void checkRet(const Entry& e, int64_t ret);

  const ClientTrace& trace_;
  Session& session_;
  imsdk::IPlugin* plugin_ = nullptr;
  std::mutex mu_;
  std::vector<bool> used_;   // by entry index
  std::vector<size_t> own_;  // crossings of the plug-in's own threads
  Ctx ownCtx_;
};

}  // namespace replay
}  // namespace mrtcsim
