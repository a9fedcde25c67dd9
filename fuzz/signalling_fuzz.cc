// One libFuzzer target for every reader of received or handed-in texts in
// msgProxy. The first byte picks the reader, the rest is its text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "plugin/mrtc_plugin.h"
#include "signalling/msg_proxy.h"

namespace {

using imsdkmrtc::msgProxy;

// No host is attached: builders that would post give up, logs go nowhere.
imsdkmrtc::mrtc_plugin& plugin() {
  static imsdkmrtc::mrtc_plugin instance;
  return instance;
}

void readOne(uint8_t pick, const std::string& text) {
  msgProxy& proxy = plugin().proxy();
  switch (pick % 14) {
    case 0: {
      imsdkmrtc::mrtcCmd cmd;
      proxy.transJson2Cmd(text, cmd);
      break;
    }
    case 1: {
      imsdkmrtc::callExtend extend;
      msgProxy::parseCallExtend(text, extend);
      break;
    }
    case 2:
    case 3: {
      imsdkmrtc::shareInfo info;
      info.type = pick % 14 == 2 ? "create" : "history";
      proxy.readShareInfo(text, info);
      break;
    }
    case 4: {
      imsdkmrtc::confRequest request;
      msgProxy::readConfRequest(text, request);
      break;
    }
    case 5: {
      imsdkmrtc::cardInfo card;
      msgProxy::readCardInfo(text, card);
      break;
    }
    case 6: {
      std::string card = text;
      proxy.reviseVnioMicroTemplet(card);
      imsdkmrtc::cardInfo info;
      msgProxy::readCardInfo(card, info);
      break;
    }
    case 7: {
      imsdkmrtc::cacheAnswer answer;
      msgProxy::readCacheAnswer(text, answer);
      break;
    }
    case 8:
    case 9: {
      imsdk::hostMessage msg;
      msg.targetId = pick % 14 == 8 ? 10001 : 500;
      msg.sendUserId = pick % 14 == 8 ? 7 : 10001;
      msg.extension = text;
      msgProxy::fixSystemSender(msg);
      break;
    }
    case 10:
      msgProxy::readReqRoomId(text);
      break;
    case 11: {
      std::string out;
      proxy.buildMicroconferInfo(out, text, "1");
      break;
    }
    case 12: {
      std::string out;
      proxy.buildUnbindconferInfo(out, text);
      break;
    }
    default: {
      // Settings texts, read with the key scanners, then cards built from
      // the changed template (a fresh one each time: rows would pile up).
      msgProxy fresh;
      fresh.setMcallingTemplet(text);
      fresh.setLivingTemplet(text);
      fresh.sendLivingCard(text);
      imsdkmrtc::talkInfo talk;
      talk.addr = text;
      std::string card;
      fresh.fillTempMessage(card, talk, {1}, {text});
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  readOne(data[0], std::string(reinterpret_cast<const char*>(data + 1), size - 1));
  return 0;
}
