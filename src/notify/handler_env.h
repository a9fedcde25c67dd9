// handlerEnv: what the plug-in lends its request and notification handlers.
// On top of pluginEnv it holds the members those handlers share (the store,
// the message proxy, the board buffer, the media-server choice), the
// notification handler that the request handlers call into, the plug-in lock,
// the timer requests and a few checks. The plug-in implements it and each
// handler keeps its pointer back to the plug-in typed as this view, so no
// handler reaches the IPlugin slots or the plug-in's assembly.
//
// It lives beside the notification handler, the lower of the two handler
// families: the request handlers stand on that one already.
//
// Threads: every call may come from any thread. `lock()` is the plug-in lock,
// taken before the store lock and never after it; it guards
// `mcalling_version`. The lock lives here, not in the plug-in, so that the
// plug-in, its handlers and the lock annotations all name one lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CLocker.h"
#include "base/cmd_factory.h"
#include "base/plugin_env.h"
#include "sdk_cmd.h"
#include "signalling/board_buffer.h"
#include "signalling/msg_proxy.h"
#include "slb/slb_server.h"
#include "store/talk_store.h"
#include "thread_annotations.h"

namespace imsdkmrtc {

class pluginNotify;

class handlerEnv : public pluginEnv {
 public:
  // Members.
  virtual talkStore& store() = 0;
  virtual msgProxy& proxy() = 0;
  virtual boardBuffer& board() = 0;
  virtual slbServer& slb() = 0;
  virtual pluginNotify* notify() = 0;
  virtual uint8_t ownDeviceType() const = 0;
  imsdk::CLocker* lock() MRTC_RETURN_CAPABILITY(&lock_) { return &lock_; }
  // The version the application last set (extra request "mcalling_version").
  std::string mcalling_version MRTC_GUARDED_BY(lock_);

  // Host command records, made and released by the plug-in's factory.
  virtual imsdk::_sdkcmd_base* createCmd(uint16_t cmdId, cmdRecord record) = 0;
  virtual void releaseCmd(uint16_t cmdId, imsdk::_sdkcmd_base* record, uintptr_t unused) = 0;

  // Checks.
  // Name of a device type number, "unknow" when not in the table.
  virtual std::string deviceTypeName(int32_t deviceType) const = 0;
  virtual bool callsEnabled() const = 0;
  // x: the group the call is in, kNoGroup for a request that names none.
  static constexpr int64_t kNoGroup = 0;
  virtual bool isSupportedRtcType(const std::string& rtcType, int64_t x) const = 0;
  // Message age check against host time (service 37).
  virtual bool isTimeout(int64_t msgTimeMs, int32_t lowerSec, int32_t upperSec) = 0;
  virtual bool isTimeout(const std::string& msgTimeText, int32_t lowerSec, int32_t upperSec) = 0;

  // Timer requests (posted to the host's dispatch, command 24101). The ids
  // are taken by value: a caller done with its list (a callee's wait lists
  // every other member) moves it in rather than having it copied.
  virtual void addTimeout(int32_t type, const std::string& key, std::vector<int64_t> members,
                          int32_t duration, int32_t category, int32_t memberMode,
                          const std::string& extra) = 0;
  virtual void removeTimeout(int32_t type, const std::string& key, int64_t member,
                             int32_t category) = 0;
  virtual void startKeepAlive() = 0;
  // Posts a prepared timer command as it is (for requests the builders above
  // do not cover, such as removals without a member).
  virtual void postTimer(imsdk::timerCmd& cmd) = 0;

 protected:
  // Nobody owns the plug-in through this view.
  ~handlerEnv() = default;

 private:
  // Taken before the store's and the board buffer's own locks; neither of
  // those ever takes it.
  imsdk::CLocker lock_;
};

}  // namespace imsdkmrtc
