#include "pause_watch.h"

#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "crossing.h"
#include "recorder.h"

namespace mrtcrecord {
namespace pause_watch {

namespace {

using Clock = std::chrono::steady_clock;

// Woken this often, the thread is late by a pause. A second is well under
// the plug-in's 3 s timer tick, and far above a busy scheduler's delays.
constexpr std::chrono::milliseconds kPeriod{200};
constexpr int64_t kPauseMs = 1000;

struct Live {
  std::mutex mu;
  std::set<std::string> clients;  // guarded by mu
};

// Never destroyed: the thread may wake while the process exits.
Live& live() {
  static Live* l = new Live;
  return *l;
}

std::once_flag gStarted;

void writePause(int64_t awayMs) {
  std::vector<std::string> clients;
  {
    std::lock_guard<std::mutex> lk(live().mu);
    clients.assign(live().clients.begin(), live().clients.end());
  }
  for (const std::string& client : clients) {
    Crossing c;
    codec::Item it = c.entry(client, codec::kind::kPause);
    const int64_t until = it.t;
    it.t = until - awayMs;
    it.set("until", until);
    Recorder::get().write(it);
  }
}

[[noreturn]] void watch() {
  Clock::time_point last = Clock::now();
  for (;;) {
    std::this_thread::sleep_for(kPeriod);
    const Clock::time_point now = Clock::now();
    const int64_t away =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - last - kPeriod).count();
    last = now;
    if (away >= kPauseMs) writePause(away);
  }
}

}  // namespace

void added(const std::string& client) {
  {
    std::lock_guard<std::mutex> lk(live().mu);
    live().clients.insert(client);
  }
  std::call_once(gStarted, [] { std::thread(watch).detach(); });
}

void released(const std::string& client) {
  std::lock_guard<std::mutex> lk(live().mu);
  live().clients.erase(client);
}

}  // namespace pause_watch
}  // namespace mrtcrecord
