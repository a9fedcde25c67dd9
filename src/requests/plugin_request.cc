#include "requests/plugin_request.h"

#include "base/log.h"
#include "base/plugin_env.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"

namespace imsdkmrtc {

bool pluginRequest::transCmdToNet(uint16_t code, uintptr_t payload, void* present) {
  MRTC_LOG(plugin_, 0, texts::request::kFnTransCmdToNet, texts::request::kTransCmdToNet, code);
  imsdk::IHostService* host = plugin_->host();
  if (host == nullptr) return true;
  // The host keeps no pointer into the application's block: it gets a copy.
  imsdk::cmdEnvelope local;
  void* data = nullptr;
  int32_t len = 0;
  if (present != nullptr && payload != 0) {
    local = *reinterpret_cast<const imsdk::cmdEnvelope*>(payload);
    data = &local;
    len = kEnvelopeLen;
  }
  // Keep-alive and connection state travel through the host's own dispatch
  // (back on slot 6); every other request comes back on slot 7.
  if (code == imsdk::kCmdKeepAlive || code == imsdk::kCmdConnectState) {
    host->postToDispatch(code, data, len, 0);
  } else {
    host->passRequest(code, data, len, 0);
  }
  return true;
}

}  // namespace imsdkmrtc
