// The request gate and the dispatch of application requests.
#include "plugin/log.h"
#include "plugin/mrtc_plugin.h"
#include "requests/plugin_net.h"
#include "requests/request_texts.h"

namespace imsdkmrtc {

bool pluginNet::onNetRequest(uint16_t code, uintptr_t request, uintptr_t) {
  // While calls are off only the settings channel gets through, silently.
  if (code != imsdk::kCmdExtra && !plugin_->callsEnabled()) return true;
  MRTC_LOG(plugin_, 0, texts::request::kFnOnNetRequest, texts::request::kRequestSeen, code);
  imsdk::autoLock guard(plugin_->lock());
  switch (code) {
    case imsdk::kCmdCall:
      on_call(code, request);
      break;
    case imsdk::kCmdInvite:
      on_invite(code, request);
      break;
    case imsdk::kCmdIntoRoom:
      on_intoroom(code, request);
      break;
    case imsdk::kCmdJoin:
      on_join(code, request, texts::request::kSourceBoard);
      break;
    case imsdk::kCmdHungup:
      on_hungup(code, request);
      break;
    case imsdk::kCmdExtra:
      on_extra(code, request);
      break;
    case imsdk::kCmdKeepAlive:
      on_keepalive(code, request);
      break;
    case imsdk::kCmdConnectState:
      on_connectstate(code, request);
      break;
    case imsdk::kCmdTempletJoin:
      on_templetjoin(code, request);
      break;
    default:
      break;
  }
  return true;
}

}  // namespace imsdkmrtc
