#include "requests/plugin_request.h"

namespace imsdkmrtc {

bool pluginRequest::transCmdToNet(uint16_t, uintptr_t, void*) { return true; }

}  // namespace imsdkmrtc
