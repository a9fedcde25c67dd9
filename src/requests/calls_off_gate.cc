// The request gate while calls are switched off on this PC.
#include "notify/handler_env.h"
#include "requests/plugin_net.h"

namespace imsdkmrtc {

bool pluginNet::passesCallsOffGate(uint16_t code, uintptr_t request) {
  // Switching calls off stops new calls; it must not strand the one running.
  // Its hang-up, keep-alives and media reports still pass, or the user could
  // not leave and the talk would linger until its keep-alive ran out.
  talkStore& store = plugin_->store();
  if (code == imsdk::kCmdKeepAlive) {
    talkInfo current;
    return store.queryTalk(current) == kTalkDone;
  }
  if (code != imsdk::kCmdHungup && code != imsdk::kCmdConnectState) return false;
  const imsdk::req_mrtc_request* req = callRequestOf(request);
  return req != nullptr && store.isCurrentRoom(req->roomId);
}

}  // namespace imsdkmrtc
