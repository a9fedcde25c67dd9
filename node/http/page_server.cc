#include "page_server.h"

#include <httplib.h>

#include <cstdio>

#include "event_feed.h"
#include "item.h"

namespace node::http {

namespace {

// Items a page opened late still sees: a few calls' worth.
constexpr size_t kFeedWindow = 2000;
// An idle event stream sends a comment this often, so that a page whose
// node went away notices it and reconnects.
constexpr int64_t kIdleMs = 15000;
// One request line; far above any call to a group of the directory's size.
constexpr size_t kMaxRequestBytes = 64 * 1024;

// Only this origin: no inline script or style, nothing from elsewhere, no
// framing.
constexpr const char* kPolicy =
    "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void reply(httplib::Response& res, int status, const std::string& json) {
  res.status = status;
  res.set_content(json, "application/json");
}

}  // namespace

PageServer::PageServer(const Directory& dir, const PageConfig& config, Output& out, Submit submit)
    : dir_(dir),
      config_(config),
      out_(out),
      submit_(std::move(submit)),
      feed_(std::make_shared<EventFeed>(kFeedWindow)),
      server_(std::make_unique<httplib::Server>()) {
  std::weak_ptr<EventFeed> feed = feed_;
  out_.addSink([feed](const codec::Item& item) {
    if (auto f = feed.lock()) f->add(codec::renderJson(item));
  });
}

PageServer::~PageServer() {
  feed_->close();
  server_->stop();
  if (thread_.joinable()) thread_.join();
}

int PageServer::start() {
  routes();
  port_ = config_.port == 0
              ? server_->bind_to_any_port("127.0.0.1")
              : (server_->bind_to_port("127.0.0.1", config_.port) ? config_.port : -1);
  if (port_ < 0) return -1;
  thread_ = std::thread([this] { server_->listen_after_bind(); });
  return port_;
}

// A page reached under another name (DNS rebinding) is not this device's.
bool PageServer::hostAllowed(const std::string& host) const {
  const std::string port = ":" + std::to_string(port_);
  return host == "127.0.0.1" + port || host == "localhost" + port;
}

void PageServer::routes() {
  httplib::Server& s = *server_;
  s.set_payload_max_length(kMaxRequestBytes);
  s.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
    if (hostAllowed(req.get_header_value("Host")))
      return httplib::Server::HandlerResponse::Unhandled;
    reply(res, 421, "{\"error\":\"unknown host\"}");
    return httplib::Server::HandlerResponse::Handled;
  });
  s.set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
    res.set_header("Content-Security-Policy", kPolicy);
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("Cache-Control", "no-cache");
  });
  s.set_mount_point("/", config_.pageDir);
  s.Get("/api/directory", [this](const httplib::Request&, httplib::Response& res) {
    reply(res, 200, directoryJson(dir_, config_.userId, config_.device, out_.client()));
  });
  s.Post("/api/request", [this](const httplib::Request& req, httplib::Response& res) {
    // A form of another site cannot send this type without asking first,
    // and this server answers no such question.
    if (req.get_header_value("Content-Type").rfind("application/json", 0) != 0) {
      reply(res, 415, "{\"error\":\"send application/json\"}");
      return;
    }
    // The outcome reaches the page as items, as it reaches standard output.
    submit_(req.body);
    reply(res, 202, "{\"accepted\":true}");
  });
  s.Get("/api/events", [this](const httplib::Request& req, httplib::Response& res) {
    auto seen = std::make_shared<uint64_t>(0);
    const std::string last = req.get_header_value("Last-Event-ID");
    if (!last.empty()) *seen = std::strtoull(last.c_str(), nullptr, 10);
    std::shared_ptr<EventFeed> feed = feed_;
    res.set_header("Cache-Control", "no-cache");
    res.set_chunked_content_provider(
        "text/event-stream", [feed, seen](size_t, httplib::DataSink& sink) {
          std::vector<FeedLine> lines = feed->after(*seen, kIdleMs);
          if (feed->closed()) {
            sink.done();
            return false;
          }
          std::string chunk = lines.empty() ? ": idle\n\n" : "";
          for (const FeedLine& line : lines) {
            chunk += "id: " + std::to_string(line.number) + "\ndata: " + line.json + "\n\n";
            *seen = line.number;
          }
          return sink.write(chunk.data(), chunk.size());
        });
  });
}

}  // namespace node::http
