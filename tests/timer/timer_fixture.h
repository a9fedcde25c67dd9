// Shared set-up of the timer tests: a plug-in made and released through the
// library's exports on a simulated host (which hands timer posts straight back
// to slot 6 and keeps its log after the plug-in is gone), virtual time
// starting on a whole second, and the due records caught before the
// notification handlers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "IPlugin.h"
#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "support/support.h"
#include "timer/plugin_other.h"
#include "timer/timeout_record.h"
#include "timer/timer_texts.h"

namespace timertest {

using testsupport::kStartMs;
constexpr int64_t kTickMs = imsdkmrtc::kTimerTickMs;

using imsdkmrtc::texts::timer::kExitThread;
using imsdkmrtc::texts::timer::kThreadBegin;
using imsdkmrtc::texts::timer::kThreadEnd;

inline imsdk::timerCmd addCmd(int32_t category, int32_t type, const std::string& key,
                              std::vector<int64_t> members, int32_t duration,
                              int32_t memberMode = 0, bool refresh = false) {
  imsdk::timerCmd cmd;
  cmd.op = 1;
  cmd.category = category;
  cmd.type = type;
  cmd.key = key;
  cmd.members = std::move(members);
  cmd.duration = duration;
  cmd.memberMode = memberMode;
  cmd.refresh = refresh ? 1 : 0;
  return cmd;
}

inline imsdk::timerCmd removeCmd(int32_t category, int32_t type, const std::string& key,
                                 std::vector<int64_t> members) {
  imsdk::timerCmd cmd = addCmd(category, type, key, std::move(members), 0);
  cmd.op = 0;
  return cmd;
}

// "category/type/key/[members]/duration"
inline std::string describe(const imsdkmrtc::timeoutRecord& r) { return testsupport::render(r); }

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(0, commlib::liveThreads());
    commlib::useVirtualTime(kStartMs);
    iface_ = mrtcplugin_createPlugin();
    ASSERT_NE(nullptr, iface_);
    plugin_ = static_cast<imsdkmrtc::mrtc_plugin*>(iface_);
    client_.attach(iface_);
    {
      std::lock_guard<std::mutex> lk(firedMu_);
      fired_.clear();
    }
    plugin_->other()->setDispatchOverride([this](const imsdkmrtc::timeoutRecord& r) {
      {
        std::lock_guard<std::mutex> lk(firedMu_);
        fired_.push_back(r);
      }
      if (onFire_) onFire_(r);
    });
  }

  void TearDown() override {
    if (iface_ != nullptr) release();
    // A worker told to stop leaves after its current sleep.
    commlib::advance(kTickMs);
    EXPECT_EQ(0, commlib::liveThreads());
  }

  void release() {
    mrtcplugin_releasePlugin(iface_);
    iface_ = nullptr;
    plugin_ = nullptr;
    client_.attach(nullptr);
  }

  size_t logCount() const { return client_.logs().size(); }
  int countLog(const std::string& text) const {
    int n = 0;
    for (const simhost::LogLine& line : client_.logs()) n += line.text == text ? 1 : 0;
    return n;
  }

  void post(imsdk::timerCmd cmd) { plugin_->postTimer(cmd); }
  std::vector<std::string> queueText() {
    std::vector<std::string> out;
    for (const auto& r : plugin_->other()->snapshot()) out.push_back(describe(r));
    return out;
  }

  std::vector<imsdkmrtc::timeoutRecord> fired() {
    std::lock_guard<std::mutex> lk(firedMu_);
    return fired_;
  }

  // The worker's per-tick lines ("onOther: ...") logged since the last call.
  std::vector<std::string> newTickLines() {
    std::vector<simhost::LogLine> all = client_.logs();
    std::vector<std::string> out;
    for (size_t i = seenLogs_; i < all.size(); ++i) {
      if (all[i].text.rfind("onOther: ", 0) == 0) out.push_back(all[i].text);
    }
    seenLogs_ = all.size();
    return out;
  }
  std::vector<std::string> tick() {
    commlib::advance(kTickMs);
    return newTickLines();
  }

  static std::string oneTimeout(int type) {
    char line[64];
    std::snprintf(line, sizeof(line), imsdkmrtc::texts::timer::kOneTimeout, type);
    return line;
  }

  simhost::Network net_;
  simhost::Client& client_ = net_.addClient("a", 1000);
  imsdk::IPlugin* iface_ = nullptr;
  imsdkmrtc::mrtc_plugin* plugin_ = nullptr;
  // Runs on the worker thread after a due record was caught.
  std::function<void(const imsdkmrtc::timeoutRecord&)> onFire_;

 private:
  std::mutex firedMu_;
  std::vector<imsdkmrtc::timeoutRecord> fired_;
  size_t seenLogs_ = 0;
};

}  // namespace timertest
