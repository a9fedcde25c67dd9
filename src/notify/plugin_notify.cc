#include "notify/plugin_notify.h"

namespace imsdkmrtc {

bool pluginNotify::onNotify(uint16_t, imsdk::hostMessage&) { return false; }
void pluginNotify::onOffLineNotify(uint16_t, void*) {}
void pluginNotify::clearOfflineCache() {}
void pluginNotify::onTimeoutDispatch(const timeoutRecord&) {}
int32_t pluginNotify::onPushNotify(int64_t, const std::string&) { return 0; }
void pluginNotify::fireCacheOffline() {}
bool pluginNotify::onWeakHintNotify(const std::string&, const std::string&) { return false; }
bool pluginNotify::pushCmdEvent(uint8_t, const mrtcCmd&) { return true; }
bool pluginNotify::pushTextEvent(uint8_t, const std::string&) { return true; }

}  // namespace imsdkmrtc
