// A host may dlclose the library as soon as mrtcplugin_releasePlugin returns.
// The timer thread is never joined, so it must not wake into unmapped code:
// here it wakes several ticks after the library was closed, once from its
// sleep and once after a handler that was running during the release.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "IPlugin.h"
#include "clock_control.h"
#include "sdk_cmd.h"
#include "simhost.h"
#include "support/support.h"
#include "timer/timer_texts.h"

namespace {

constexpr int64_t kTickMs = imsdkmrtc::kTimerTickMs;

// A simulated host whose own-id service, asked by the wait time-out handler,
// can hold the timer thread until the test lets it go.
class HoldingHost : public simhost::Client {
 public:
  using Client::Client;
  void armHold() { setHeld(1); }
  void waitHeld() {
    std::unique_lock<std::mutex> lk(mu_);
    cv_.wait(lk, [&] { return held_ == 2; });
  }
  void letGo() { setHeld(0); }
  int64_t getOwnUserId() override {
    std::unique_lock<std::mutex> lk(mu_);
    if (held_ == 1) {
      held_ = 2;
      cv_.notify_all();
      cv_.wait(lk, [&] { return held_ == 0; });
    }
    return Client::getOwnUserId();
  }

 private:
  void setHeld(int state) {
    std::lock_guard<std::mutex> lk(mu_);
    held_ = state;
    cv_.notify_all();
  }
  std::mutex mu_;
  std::condition_variable cv_;
  int held_ = 0;  // 1 armed, 2 holding the caller
};

imsdk::timerCmd waitTimeout(const std::string& room, int64_t member, int32_t seconds) {
  imsdk::timerCmd cmd;
  cmd.op = 1;
  cmd.category = 1;
  cmd.type = 1;
  cmd.key = room;
  cmd.members = {member};
  cmd.duration = seconds;
  return cmd;
}

void post(imsdk::IPlugin* plugin, imsdk::timerCmd cmd) {
  plugin->onOther(imsdk::kCmdTimer, reinterpret_cast<uintptr_t>(&cmd), imsdk::kTimerCmdSize);
}

TEST(Unload, TimerThreadWakesAfterTheLibraryIsClosed) {
  for (bool duringHandler : {false, true}) {
    SCOPED_TRACE(duringHandler ? "released while a handler runs" : "released while it sleeps");
    ASSERT_EQ(0, commlib::liveThreads());
    commlib::useVirtualTime(testsupport::kStartMs);
    void* lib = dlopen(MRTC_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto create = reinterpret_cast<imsdk::IPlugin* (*)()>(dlsym(lib, "mrtcplugin_createPlugin"));
    auto release =
        reinterpret_cast<void (*)(imsdk::IPlugin*)>(dlsym(lib, "mrtcplugin_releasePlugin"));
    ASSERT_NE(create, nullptr);
    ASSERT_NE(release, nullptr);
    simhost::Network net;
    HoldingHost host(&net, "a", 1000, 1);
    imsdk::IPlugin* plugin = create();
    ASSERT_NE(plugin, nullptr);
    EXPECT_EQ(plugin->getName(), "mrtcplugin");
    plugin->setHost(&host);

    // Far from due: keeps the worker ticking after the first record fired.
    post(plugin, waitTimeout("later", 6, 600));
    if (duringHandler) {
      post(plugin, waitTimeout("due", 5, 0));
      host.armHold();
      std::thread clock([] { commlib::advance(kTickMs); });
      host.waitHeld();
      std::thread releaser([&] { release(plugin); });
      // Gives the release time to reach the running tick before it ends.
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      host.letGo();
      releaser.join();
      clock.join();
    } else {
      commlib::settle();
      release(plugin);
      release(nullptr);
    }
    EXPECT_EQ(1, commlib::liveThreads());
    ASSERT_EQ(0, dlclose(lib));

    commlib::advance(4 * kTickMs);
    EXPECT_EQ(0, commlib::liveThreads());
    commlib::useRealTime();
  }
}

}  // namespace
