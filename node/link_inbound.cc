// Messages in: live ones, carbon copies of what this user's other devices
// sent, and archive results of a fetch. Each message of another client is
// checked before anything reads it: the sender's JID must be the user the
// element names, a carbon must come from this user's own account, and a
// message already handed over (same sender and id) is dropped.
#include "address.h"
#include "link.h"

namespace node {

namespace {
constexpr const char* kCarbonsNs = "urn:xmpp:carbons:2";
constexpr const char* kForwardNs = "urn:xmpp:forward:0";
constexpr const char* kMamNs = "urn:xmpp:mam:2";
constexpr const char* kDelayNs = "urn:xmpp:delay";
constexpr size_t kSeenKept = 20000;

xmpp_stanza_t* forwardedMessage(xmpp_stanza_t* wrapper) {
  xmpp_stanza_t* fwd = xmpp_stanza_get_child_by_name_and_ns(wrapper, "forwarded", kForwardNs);
  return fwd == nullptr ? nullptr : xmpp_stanza_get_child_by_name(fwd, "message");
}

std::string attr(xmpp_stanza_t* s, const char* name) {
  const char* v = xmpp_stanza_get_attribute(s, name);
  return v != nullptr ? v : "";
}
}  // namespace

int XmppLink::onMessage(xmpp_conn_t*, xmpp_stanza_t* stanza, void* self) {
  auto* link = static_cast<XmppLink*>(self);
  if (xmpp_stanza_t* result = xmpp_stanza_get_child_by_name_and_ns(stanza, "result", kMamNs)) {
    if (attr(result, "queryid") == link->queryId_) link->archived(result);
    return 1;
  }
  for (const char* wrapper : {"sent", "received"}) {
    if (xmpp_stanza_t* carbon = xmpp_stanza_get_child_by_name_and_ns(stanza, wrapper, kCarbonsNs)) {
      if (bareOf(attr(stanza, "from")) != link->bare_) return 1;
      if (xmpp_stanza_t* inner = forwardedMessage(carbon)) link->incoming(inner, true);
      return 1;
    }
  }
  link->incoming(stanza, false);
  return 1;
}

void XmppLink::archived(xmpp_stanza_t* result) {
  xmpp_stanza_t* message = forwardedMessage(result);
  WireMessage m;
  if (message == nullptr || !readable(message, m)) return;
  if (firstTime(m)) fetched_.push_back(std::move(m));
}

void XmppLink::incoming(xmpp_stanza_t* message, bool carbon) {
  WireMessage m;
  if (!readable(message, m)) return;
  if (!carbon) noteArchiveId(message);
  if (!firstTime(m)) return;
  // What the server kept offline comes with a delay stamp right after the
  // presence: it belongs to the batch of what this device missed.
  if (catchingUp_ && xmpp_stanza_get_child_by_name_and_ns(message, "delay", kDelayNs) != nullptr) {
    fetched_.push_back(std::move(m));
    return;
  }
  int64_t holdUntil;
  {
    std::lock_guard<std::mutex> lk(mu_);
    holdUntil = holdUntil_;
  }
  const bool wait = catchingUp_ || nowMs() < holdUntil || !held_.empty();
  listener_->traffic("read " + std::to_string(m.msgId) + " from " + std::to_string(m.senderId) +
                     (wait ? ", held" : ""));
  if (wait) {
    held_.push_back({holdUntil, std::move(m)});
    return;
  }
  listener_->received(m);
}

bool XmppLink::readable(xmpp_stanza_t* message, WireMessage& m) {
  // Messages of ordinary XMPP clients carry no element: not for the plug-in.
  if (xmpp_stanza_get_child_by_name_and_ns(message, kWireElement, kWireNs) == nullptr) return false;
  const std::string from = attr(message, "from");
  if (!fromStanza(message, m)) {
    listener_->dropped("a malformed message from " + from);
    return false;
  }
  if (from == fullJid_) return false;  // this device's own, back from the server
  if (userOfJid(from, dir_.domain) != m.senderId) {
    listener_->dropped("a message from " + from + " that names sender " +
                       std::to_string(m.senderId));
    return false;
  }
  return true;
}

bool XmppLink::firstTime(const WireMessage& m) {
  const auto key = std::make_pair(m.senderId, m.msgId);
  if (!seen_.insert(key).second) return false;
  seenOrder_.push_back(key);
  if (seenOrder_.size() > kSeenKept) {
    seen_.erase(seenOrder_.front());
    seenOrder_.pop_front();
  }
  return true;
}

void XmppLink::noteArchiveId(xmpp_stanza_t* message) {
  for (xmpp_stanza_t* c = xmpp_stanza_get_children(message); c != nullptr;
       c = xmpp_stanza_get_next(c)) {
    const char* name = xmpp_stanza_get_name(c);
    const char* ns = xmpp_stanza_get_ns(c);
    if (name == nullptr || ns == nullptr || std::string(name) != "stanza-id" ||
        std::string(ns) != "urn:xmpp:sid:0" || attr(c, "by") != bare_) {
      continue;
    }
    lastArchiveId_ = attr(c, "id");
    sync_.save(lastArchiveId_);
  }
}

}  // namespace node
