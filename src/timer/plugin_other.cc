#include "timer/plugin_other.h"

namespace imsdkmrtc {

bool pluginOther::onRequest(uint16_t, uintptr_t, uintptr_t) { return false; }
bool pluginOther::stop() { return true; }

}  // namespace imsdkmrtc
