// The plug-in object: the IPlugin slots the host drives, the members the
// request and notification handlers reach through the plug-in pointer, the
// settings and the small utilities shared by all. It assembles the members:
// store, media-server choice, timer and signalling see it only as their
// pluginEnv, the request and notification handlers as their handlerEnv, and
// the few calls upward are callbacks set here.
//
// Threads: the host calls the slots from its request, notification and
// post-server threads; the timer thread calls the utilities. Settings are
// atomics (written by the settings request, read anywhere). `lock()` is the
// plug-in lock: taken before the store lock, never after it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "CLocker.h"
#include "IPlugin.h"
#include "base/cmd_factory.h"
#include "notify/handler_env.h"
#include "signalling/board_buffer.h"
#include "signalling/msg_proxy.h"
#include "slb/slb_server.h"
#include "store/talk_store.h"
#include "thread_annotations.h"

namespace imsdkmrtc {

class pluginNet;
class pluginNotify;
class pluginOther;
class pluginRequest;

class mrtc_plugin : public imsdk::IPlugin, public handlerEnv {
 public:
  // ownDeviceType is always 1 ("pc") in the product; tests may build a
  // plug-in of another device type to exercise the mobile-only paths.
  explicit mrtc_plugin(uint8_t ownDeviceType = 1);
  ~mrtc_plugin() override;

  // IPlugin slots.
  void setHost(imsdk::IHostService* host) override;
  bool slot1(uint32_t, uint32_t) override { return true; }
  std::string getName() override { return "mrtcplugin"; }
  bool onRequest(uint16_t cmdId, uintptr_t payload, void* present) override;
  int32_t onNotify(uint16_t type, uintptr_t a, uintptr_t b) override;
  bool slot5(uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return false; }
  bool onOther(uint16_t type, uintptr_t a, uintptr_t b) override;
  bool onNetRequest(uint16_t cmdId, uintptr_t a, uintptr_t b) override;
  bool slot8(uintptr_t) override { return false; }
  void slot9(uintptr_t, uintptr_t, uintptr_t) override {}
  void slot10(uintptr_t, uintptr_t, uintptr_t) override {}
  bool slot11(uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return true; }
  void onpostServer(uint16_t event, void* record) override;
  bool slot13(uintptr_t, uintptr_t, uintptr_t) override { return false; }
  imsdk::_sdkcmd_base* cloneCmd(uint16_t cmdId, const imsdk::_sdkcmd_base* source,
                                uintptr_t unused) override;
  imsdk::_sdkcmd_base* createCmd(uint16_t cmdId, bool isRequest) override;
  // The same for the plug-in's own callers, which name the record they want.
  imsdk::_sdkcmd_base* createCmd(uint16_t cmdId, cmdRecord record) override;
  void releaseCmd(uint16_t cmdId, imsdk::_sdkcmd_base* record, uintptr_t unused) override;
  bool slot17() override { return false; }
  bool slot18() override { return true; }
  bool slot19(uintptr_t) override { return true; }
  bool slot20() override { return true; }
  int32_t* getStamp(int32_t* slot) override;
  int32_t slot22(uintptr_t, uintptr_t, uintptr_t) override { return 0; }
  int32_t slot23(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return 0; }
  void slot24() override {}
  void slot25(uintptr_t, uintptr_t, uintptr_t) override {}

  // Members.
  imsdk::IHostService* host() const override { return host_.load(); }
  talkStore& store() override { return store_; }
  msgProxy& proxy() override { return proxy_; }
  boardBuffer& board() override { return board_; }
  slbServer& slb() override { return slb_; }
  pluginNet* net() { return net_; }
  pluginNotify* notify() override { return notify_; }
  pluginOther* other() { return other_; }
  pluginRequest* request() { return request_; }
  pluginSettings& settings() override { return settings_; }
  uint8_t ownDeviceType() const override { return ownDeviceType_; }

  // Utilities.
  // The own user id (host service 6); 0 without a host.
  int64_t selfId() const override;
  // With peek the counter unchanged, otherwise the next value.
  int64_t nextSeq(seqStep step) override;
  std::string deviceTypeName(int32_t deviceType) const override;
  bool callsEnabled() const override;
  bool isSupportedRtcType(const std::string& rtcType, int64_t x) const override;
  bool isTimeout(int64_t msgTimeMs, int32_t lowerSec, int32_t upperSec) override;
  bool isTimeout(const std::string& msgTimeText, int32_t lowerSec, int32_t upperSec) override;

  // Timer requests (posted to the host's dispatch, command 24101).
  void addTimeout(int32_t type, const std::string& key, std::vector<int64_t> members,
                  int32_t duration, int32_t category, int32_t memberMode,
                  const std::string& extra) override;
  void addRecallTimeout(const std::string& key, const std::string& roomId,
                        const std::vector<int64_t>& members, int32_t duration, int32_t category,
                        const std::string& extra, int64_t fireTime, int32_t recallCnt) override;
  void removeTimeout(int32_t type, const std::string& key, int64_t member,
                     int32_t category) override;
  void startKeepAlive() override;
  void postTimer(imsdk::timerCmd& cmd) override;

 private:
  std::atomic<imsdk::IHostService*> host_{nullptr};
  pluginNet* net_ = nullptr;
  pluginNotify* notify_ = nullptr;
  pluginOther* other_ = nullptr;
  pluginRequest* request_ = nullptr;
  cmdFactory factory_;
  talkStore store_;
  msgProxy proxy_;
  boardBuffer board_;
  std::atomic<int64_t> seq_{0};
  slbServer slb_;
  pluginSettings settings_;
  uint8_t ownDeviceType_ = 1;
};

}  // namespace imsdkmrtc
