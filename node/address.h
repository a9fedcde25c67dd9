// Host addresses as XMPP addresses: user id 20001 is the bare JID
// "20001@<domain>", a device type is the resource ("pc", "android", ...,
// the names the outputs use), and a message to a chat is a set of bare JIDs.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "directory.h"
#include "wire.h"

namespace node {

std::string bareJid(int64_t userId, const std::string& domain);
std::string resourceOf(int32_t deviceType);
// The user id of a JID of this domain ("20001@d/pc" -> 20001); 0 otherwise.
int64_t userOfJid(const std::string& jid, const std::string& domain);
// The bare part of a JID.
std::string bareOf(const std::string& jid);

// Fills in chatId and toGroup from the addressed target (the service account
// relays to the "targetID" its properties name).
void resolveChat(WireMessage& m, const Directory& dir);
// The users a message is sent to: the group's members or the peer, with the
// sender's own user (its other devices), kept to the limit range when there
// is one.
std::set<int64_t> recipients(const WireMessage& m, const Directory& dir);

}  // namespace node
