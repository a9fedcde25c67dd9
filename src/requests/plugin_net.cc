#include "requests/plugin_net.h"

namespace imsdkmrtc {

bool pluginNet::onNetRequest(uint16_t, uintptr_t, uintptr_t) { return true; }

}  // namespace imsdkmrtc
