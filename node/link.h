// The node's XMPP connection (libstrophe), run on a thread of its own.
//
// Life cycle: connect, log in (SCRAM, no TLS on loopback), enable carbons,
// send presence, ask the server's time (XEP-0202), fetch from the archive
// (XEP-0313) what came after the sync point and hand that batch over; live
// messages that arrive meanwhile (also what the server stored offline) wait
// and follow it, and a message already handed over is dropped.
// When the connection drops, it connects again after 0.25 s, doubling to
// at most 2 s, and runs the same sequence.
//
// Threads: send(), hold() and stop() may be called from any thread; the
// plug-in sends from its timer thread. Sends are queued and leave from the
// XMPP thread (libstrophe is not thread-safe); while the link is down they
// wait for the next login. Every listener call runs on the XMPP thread.
#pragma once

#include <strophe.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "directory.h"
#include "sync_point.h"
#include "wire.h"

namespace node {

class LinkListener {
 public:
  virtual ~LinkListener() = default;
  virtual void linkUp() = 0;  // logged in, before the archive fetch
  virtual void linkDown() = 0;
  virtual void serverOffset(int64_t ms) = 0;
  virtual void pulled(const std::vector<WireMessage>& batch) = 0;
  virtual void received(const WireMessage& m) = 0;
  // A message of another client that was not handed over, and why.
  virtual void dropped(const std::string& why) = 0;
  // When a message left for the server and when one came from it: with the
  // plug-in's own times, a late delivery shows where it waited.
  virtual void traffic(const std::string& what) { (void)what; }
};

struct LinkConfig {
  std::string host = "127.0.0.1";
  uint16_t port = 5222;
  int64_t userId = 0;
  int32_t device = 1;
  std::string password;
  std::string syncFile;  // the sync point ("" keeps none)
  // A device without a sync point fetches this far back.
  int64_t firstFetchMs = 10 * 60 * 1000;
};

class XmppLink {
 public:
  XmppLink(LinkConfig config, const Directory& dir, LinkListener* listener);
  ~XmppLink();
  XmppLink(const XmppLink&) = delete;
  XmppLink& operator=(const XmppLink&) = delete;

  void start();
  void stop();
  // Queues a message; it goes to every recipient's bare JID.
  void send(WireMessage m);
  // Live messages that arrive in the next ms wait until then, in order (a
  // test's way to make two calls cross).
  void hold(int64_t ms);

 private:
  // link.cc: the loop and the connection.
  void loop();
  void connect();
  void dropConnection();
  void flushSends();
  void flushHeld();
  static void onConnEvent(xmpp_conn_t* conn, xmpp_conn_event_t event, int error,
                          xmpp_stream_error_t* stream_error, void* self);
  // link_session.cc: what follows a login.
  void startSession();
  void askTime();
  void fetchArchive(const std::string& after);
  void sessionReady();
  static int onTime(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void* self);
  static int onFetched(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void* self);
  static int onPing(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void* self);
  // link_inbound.cc: messages in.
  static int onMessage(xmpp_conn_t* conn, xmpp_stanza_t* stanza, void* self);
  void archived(xmpp_stanza_t* result);
  void incoming(xmpp_stanza_t* message, bool carbon);
  // Reads a message of another client; false (logged) when it is malformed
  // or claims a sender that did not send it.
  bool readable(xmpp_stanza_t* message, WireMessage& m);
  bool firstTime(const WireMessage& m);
  void noteArchiveId(xmpp_stanza_t* message);
  int64_t nowMs() const;

  const LinkConfig config_;
  const Directory& dir_;
  LinkListener* listener_;
  const std::string bare_;
  const std::string fullJid_;
  SyncPoint sync_;

  std::thread thread_;
  std::atomic<bool> stopping_{false};

  // XMPP thread only.
  xmpp_ctx_t* ctx_ = nullptr;
  xmpp_conn_t* conn_ = nullptr;
  bool dead_ = false;        // the connection ended; released by the loop
  bool ready_ = false;       // logged in and caught up: sends may leave
  bool catchingUp_ = false;  // reading the archive: live messages wait
  int64_t nextAttempt_ = 0;
  int64_t backoffMs_ = 0;
  int64_t timeAskedAt_ = 0;
  std::string queryId_;
  std::vector<WireMessage> fetched_;
  std::string lastArchiveId_;
  std::set<std::pair<int64_t, int64_t>> seen_;  // (sender, msgId)
  std::deque<std::pair<int64_t, int64_t>> seenOrder_;
  struct Held {
    int64_t due;
    WireMessage msg;
  };
  std::deque<Held> held_;

  std::mutex mu_;  // guards the two below
  std::deque<WireMessage> outbox_;
  int64_t holdUntil_ = 0;
};

}  // namespace node
