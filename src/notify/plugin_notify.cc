#include "notify/plugin_notify.h"

namespace imsdkmrtc {

bool pluginNotify::onNotify(uint16_t, imsdk::hostMessage&) { return false; }
void pluginNotify::onOffLineNotify(uint16_t, void*) {}
void pluginNotify::clearOfflineCache() {}
void pluginNotify::onTimeoutDispatch(const timeoutRecord&) {}

}  // namespace imsdkmrtc
