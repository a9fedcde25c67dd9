// How one IM message of the host travels over XMPP.
//
// A <message type="chat"> to the recipient's bare JID carries a short <body>
// (for ordinary XMPP clients and so that the archive keeps it) and one
// <m xmlns="urn:mrtcplugin:im:1"> element with the host's fields as
// attributes and the body and properties texts as children:
//
//   <m xmlns="urn:mrtcplugin:im:1" id="81" sender="20001" device="1"
//      target="30001" chat="30001" group="1" type="14" flag="0"
//      time="1767225600000" limit="20002,20003">
//     <body>{"type":"multi_call",...}</body><ext>{...}</ext></m>
//
// target is the chat as the sender addressed it (10001 for a message relayed
// by the service account), chat the group or user it is about, group="1"
// when chat is a group. time is the sender's server-aligned send time.
#pragma once

#include <strophe.h>

#include <cstdint>
#include <string>
#include <vector>

namespace node {

constexpr const char* kWireNs = "urn:mrtcplugin:im:1";
constexpr const char* kWireElement = "m";

struct WireMessage {
  int64_t msgId = 0;
  int64_t senderId = 0;
  int32_t senderDevice = 0;
  int64_t targetId = 0;
  int64_t chatId = 0;
  bool toGroup = false;
  uint16_t msgType = 0;
  uint8_t msgFlag = 0;
  int64_t msgTime = 0;
  std::string body;
  std::string properties;
  std::vector<int64_t> limitRange;
};

// A new <message> to the given JID; the caller releases it.
xmpp_stanza_t* toStanza(xmpp_ctx_t* ctx, const WireMessage& m, const std::string& to);
// Reads the element out of a <message>; false when it has none or it is
// malformed (a message of some other client, or a hostile one).
bool fromStanza(xmpp_stanza_t* message, WireMessage& out);

}  // namespace node
