// A host may dlclose the library as soon as mrtcplugin_releasePlugin returns.
// The timer thread is never joined, so it must not wake into unmapped code:
// here it wakes several ticks after the library was closed, once from its
// sleep and once after a handler that was running during the release.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "IPlugin.h"
#include "clock_control.h"
#include "host_service.h"
#include "sdk_cmd.h"

namespace {

constexpr int64_t kStartMs = 1700000000000;
constexpr int64_t kTickMs = 3000;

// Answers the few services the time-out path uses. getOwnUserId, asked by the
// wait time-out handler, can hold the timer thread until the test lets go.
class HoldingHost : public imsdk::IHostService {
 public:
  void armHold() {
    std::lock_guard<std::mutex> lk(mu_);
    armed_ = true;
  }
  void waitHeld() {
    std::unique_lock<std::mutex> lk(mu_);
    cv_.wait(lk, [&] { return held_; });
  }
  void letGo() {
    std::lock_guard<std::mutex> lk(mu_);
    held_ = false;
    cv_.notify_all();
  }

  int64_t getTicketValue() override { return 0; }
  std::string getTicketText() override { return {}; }
  int64_t getOwnUserId() override {
    std::unique_lock<std::mutex> lk(mu_);
    if (armed_) {
      armed_ = false;
      held_ = true;
      cv_.notify_all();
      cv_.wait(lk, [&] { return !held_; });
    }
    return 1000;
  }
  // Refused: the plug-in keeps and frees its record.
  int32_t postToApp(uint16_t, void*, int32_t, int32_t) override { return -1; }
  int32_t postToDispatch(uint16_t, void*, int32_t, int32_t) override { return -1; }
  int32_t passRequest(uint16_t, void*, int32_t, int32_t) override { return -1; }
  bool sendMessage(imsdk::req_sendMessage*, int32_t, int32_t) override { return false; }
  int32_t insertMessage(imsdk::req_insertMessage*, int32_t, int32_t) override { return -1; }
  bool syncRequest(int32_t, com::zbq::im::ap::SessionTicket*,
                   com::zbq::im::ap::CacheRet*) override {
    return false;
  }
  void log(int32_t, const char*, const char*, const char*, ...) override {}
  int64_t getTimeMs() override { return kStartMs; }
  bool loginQuery() override { return true; }
  std::string getPreLoginDesc() override { return {}; }
  bool getUserInfo(imsdk::userInfo*, int64_t) override { return false; }
  std::string getConfigItem(const std::string&, const std::string&) override { return {}; }
  int32_t registerAddress(const char*, int32_t, const char*, uint16_t, int32_t) override {
    return 0;
  }

 private:
  std::mutex mu_;
  std::condition_variable cv_;
  bool armed_ = false;
  bool held_ = false;
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
    commlib::useVirtualTime(kStartMs);
    void* lib = dlopen(MRTC_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto create = reinterpret_cast<imsdk::IPlugin* (*)()>(dlsym(lib, "mrtcplugin_createPlugin"));
    auto release =
        reinterpret_cast<void (*)(imsdk::IPlugin*)>(dlsym(lib, "mrtcplugin_releasePlugin"));
    ASSERT_NE(create, nullptr);
    ASSERT_NE(release, nullptr);
    HoldingHost host;
    imsdk::IPlugin* plugin = create();
    ASSERT_NE(plugin, nullptr);
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
    }
    EXPECT_EQ(1, commlib::liveThreads());
    ASSERT_EQ(0, dlclose(lib));

    commlib::advance(4 * kTickMs);
    EXPECT_EQ(0, commlib::liveThreads());
    commlib::useRealTime();
  }
}

}  // namespace
