// The worker thread on the virtual clock: what fires on which tick, when
// threads start and end, release while the worker sleeps or runs a handler,
// and handlers that post new timer requests.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "timer/timer_fixture.h"

namespace timertest {
namespace {

using Lines = std::vector<std::string>;

struct TickCase {
  const char* name;
  std::vector<imsdk::timerCmd> posted;  // at the start, in this order
  std::vector<Lines> ticks;             // worker lines of each tick until it ends
};

TEST_F(TimerTest, OneDueRecordPerTickInQueueOrder) {
  const std::string exitLine = kExitThread;
  const std::vector<TickCase> cases = {
      {"records due together fire on consecutive ticks; a pop moves the last into its place",
       {addCmd(1, 1, "r1", {5}, 0), addCmd(1, 2, "r2", {6}, 0), addCmd(3, 4, "100", {}, 0, 2)},
       {{oneTimeout(1)}, {oneTimeout(4)}, {oneTimeout(2), exitLine}}},
      {"a removal moves the last record into the hole",
       {addCmd(1, 1, "r1", {5}, 0), addCmd(1, 2, "r2", {6}, 0), addCmd(3, 4, "100", {}, 0, 2),
        removeCmd(1, 1, "r1", {5})},
       {{oneTimeout(4)}, {oneTimeout(2), exitLine}}},
      {"a record not yet due is passed over",
       {addCmd(1, 1, "r1", {5}, 7), addCmd(1, 2, "r2", {6}, 0)},
       {{oneTimeout(2)}, {}, {oneTimeout(1), exitLine}}},
      {"a record of type 0 leaves the queue without firing",
       {addCmd(2, 0, "r1", {}, 0, 2), addCmd(1, 1, "r1", {5}, 0)},
       {{}, {oneTimeout(1), exitLine}}},
      {"emptying the queue ends the worker on its next tick",
       {addCmd(1, 1, "r1", {5, 6}, 30), removeCmd(1, 1, "r1", {6, 5})},
       {{exitLine}}},
      {"removes alone start no worker", {removeCmd(1, 1, "r1", {5})}, {}},
      {"adds and refreshes to a busy queue start no second worker",
       {addCmd(1, 1, "r1", {5}, 88), addCmd(0, 3, "keepalive", {}, 60, 0, true),
        addCmd(0, 3, "keepalive", {}, 60, 0, true), removeCmd(1, 1, "r1", {5}),
        removeCmd(0, 3, "keepalive", {})},
       {{exitLine}}},
      {"a refresh that shortens the wait fires on the next tick",
       {addCmd(0, 3, "keepalive", {}, 60, 0, true), addCmd(0, 3, "keepalive", {}, 0, 0, true)},
       {{oneTimeout(3), exitLine}}},
      {"an add that queues nothing still starts a worker, which leaves",
       {addCmd(1, 1, "r1", {5}, 88, 9)},
       {{exitLine}}},
  };
  for (const TickCase& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    const int begun = countLog(kThreadBegin), ended = countLog(kThreadEnd);
    for (const imsdk::timerCmd& cmd : c.posted) post(cmd);
    newTickLines();
    Lines fireLines;
    for (size_t i = 0; i < c.ticks.size(); ++i) {
      SCOPED_TRACE("tick " + std::to_string(i + 1));
      EXPECT_EQ(1, commlib::liveThreads());
      EXPECT_EQ(c.ticks[i], tick());
      for (const std::string& line : c.ticks[i]) {
        if (line != exitLine) fireLines.push_back(line);
      }
    }
    EXPECT_EQ(0, commlib::liveThreads());
    const int workers = c.ticks.empty() ? 0 : 1;
    EXPECT_EQ(workers, countLog(kThreadBegin) - begun);
    EXPECT_EQ(workers, countLog(kThreadEnd) - ended);
    Lines dispatched;  // what reached the dispatcher, as the lines name it
    for (const auto& r : fired()) dispatched.push_back(oneTimeout(r.type));
    EXPECT_EQ(fireLines, dispatched);
  }
}

TEST_F(TimerTest, KeepAliveRefreshRestartsItsClock) {
  plugin_->startKeepAlive();
  EXPECT_EQ(1, commlib::liveThreads());
  for (int t = 3; t <= 57; t += 3) EXPECT_EQ(Lines{}, tick()) << "t=" << t;
  plugin_->startKeepAlive();
  EXPECT_EQ((std::vector<std::string>{"0/3/keepalive/[]/60"}), queueText());
  for (int t = 60; t <= 114; t += 3) EXPECT_EQ(Lines{}, tick()) << "t=" << t;
  EXPECT_EQ((Lines{oneTimeout(3), kExitThread}), tick());
  EXPECT_EQ(1, countLog(kThreadBegin));
}

TEST_F(TimerTest, ReleaseWhileTheWorkerSleeps) {
  post(addCmd(1, 1, "r1", {5}, 30));
  commlib::advance(1000);
  release();
  const size_t logged = logCount();
  EXPECT_EQ(1, commlib::liveThreads());
  commlib::advance(2000);  // the end of the sleep that was under way
  EXPECT_EQ(0, commlib::liveThreads());
  EXPECT_EQ(logged, logCount());
  EXPECT_EQ(0, countLog(kThreadEnd));
}

// After the release's stop a post is kept but starts no worker: nothing of
// the plug-in runs on a thread of its own any more.
TEST_F(TimerTest, PostAfterStopStartsNoWorker) {
  plugin_->other()->stop();
  post(addCmd(1, 1, "r1", {5}, 0));
  EXPECT_EQ(0, commlib::liveThreads());
  commlib::advance(kTickMs);
  EXPECT_TRUE(fired().empty());
  EXPECT_EQ(0, countLog(kThreadBegin));
}

// Release from another thread while the worker's handler runs; optionally the
// handler has just posted an add that starts a second worker on the same flag.
TEST_F(TimerTest, ReleaseWaitsForARunningHandler) {
  for (bool handlerPosts : {false, true}) {
    SCOPED_TRACE(handlerPosts ? "handler posts a new time-out" : "plain handler");
    TearDown();
    SetUp();
    std::promise<void> entered;
    std::promise<void> go;
    std::shared_future<void> goSignal = go.get_future().share();
    std::atomic<bool> released{false};
    std::atomic<bool> releasedInHandler{true};
    onFire_ = [&](const imsdkmrtc::timeoutRecord& r) {
      if (r.key != "r1") return;
      if (handlerPosts) plugin_->addTimeout(2, "r2", {6}, 30, 1, 0, "");
      entered.set_value();
      goSignal.wait();
      releasedInHandler = released.load();
    };
    post(addCmd(1, 1, "r1", {5}, 0));
    if (!handlerPosts) post(addCmd(1, 2, "r3", {6}, 30));  // keeps the worker going

    std::thread clock([] { commlib::advance(kTickMs); });
    entered.get_future().wait();
    size_t loggedAtRelease = 0;
    std::thread releaser([&] {
      mrtcplugin_releasePlugin(iface_);
      loggedAtRelease = logCount();
      released = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(released.load());
    go.set_value();
    releaser.join();
    clock.join();
    iface_ = nullptr;
    plugin_ = nullptr;
    client_.attach(nullptr);

    EXPECT_FALSE(releasedInHandler.load());
    commlib::advance(kTickMs);
    EXPECT_EQ(0, commlib::liveThreads());
    EXPECT_EQ(loggedAtRelease, logCount());
    onFire_ = nullptr;
  }
}

TEST_F(TimerTest, HandlerOnTheWorkerPostsTheNextTimeout) {
  // As the recall does: each fired record queues the next one from the
  // worker thread, which finds the queue empty and starts the next worker.
  onFire_ = [this](const imsdkmrtc::timeoutRecord& r) {
    if (r.recallCnt < 3) {
      plugin_->addRecallTimeout(r.key, r.roomId, r.members, 3, 5, r.extra, r.fireTime,
                                r.recallCnt + 1);
    }
  };
  plugin_->addRecallTimeout("100", "room-1", {7}, 3, 5, "{\"m\":1}", 99, 0);
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE("tick " + std::to_string(i + 1));
    EXPECT_EQ((Lines{oneTimeout(7), kExitThread}), tick());
    EXPECT_EQ(i < 3 ? 1 : 0, commlib::liveThreads());
  }
  // The dispatcher gets the whole record, its recall count moving on.
  std::vector<std::string> got;
  for (const auto& r : fired()) {
    got.push_back(describe(r) + " " + std::to_string(r.startTime - kStartMs / 1000) + " " +
                  r.extra + " " + std::to_string(r.fireTime) + " " + std::to_string(r.recallCnt) +
                  " " + r.roomId);
  }
  EXPECT_EQ((std::vector<std::string>{
                "5/7/100/[7]/3 0 {\"m\":1} 99 0 room-1", "5/7/100/[7]/3 3 {\"m\":1} 99 1 room-1",
                "5/7/100/[7]/3 6 {\"m\":1} 99 2 room-1", "5/7/100/[7]/3 9 {\"m\":1} 99 3 room-1"}),
            got);
  EXPECT_EQ(4, countLog(kThreadBegin));
  EXPECT_EQ(4, countLog(kThreadEnd));
}

// Each cycle: one record, and a second add posted from another thread while
// the worker is still in the tick that emptied the queue. The new add meets
// the ending worker (shared flag) or follows it (new flag); either way both
// records fire once and no thread is left behind. Logging is off so that the
// host's own lock does not order the two threads for the race detector.
TEST_F(TimerTest, AddsDuringTheLastTickNeverLoseARecordOrAThread) {
  constexpr int kCycles = 1000;
  simhost::setQuietLogs(client_, true);
  std::mutex mu;
  std::condition_variable cv;
  int kicks = 0;
  int posted = 0;
  std::atomic<int> adding{0};
  onFire_ = [&](const imsdkmrtc::timeoutRecord& r) {
    if (r.key != "x") return;
    int cycle;
    {
      std::lock_guard<std::mutex> lk(mu);
      cycle = kicks++;
      cv.notify_all();
    }
    // Finish the tick only once the adder is on its way.
    while (adding.load() <= cycle) std::this_thread::yield();
  };
  std::thread adder([&] {
    for (int i = 0; i < kCycles; ++i) {
      {
        std::unique_lock<std::mutex> lk(mu);
        cv.wait(lk, [&] { return kicks > i; });
      }
      adding.store(i + 1);
      for (int spin = 0; spin < i % 8; ++spin) std::this_thread::yield();
      post(addCmd(3, 4, "y", {}, 0, 2));
      std::lock_guard<std::mutex> lk(mu);
      ++posted;
      cv.notify_all();
    }
  });
  for (int i = 0; i < kCycles; ++i) {
    post(addCmd(3, 4, "x", {}, 0, 2));
    commlib::advance(kTickMs);  // fires x; y arrives meanwhile
    {
      std::unique_lock<std::mutex> lk(mu);
      cv.wait(lk, [&] { return posted > i; });
    }
    commlib::advance(kTickMs);  // fires y
    ASSERT_EQ(0, commlib::liveThreads()) << "cycle " << i;
    ASSERT_EQ(static_cast<size_t>(2 * (i + 1)), fired().size()) << "cycle " << i;
  }
  adder.join();
  EXPECT_TRUE(queueText().empty());
}

}  // namespace
}  // namespace timertest
