#include "link.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>

#include "address.h"

namespace node {

namespace {
constexpr int64_t kFirstBackoffMs = 250;
constexpr int64_t kMaxBackoffMs = 2000;
// How long one turn of the loop may wait for the socket: also the longest a
// queued send waits before it leaves.
constexpr unsigned long kTurnMs = 2;

// TCP keep-alive, so that a server that vanishes without closing the socket
// is noticed in seconds, and no Nagle delay: signalling is a few small
// stanzas, each wanted at once.
int socketOptions(xmpp_conn_t* conn, void* sock) {
  const int fd = *static_cast<int*>(sock);
  const int on = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return xmpp_sockopt_cb_keepalive(conn, sock);
}
}  // namespace

XmppLink::XmppLink(LinkConfig config, const Directory& dir, LinkListener* listener)
    : config_(std::move(config)),
      dir_(dir),
      listener_(listener),
      bare_(bareJid(config_.userId, dir.domain)),
      fullJid_(bare_ + "/" + resourceOf(config_.device)),
      sync_(config_.syncFile) {}

XmppLink::~XmppLink() { stop(); }

int64_t XmppLink::nowMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void XmppLink::start() {
  lastArchiveId_ = sync_.load();
  thread_ = std::thread([this] { loop(); });
}

void XmppLink::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
}

void XmppLink::send(WireMessage m) {
  std::lock_guard<std::mutex> lk(mu_);
  outbox_.push_back(std::move(m));
}

void XmppLink::hold(int64_t ms) {
  std::lock_guard<std::mutex> lk(mu_);
  holdUntil_ = nowMs() + ms;
}

void XmppLink::loop() {
  xmpp_initialize();
  ctx_ = xmpp_ctx_new(nullptr, nullptr);
  while (!stopping_) {
    if (dead_) dropConnection();
    if (conn_ == nullptr && nowMs() >= nextAttempt_) connect();
    flushSends();
    flushHeld();
    xmpp_run_once(ctx_, kTurnMs);
  }
  if (conn_ != nullptr) {
    xmpp_disconnect(conn_);
    for (int i = 0; i < 50 && !dead_; ++i) xmpp_run_once(ctx_, 10);
    xmpp_conn_release(conn_);
    conn_ = nullptr;
  }
  xmpp_ctx_free(ctx_);
  ctx_ = nullptr;
}

void XmppLink::connect() {
  conn_ = xmpp_conn_new(ctx_);
  xmpp_conn_set_flags(conn_, XMPP_CONN_FLAG_DISABLE_TLS | XMPP_CONN_FLAG_DISABLE_SM);
  xmpp_conn_set_jid(conn_, fullJid_.c_str());
  xmpp_conn_set_pass(conn_, config_.password.c_str());
  xmpp_conn_set_sockopt_callback(conn_, socketOptions);
  dead_ = false;
  if (xmpp_connect_client(conn_, config_.host.c_str(), config_.port, onConnEvent, this) !=
      XMPP_EOK) {
    dead_ = true;
  }
}

void XmppLink::dropConnection() {
  if (conn_ != nullptr) xmpp_conn_release(conn_);
  conn_ = nullptr;
  dead_ = false;
  backoffMs_ = backoffMs_ == 0 ? kFirstBackoffMs : std::min(backoffMs_ * 2, kMaxBackoffMs);
  nextAttempt_ = nowMs() + backoffMs_;
}

void XmppLink::onConnEvent(xmpp_conn_t*, xmpp_conn_event_t event, int, xmpp_stream_error_t*,
                           void* self) {
  auto* link = static_cast<XmppLink*>(self);
  if (event == XMPP_CONN_CONNECT) {
    link->startSession();
    return;
  }
  const bool wasUp = link->ready_;
  link->ready_ = false;
  link->catchingUp_ = false;
  link->dead_ = true;
  if (wasUp && !link->stopping_) link->listener_->linkDown();
}

void XmppLink::flushSends() {
  if (!ready_) return;
  std::deque<WireMessage> out;
  {
    std::lock_guard<std::mutex> lk(mu_);
    out.swap(outbox_);
  }
  for (const WireMessage& m : out) {
    std::set<int64_t> users = recipients(m, dir_);
    // Carbons of the copies to others reach this user's other devices; with
    // no one else to send to, a copy to the user's own account does.
    if (users.size() > 1) users.erase(config_.userId);
    for (int64_t user : users) {
      xmpp_stanza_t* stanza = toStanza(ctx_, m, bareJid(user, dir_.domain));
      xmpp_send(conn_, stanza);
      xmpp_stanza_release(stanza);
      listener_->traffic("sent " + std::to_string(m.msgId) + " to " + std::to_string(user));
    }
  }
}

void XmppLink::flushHeld() {
  if (catchingUp_) return;
  int64_t holdUntil;
  {
    std::lock_guard<std::mutex> lk(mu_);
    holdUntil = holdUntil_;
  }
  const int64_t now = nowMs();
  while (!held_.empty() && held_.front().due <= now && now >= holdUntil) {
    WireMessage m = std::move(held_.front().msg);
    held_.pop_front();
    listener_->received(m);
  }
}

}  // namespace node
