// The host's life-cycle and housekeeping slots (6 and 12) and the message
// age check.
#include <cstdint>

#include "base/log.h"
#include "base/log_formats.h"
#include "base/version.h"
#include "host_records.h"
#include "notify/plugin_notify.h"
#include "plugin/mrtc_plugin.h"
#include "requests/plugin_net.h"
#include "timer/plugin_other.h"
#include "tools.h"

namespace imsdkmrtc {

namespace {
// Pre-login keeps the application's "active" mark only this long.
constexpr int64_t kActiveKeepMs = 10000;
constexpr uint16_t kOtherRegisterAddress = 2;
}  // namespace

void mrtc_plugin::onpostServer(uint16_t event, void* record) {
  const char* func = texts::kFnOnPostServer;
  if (event == imsdk::kEventPreLogin) {
    int64_t now = tools::get_mill_sec();
    if (now - settings_.activeTime.load() > kActiveKeepMs) settings_.activeFlag.store(0);
    notify_->clearOfflineCache();
    const char* logo = "";
    if (record != nullptr) logo = static_cast<imsdk::postServerText*>(record)->text.c_str();
    MRTC_LOG(this, 0, func, texts::kLogPreLogin, logo);
  } else if (event == imsdk::kEventLogin) {
    MRTC_LOG(this, 0, func, texts::kLogLogin, kProtocolVersion);
    imsdk::IHostService* h = host();
    if (h != nullptr) settings_.redirectOn.store(h->loginQuery() ? 0 : 1);
    return;
  }
  notify_->onOffLineNotify(event, record);
}

bool mrtc_plugin::onOther(uint16_t type, uintptr_t a, uintptr_t b) {
  const char* func = texts::kFnOnOther;
  imsdk::IHostService* h = host();
  if (h == nullptr) return false;
  if (type == imsdk::kCmdKeepAlive || type == imsdk::kCmdConnectState) {
    net_->onNetRequest(type, a, b);
    return true;
  }
  if (type == kOtherRegisterAddress) {
    std::string ip;
    uint16_t port = 0;
    if (slb_.getHostAndPort(ip, port)) {
      MRTC_LOG(this, 0, func, texts::kLogRegAddr, ip.c_str(), port);
      h->registerAddress("0", 0, ip.c_str(), port, 6);
    } else {
      MRTC_LOG(this, 0, func, texts::kLogRegAddrError);
    }
  }
  return other_->onRequest(type, a, b);
}

bool mrtc_plugin::isTimeout(int64_t msgTimeMs, int32_t lowerSec, int32_t upperSec) {
  imsdk::IHostService* h = host();
  int64_t now = h != nullptr ? h->getTimeMs() : 0;
  // The stamp comes from another client and may be any 64-bit value. An age
  // that does not fit in 64 bits is out of bounds: it reads as the largest.
  int64_t ageMs = 0;
  const bool beyondRange = __builtin_sub_overflow(now, msgTimeMs, &ageMs);
  int32_t sub = beyondRange ? INT32_MAX : static_cast<int32_t>(ageMs / 1000);
  bool result = sub < lowerSec || sub > upperSec;
  MRTC_LOG(this, 0, texts::kFnIsTimeout, texts::kLogIsTimeout, static_cast<long long>(now),
           static_cast<long long>(msgTimeMs), sub, result ? 1 : 0);
  return result;
}

bool mrtc_plugin::isTimeout(const std::string& msgTimeText, int32_t lowerSec, int32_t upperSec) {
  if (msgTimeText.empty() || !tools::isNumber(msgTimeText)) {
    MRTC_LOG(this, 0, texts::kFnIsTimeout, texts::kLogIsTimeoutError, msgTimeText.c_str());
    return true;
  }
  return isTimeout(tools::strToInt64(msgTimeText), lowerSec, upperSec);
}

}  // namespace imsdkmrtc
