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
  reqAnswer answer;
  switch (code) {
    case imsdk::kCmdCall:
      answer = on_call(code, request);
      break;
    case imsdk::kCmdInvite:
      answer = on_invite(code, request);
      break;
    case imsdk::kCmdIntoRoom:
      answer = on_intoroom(code, request);
      break;
    case imsdk::kCmdJoin:
      answer = on_join(code, request, texts::request::kSourceBoard);
      break;
    case imsdk::kCmdHungup:
      answer = on_hungup(code, request);
      break;
    case imsdk::kCmdExtra:
      answer = on_extra(code, request);
      break;
    case imsdk::kCmdKeepAlive:
      on_keepalive(code, request);
      return true;
    case imsdk::kCmdConnectState:
      answer = on_connectstate(code, request);
      break;
    case imsdk::kCmdTempletJoin:
      answer = on_templetjoin(code, request);
      break;
    default:
      return true;
  }
  if (!answer.none) sendResultRespond(code, answer.code, answer.record);
  if (answer.then) answer.then();
  return true;
}

}  // namespace imsdkmrtc
