// A minimal host for the timer tests: it keeps every log line and hands each
// post to its own dispatch straight back to the plug-in's slot 6 on the
// posting thread, as the host does. It outlives the plug-in, so what a worker
// thread logs after a release stays visible.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "IPlugin.h"
#include "host_service.h"

namespace timertest {

class LoopHost : public imsdk::IHostService {
 public:
  void attach(imsdk::IPlugin* plugin) {
    plugin_.store(plugin);
    plugin->setHost(this);
  }
  // The plug-in is gone: later posts are dropped.
  void detach() { plugin_.store(nullptr); }

  std::vector<std::string> logs() const {
    std::lock_guard<std::mutex> lk(mu_);
    return logs_;
  }
  size_t logCount() const {
    std::lock_guard<std::mutex> lk(mu_);
    return logs_.size();
  }
  int count(const std::string& text) const {
    std::lock_guard<std::mutex> lk(mu_);
    int n = 0;
    for (const std::string& line : logs_) n += line == text ? 1 : 0;
    return n;
  }

  int64_t getTicketValue() override { return 0; }
  std::string getTicketText() override { return std::string(); }
  int64_t getOwnUserId() override { return 1000; }
  int32_t postToApp(uint16_t, void*, int32_t, int32_t) override { return -1; }
  int32_t postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t) override {
    imsdk::IPlugin* plugin = plugin_.load();
    if (plugin == nullptr) return -1;
    plugin->onOther(cmdId, reinterpret_cast<uintptr_t>(data), static_cast<uintptr_t>(len));
    return 0;
  }
  int32_t passRequest(uint16_t, void*, int32_t, int32_t) override { return -1; }
  bool sendMessage(imsdk::req_sendMessage*, int32_t, int32_t) override { return false; }
  int32_t insertMessage(imsdk::req_insertMessage*, int32_t, int32_t) override { return -1; }
  bool syncRequest(int32_t, com::zbq::im::ap::SessionTicket*,
                   com::zbq::im::ap::CacheRet*) override {
    return false;
  }
  void log(int32_t, const char*, const char*, const char* fmt, ...) override
      __attribute__((format(printf, 5, 6))) {
    char buf[2048];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof buf, fmt, args);
    va_end(args);
    std::lock_guard<std::mutex> lk(mu_);
    logs_.emplace_back(buf);
  }
  int64_t getTimeMs() override { return 0; }
  bool loginQuery() override { return true; }
  std::string getPreLoginDesc() override { return std::string(); }
  bool getUserInfo(imsdk::userInfo*, int64_t) override { return false; }
  std::string getConfigItem(const std::string&, const std::string&) override {
    return std::string();
  }
  int32_t registerAddress(const char*, int32_t, const char*, uint16_t, int32_t) override {
    return 0;
  }

 private:
  std::atomic<imsdk::IPlugin*> plugin_{nullptr};
  mutable std::mutex mu_;
  std::vector<std::string> logs_;
};

}  // namespace timertest
