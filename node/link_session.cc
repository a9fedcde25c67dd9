// What follows a login: carbons on, presence, the server's time, the
// archive fetch.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "address.h"
#include "link.h"

namespace node {

namespace {

constexpr const char* kTimeId = "time";
constexpr const char* kFetchId = "fetch";
constexpr int kFetchPage = 250;

void sendXml(xmpp_conn_t* conn, const std::string& xml) {
  xmpp_stanza_t* s = xmpp_stanza_new_from_string(xmpp_conn_get_context(conn), xml.c_str());
  if (s == nullptr) return;
  xmpp_send(conn, s);
  xmpp_stanza_release(s);
}

std::string isoTime(int64_t ms) {
  std::time_t secs = static_cast<std::time_t>(ms / 1000);
  std::tm tm{};
  gmtime_r(&secs, &tm);
  char buf[32];
  std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

// "2026-12-07T07:12:00Z" (a fraction is ignored) as ms; -1 when unreadable.
int64_t parseIsoTime(const char* text) {
  std::tm tm{};
  if (text == nullptr || strptime(text, "%Y-%m-%dT%H:%M:%S", &tm) == nullptr) return -1;
  return static_cast<int64_t>(timegm(&tm)) * 1000;
}

std::string text(xmpp_stanza_t* s) {
  if (s == nullptr) return "";
  std::unique_ptr<char, decltype(&std::free)> t(xmpp_stanza_get_text(s), &std::free);
  return t ? std::string(t.get()) : std::string();
}

int64_t systemMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

void XmppLink::startSession() {
  backoffMs_ = 0;
  xmpp_handler_add(conn_, onMessage, nullptr, "message", nullptr, this);
  xmpp_handler_add(conn_, onPing, "urn:xmpp:ping", "iq", "get", this);
  sendXml(conn_, "<iq type='set' id='carbons'><enable xmlns='urn:xmpp:carbons:2'/></iq>");
  // Presence first, so that nothing sent from now on goes to offline
  // storage; what arrives live while the archive is read waits for it.
  catchingUp_ = true;
  fetched_.clear();
  xmpp_stanza_t* presence = xmpp_presence_new(ctx_);
  xmpp_send(conn_, presence);
  xmpp_stanza_release(presence);
  listener_->linkUp();
  askTime();
}

void XmppLink::askTime() {
  timeAskedAt_ = systemMs();
  xmpp_id_handler_add(conn_, onTime, kTimeId, this);
  sendXml(conn_, "<iq type='get' id='" + std::string(kTimeId) + "' to='" + dir_.domain +
                     "'><time xmlns='urn:xmpp:time'/></iq>");
}

// The server tells the time to the second: the offset is its middle of that
// second less our middle of the round trip, and an offset smaller than the
// uncertainty counts as none (on loopback it always is).
int XmppLink::onTime(xmpp_conn_t*, xmpp_stanza_t* stanza, void* self) {
  auto* link = static_cast<XmppLink*>(self);
  xmpp_stanza_t* time = xmpp_stanza_get_child_by_name_and_ns(stanza, "time", "urn:xmpp:time");
  const int64_t server =
      time == nullptr ? -1 : parseIsoTime(text(xmpp_stanza_get_child_by_name(time, "utc")).c_str());
  if (server >= 0) {
    const int64_t now = systemMs();
    const int64_t offset = server + 500 - (link->timeAskedAt_ + now) / 2;
    const int64_t slack = 500 + (now - link->timeAskedAt_) / 2;
    link->listener_->serverOffset(offset > slack || offset < -slack ? offset : 0);
  }
  link->fetchArchive(link->lastArchiveId_);
  return 0;
}

void XmppLink::fetchArchive(const std::string& after) {
  static int queries = 0;
  queryId_ = "q" + std::to_string(++queries);
  std::string form =
      "<x xmlns='jabber:x:data' type='submit'><field var='FORM_TYPE' type='hidden'>"
      "<value>urn:xmpp:mam:2</value></field>";
  if (after.empty()) {
    form += "<field var='start'><value>" + isoTime(systemMs() - config_.firstFetchMs) +
            "</value></field>";
  }
  form += "</x>";
  std::string rsm =
      "<set xmlns='http://jabber.org/protocol/rsm'><max>" + std::to_string(kFetchPage) + "</max>";
  if (!after.empty()) rsm += "<after>" + after + "</after>";
  rsm += "</set>";
  xmpp_id_handler_add(conn_, onFetched, kFetchId, this);
  sendXml(conn_, "<iq type='set' id='" + std::string(kFetchId) +
                     "'><query xmlns='urn:xmpp:mam:2' "
                     "queryid='" +
                     queryId_ + "'>" + form + rsm + "</query></iq>");
}

int XmppLink::onFetched(xmpp_conn_t*, xmpp_stanza_t* stanza, void* self) {
  auto* link = static_cast<XmppLink*>(self);
  const char* type = xmpp_stanza_get_type(stanza);
  if (type != nullptr && std::string(type) == "error") {
    // The sync point is no longer in the archive (expired): fetch the recent
    // past instead.
    if (!link->lastArchiveId_.empty()) {
      link->lastArchiveId_.clear();
      link->fetchArchive("");
    } else {
      link->sessionReady();
    }
    return 0;
  }
  xmpp_stanza_t* fin = xmpp_stanza_get_child_by_name_and_ns(stanza, "fin", "urn:xmpp:mam:2");
  const char* complete = fin == nullptr ? nullptr : xmpp_stanza_get_attribute(fin, "complete");
  xmpp_stanza_t* set = fin == nullptr ? nullptr
                                      : xmpp_stanza_get_child_by_name_and_ns(
                                            fin, "set", "http://jabber.org/protocol/rsm");
  const std::string last =
      text(set == nullptr ? nullptr : xmpp_stanza_get_child_by_name(set, "last"));
  if (!last.empty()) link->lastArchiveId_ = last;
  if ((complete == nullptr || std::string(complete) != "true") && !last.empty()) {
    link->fetchArchive(last);
    return 0;
  }
  link->sessionReady();
  return 0;
}

void XmppLink::sessionReady() {
  std::vector<WireMessage> batch;
  batch.swap(fetched_);
  // Offline copies and archive results, in the order they were sent.
  std::stable_sort(batch.begin(), batch.end(), [](const WireMessage& a, const WireMessage& b) {
    return a.msgTime < b.msgTime;
  });
  listener_->pulled(batch);
  sync_.save(lastArchiveId_);
  catchingUp_ = false;  // the held live messages follow (flushHeld)
  ready_ = true;
}

int XmppLink::onPing(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void*) {
  const char* id = xmpp_stanza_get_id(stanza);
  const char* from = xmpp_stanza_get_from(stanza);
  xmpp_stanza_t* reply =
      xmpp_iq_new(xmpp_conn_get_context(conn), "result", id != nullptr ? id : "");
  if (from != nullptr) xmpp_stanza_set_to(reply, from);
  xmpp_send(conn, reply);
  xmpp_stanza_release(reply);
  return 1;
}

}  // namespace node
