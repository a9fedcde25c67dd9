#include "names.h"

namespace codec {

std::string requestName(int64_t cmdId) {
  switch (cmdId) {
    case 24001:
      return "call";
    case 24002:
      return "invite";
    case 24003:
      return "intoroom";
    case 24004:
      return "join";
    case 24005:
      return "hungup";
    case 24006:
      return "extra";
    case 24008:
      return "keepalive";
    case 24009:
      return "connectstate";
    case 24010:
      return "templetjoin";
    default:
      return "unknown";
  }
}

std::string eventName(int64_t type) {
  switch (type) {
    case 1:
      return "(incoming call)";
    case 2:
      return "(invited)";
    case 3:
      return "(entered room)";
    case 4:
      return "(hung up)";
    case 5:
      return "(talk finished)";
    case 6:
      return "(no answer)";
    case 7:
      return "(reply)";
    case 8:
      return "(board summary)";
    case 9:
      return "(board empty)";
    case 10:
      return "(talk state)";
    case 13:
      return "(conference finished)";
    case 21:
      return "(hint)";
    case 22:
      return "(card)";
    default:
      return "(unknown)";
  }
}

std::string timeoutName(int64_t type) {
  switch (type) {
    case 1:
      return "wait";
    case 2:
      return "ring";
    case 3:
      return "keep-alive";
    case 4:
      return "call card";
    case 5:
      return "invite card";
    case 7:
      return "recall";
    default:
      return "other";
  }
}

std::string deviceName(int64_t type) {
  switch (type) {
    case 1:
      return "pc";
    case 2:
      return "android";
    case 3:
      return "ios";
    case 4:
      return "merivox";
    case 5:
      return "h5";
    case 6:
      return "mediaserver";
    default:
      return "device " + std::to_string(type);
  }
}

}  // namespace codec
