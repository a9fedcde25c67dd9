// One libFuzzer target for every reader of received or handed-in texts in
// msgProxy. The first byte picks the reader: one of the bad-input test's
// table, or one of the builders and settings texts below; the rest is its
// text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "signalling/readers.h"

namespace {

using imsdkmrtc::msgProxy;

// The plug-in whose proxy the builders use; no host is attached, so builders
// that would post give up and logs go nowhere.
imsdkmrtc::mrtc_plugin& plugin() {
  static imsdkmrtc::mrtc_plugin instance;
  return instance;
}

void readOne(uint8_t pick, const std::string& text) {
  const auto& table = imsdkmrtc::proxyreaders::readers();
  const size_t which = pick % (table.size() + 5);
  if (which < table.size()) {
    table[which].read(text);
    return;
  }
  msgProxy& proxy = plugin().proxy();
  std::string out;
  switch (which - table.size()) {
    case 0: {
      imsdkmrtc::shareInfo info;
      info.type = "history";
      proxy.readShareInfo(text, info);
      break;
    }
    case 1: {
      // A revised card is read again, as the conference roads do.
      out = text;
      proxy.reviseVnioMicroTemplet(out);
      imsdkmrtc::cardInfo card;
      msgProxy::readCardInfo(out, card);
      break;
    }
    case 2:
      proxy.buildMicroconferInfo(out, text, "1");
      break;
    case 3:
      proxy.buildUnbindconferInfo(out, text);
      break;
    default: {
      // Settings texts, read with the key scanners, then cards built from
      // the changed template (a fresh proxy each time: rows would pile up).
      msgProxy fresh;
      fresh.setMcallingTemplet(text);
      fresh.setLivingTemplet(text);
      fresh.sendLivingCard(text);
      imsdkmrtc::talkInfo talk;
      talk.addr = text;
      fresh.fillTempMessage(out, talk, {1}, {text});
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
