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
//
// fillHostMessage writes it into a record made before, every field anew (the
// plug-in may have changed what it was given); the strings keep their
// buffers, so a host that hands one group message to many plug-ins in turn
// does not allocate its long body again for each.
template <typename Message>
void fillHostMessage(const Message& m, imsdk::hostMessage& hm) {
  hm.msgId = m.msgId;
  hm.sendUserId = m.senderId;
  hm.targetId = m.targetId;
  hm.msgTime = m.msgTime;
  hm.body = m.body;
  hm.bodyType = static_cast<uint8_t>(m.msgType);
  hm.extension = m.properties;
  hm.status = 0;
  hm.fixRef = 0;
  hm.fixState = 0;
}

template <typename Message>
imsdk::hostMessage toHostMessage(const Message& m) {
  imsdk::hostMessage hm;
  fillHostMessage(m, hm);
  return hm;
}

}  // namespace codec
