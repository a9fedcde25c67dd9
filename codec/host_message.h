// A message as a receiving host hands it to its plug-in (slot 4, or one
// message of a pulled batch). Every host of this project keeps its own
// record of a message on the way (the simulated network's, the node's wire
// form); each has the fields named below, and they all hand it over alike.
#pragma once

#include <cstdint>

#include "host_records.h"

namespace codec {

// Message: any record with msgId, senderId, targetId, msgTime, msgType, body
// and properties. What the host keeps besides (chat, device, limit range)
// the plug-in does not see.
template <typename Message>
imsdk::hostMessage toHostMessage(const Message& m) {
  imsdk::hostMessage hm;
  hm.msgId = m.msgId;
  hm.sendUserId = m.senderId;
  hm.targetId = m.targetId;
  hm.msgTime = m.msgTime;
  hm.body = m.body;
  hm.bodyType = static_cast<uint8_t>(m.msgType);
  hm.extension = m.properties;
  return hm;
}

}  // namespace codec
