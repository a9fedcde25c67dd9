// What a replay relies on the recorder for: the host's inputs numbered in
// the order the plug-in took them (the replay feeds them by their numbers),
// and the second the plug-in was made in (it seeds its message ids from it).
#include "recorder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/json.h"
#include "clock_control.h"
#include "recording_plugin.h"
#include "sdk_cmd.h"
#include "tools.h"

namespace {

namespace fs = std::filesystem;

// A plug-in that notes which input it took when; a hook runs inside the
// request before it is taken, as a real request runs a while before it gets
// the plug-in's lock.
class OrderPlugin : public imsdk::IPlugin {
 public:
  std::function<void()> beforeRequest;

  std::vector<std::string> taken() {
    std::lock_guard<std::mutex> lk(mu_);
    return taken_;
  }
  // Until INPUT was taken, or FOR has passed.
  void waitFor(const std::string& input, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lk(mu_);
    cv_.wait_for(lk, limit, [&] {
      for (const std::string& t : taken_) {
        if (t == input) return true;
      }
      return false;
    });
  }

  bool onRequest(uint16_t, uintptr_t, void*) override {
    if (beforeRequest) beforeRequest();
    take("request");
    return true;
  }
  int32_t onNotify(uint16_t, uintptr_t, uintptr_t) override {
    take("message");
    return 0;
  }

  void setHost(imsdk::IHostService*) override {}
  bool slot1(uint32_t, uint32_t) override { return false; }
  std::string getName() override { return ""; }
  bool slot5(uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return false; }
  bool onOther(uint16_t, uintptr_t, uintptr_t) override { return false; }
  bool onNetRequest(uint16_t, uintptr_t, uintptr_t) override { return false; }
  bool slot8(uintptr_t) override { return false; }
  void slot9(uintptr_t, uintptr_t, uintptr_t) override {}
  void slot10(uintptr_t, uintptr_t, uintptr_t) override {}
  bool slot11(uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return false; }
  void onpostServer(uint16_t, void*) override {}
  bool slot13(uintptr_t, uintptr_t, uintptr_t) override { return false; }
  imsdk::_sdkcmd_base* cloneCmd(uint16_t, const imsdk::_sdkcmd_base*, uintptr_t) override {
    return nullptr;
  }
  imsdk::_sdkcmd_base* createCmd(uint16_t, bool) override { return nullptr; }
  void releaseCmd(uint16_t, imsdk::_sdkcmd_base*, uintptr_t) override {}
  bool slot17() override { return false; }
  bool slot18() override { return false; }
  bool slot19(uintptr_t) override { return false; }
  bool slot20() override { return false; }
  int32_t* getStamp(int32_t*) override { return nullptr; }
  int32_t slot22(uintptr_t, uintptr_t, uintptr_t) override { return 0; }
  int32_t slot23(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return 0; }
  void slot24() override {}
  void slot25(uintptr_t, uintptr_t, uintptr_t) override {}

 private:
  void take(const char* input) {
    {
      std::lock_guard<std::mutex> lk(mu_);
      taken_.push_back(input);
    }
    cv_.notify_all();
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::vector<std::string> taken_;
};

// The inputs of a trace ("request" for slot 3, "message" for slot 4) in the
// order of their numbers.
std::vector<std::string> inputsBySeq(const std::string& path) {
  std::map<int64_t, std::string> bySeq;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    json::Document doc;
    if (!imsdkmrtc::parseText(doc, line) || !doc.HasMember("slot")) continue;
    const int64_t slot = doc["slot"].GetInt64();
    if (slot == 3 || slot == 4) bySeq[doc["seq"].GetInt64()] = slot == 3 ? "request" : "message";
  }
  std::vector<std::string> out;
  for (const auto& [seq, input] : bySeq) out.push_back(input);
  return out;
}

TEST(RecorderInputOrder, TwoHostThreadsAreNumberedInTheOrderThePluginTookTheirInputs) {
  std::string path = (fs::temp_directory_path() / "mrtc-order-XXXXXX").string();
  const int fd = mkstemp(path.data());
  ASSERT_GE(fd, 0);
  close(fd);
  mrtcrecord::Config config;
  config.tracePath = path;
  mrtcrecord::Recorder::get().configure(config);

  OrderPlugin real;
  mrtcrecord::RecordingPlugin shim(&real, "p1");
  std::thread network;
  // A message comes in on another thread while the request is on its way
  // into the plug-in, and overtakes it when it can: the request waits a
  // while for it.
  real.beforeRequest = [&] {
    network = std::thread([&] { shim.onNotify(0, 0, 0); });
    real.waitFor("message", std::chrono::milliseconds(300));
  };
  shim.onRequest(imsdk::kCmdConnectState, 0, nullptr);
  network.join();

  const std::vector<std::string> bySeq = inputsBySeq(path);
  std::remove(path.c_str());
  ASSERT_EQ(real.taken().size(), 2u);
  EXPECT_EQ(bySeq, real.taken());
}

// A plug-in whose start takes 2 ms and reads the local time's second at
// its end, as the real one seeds its message ids.
struct SlowStart {
  static int64_t seeded;
  static int alive;
  static imsdk::IPlugin* create() {
    commlib::advance(2);
    seeded = tools::getLocalTime();
    ++alive;
    return new OrderPlugin;
  }
  static void release(imsdk::IPlugin* p) {
    --alive;
    delete p;
  }
};
int64_t SlowStart::seeded = 0;
int SlowStart::alive = 0;

TEST(RecorderBirth, NamesTheSecondThePluginSeededFromWhenMadeAcrossASecondBoundary) {
  commlib::useVirtualTime(1700000000999);
  mrtcrecord::Recorder::Birth born{};
  imsdk::IPlugin* made =
      mrtcrecord::Recorder::get().make(&SlowStart::create, &SlowStart::release, born);
  commlib::useRealTime();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(born.localTime, SlowStart::seeded);
  EXPECT_EQ(SlowStart::alive, 1);  // the one made across the boundary was released
  SlowStart::release(made);
}

}  // namespace
