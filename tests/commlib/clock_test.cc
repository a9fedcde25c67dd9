// The controllable clock: stepping through the deadlines of tracked threads,
// run as threads and as fibers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "clock_control.h"
#include "thread_start.h"
#include "tools.h"

namespace {

using ::testing::ElementsAre;

constexpr int64_t kStart = 1700000000000;

// Wake-up times seen by the threads of one test.
struct Log {
  std::mutex mu;
  std::vector<int64_t> times;
  void add(int64_t t) {
    std::lock_guard<std::mutex> lk(mu);
    times.push_back(t - kStart);
  }
  std::vector<int64_t> get() {
    std::lock_guard<std::mutex> lk(mu);
    return times;
  }
  std::vector<int64_t> ids;  // who woke, in order
  void name(int64_t id) {
    std::lock_guard<std::mutex> lk(mu);
    ids.push_back(id);
  }
  std::vector<int64_t> names() {
    std::lock_guard<std::mutex> lk(mu);
    return ids;
  }
};

struct Ticker {
  Log* log;
  int ticks;
  int64_t periodMs;
};

void tick(void* arg) {
  auto* t = static_cast<Ticker*>(arg);
  for (int i = 0; i < t->ticks; ++i) {
    tools::sleep(t->periodMs);
    t->log->add(tools::get_mill_sec());
  }
}

class ClockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    commlib::useVirtualTime(kStart);
    baseline = commlib::liveThreads();
  }
  void TearDown() override {
    commlib::useCooperativeThreads(false);
    commlib::useRealTime();
  }
  int baseline = 0;
  Log log;
};

// The same steps whether the tracked threads are threads or fibers.
class StepsTest : public ClockTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    ClockTest::SetUp();
    commlib::useCooperativeThreads(GetParam());
  }
};

INSTANTIATE_TEST_SUITE_P(Threads, StepsTest, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Fibers, StepsTest, ::testing::Values(true));

TEST_P(StepsTest, AdvanceStepsThroughEachDeadlineOfATrackedThread) {
  Ticker t{&log, 4, 3000};
  ASSERT_TRUE(platform::startThread(tick, &t));
  commlib::advance(10000);
  EXPECT_EQ(tools::get_mill_sec(), kStart + 10000);
  EXPECT_EQ(tools::getLocalTime(), (kStart + 10000) / 1000);
  EXPECT_THAT(log.get(), ElementsAre(3000, 6000, 9000));
  EXPECT_EQ(commlib::liveThreads(), baseline + 1);
  commlib::advance(2000);
  EXPECT_THAT(log.get(), ElementsAre(3000, 6000, 9000, 12000));
  EXPECT_EQ(commlib::liveThreads(), baseline);
}

struct Starter {
  Log* log;
  Ticker child;
};

void startChild(void* arg) {
  auto* s = static_cast<Starter*>(arg);
  tools::sleep(1000);
  s->log->add(tools::get_mill_sec());
  platform::startThread(tick, &s->child);
}

TEST_P(StepsTest, AThreadStartedDuringAStepIsWaitedForAndStepped) {
  Starter s{&log, {&log, 2, 500}};
  ASSERT_TRUE(platform::startThread(startChild, &s));
  std::vector<int64_t> steps;
  commlib::advance(5000, [&] { steps.push_back(tools::get_mill_sec() - kStart); });
  // The child went to sleep at 1000 before time moved on.
  EXPECT_THAT(log.get(), ElementsAre(1000, 1500, 2000));
  EXPECT_THAT(steps, ElementsAre(1000, 1500, 2000, 5000));
  EXPECT_EQ(commlib::liveThreads(), baseline);
}

// Sleeps in turn, then says who it is.
struct Named {
  Log* log;
  int64_t id;
  std::vector<int64_t> sleeps;
};

void sleepThenName(void* arg) {
  auto* n = static_cast<Named*>(arg);
  for (int64_t ms : n->sleeps) tools::sleep(ms);
  n->log->name(n->id);
}

// Sleepers due in the same millisecond wake in the order they were started,
// not in the order they fell asleep: the first falls asleep for 1100 last.
TEST_P(StepsTest, SleepersDueTogetherWakeInStartOrder) {
  Named first{&log, 1, {1000, 100}};
  Named second{&log, 2, {1100}};
  Named third{&log, 3, {600}};
  ASSERT_TRUE(platform::startThread(sleepThenName, &first));
  ASSERT_TRUE(platform::startThread(sleepThenName, &second));
  commlib::advance(500);
  ASSERT_TRUE(platform::startThread(sleepThenName, &third));
  commlib::advance(1000);
  EXPECT_THAT(log.names(), ElementsAre(1, 2, 3));
  EXPECT_EQ(commlib::liveThreads(), baseline);
}

TEST_F(ClockTest, SleepersWakeOnlyWhenTimeReachesTheirDeadline) {
  Ticker t{&log, 1, 700};
  ASSERT_TRUE(platform::startThread(tick, &t));
  commlib::settle();
  commlib::advance(699);
  EXPECT_TRUE(log.get().empty());
  commlib::advance(1);
  EXPECT_THAT(log.get(), ElementsAre(700));
  // A huge sleep neither overflows nor wakes early.
  Ticker forever{&log, 1, INT64_MAX};
  ASSERT_TRUE(platform::startThread(tick, &forever));
  commlib::advance(100000);
  EXPECT_THAT(log.get(), ElementsAre(700));
  EXPECT_EQ(commlib::liveThreads(), baseline + 1);
  commlib::useRealTime();  // wakes it
  for (int i = 0; i < 5000 && commlib::liveThreads() != baseline; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(commlib::liveThreads(), baseline);
}

}  // namespace
