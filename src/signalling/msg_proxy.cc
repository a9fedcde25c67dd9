#include "signalling/msg_proxy.h"

namespace imsdkmrtc {

void msgProxy::init(mrtc_plugin* plugin, int8_t ownDeviceType) {
  plugin_ = plugin;
  ownDeviceType_ = ownDeviceType;
}

bool msgProxy::sendMsg_querytalk(int64_t, const std::string&) { return false; }

}  // namespace imsdkmrtc
