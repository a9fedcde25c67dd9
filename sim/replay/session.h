// What a replay collects while it runs: the timeline it draws and the first
// place where the plug-in did not do what the recording says.
//
// Threads: the replay's own thread and the plug-ins' timer threads call in;
// one mutex, never held while a plug-in runs.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "item.h"
#include "timer/timer_texts.h"
#include "trace.h"

namespace mrtcsim {
namespace replay {

// A plug-in's own timer may fire a time-out up to one tick away from the
// recorded time: its tick's phase depends on when its thread started.
constexpr int64_t kTickToleranceMs = imsdkmrtc::kTimerTickMs;
// How far a replayed timer's wake-up may move to meet the recorded tick. Under
// half a tick, so that only one wake-up can meet a given recorded tick.
constexpr int64_t kWakeSnapMs = kTickToleranceMs / 2 - 100;

struct Divergence {
  bool found = false;
  std::string client;
  std::string what;                 // one line
  std::string recorded;             // the recorded entry (a JSON line, with its file:line), or ""
  std::string produced;             // what the plug-in did instead (a JSON line), or ""
  int64_t t = 0;                    // ms since the replay's start
  std::vector<std::string> before;  // the client's last steps, oldest first
};

class Session {
 public:
  explicit Session(int64_t startMs) : startMs_(startMs) {}

  // Ms since the replay's start on the replay clock.
  int64_t now() const;
  int64_t startMs() const { return startMs_; }
  // A result is not kept: it becomes its request's answer.
  void add(codec::Item it);
  std::vector<codec::Item> items() const;

  // Keeps the first divergence only; true when this one was it.
  bool diverge(const std::string& client, const std::string& what, const Entry* recorded,
               const codec::Item* produced);
  bool diverged() const;
  Divergence first() const;
  void countCompared();
  int64_t compared() const;

 private:
  const int64_t startMs_;
  mutable std::mutex mu_;
  std::vector<codec::Item> items_;
  Divergence first_;
  int64_t compared_ = 0;
};

// An entry without its stamps (sequence, parent, thread, slot, service,
// answer): what the timeline shows and what two entries are compared by.
codec::Item bare(const codec::Item& entry);
// "" when both say the same; otherwise the first field that differs.
std::string difference(const codec::Item& recorded, const codec::Item& produced);

}  // namespace replay
}  // namespace mrtcsim
