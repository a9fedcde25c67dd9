// The phone page of one device: `mrtc-node --http PORT` serves it on
// loopback. The page is static files; it learns the directory from
// /api/directory, sends the node's JSON requests (the lines its standard
// input takes) to /api/request, and receives every item the node writes as
// server-sent events from /api/events (replayed from the start of a bounded
// window, so a page opened mid-call shows it).
//
// Threads: the server runs on its own thread pool; submit is called from
// those threads one request at a time. The object must outlive nothing that
// it was given except `out`, whose sink keeps only the feed alive.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "directory.h"
#include "output.h"

namespace httplib {
class Server;
}

namespace node::http {

class EventFeed;

struct PageConfig {
  std::string pageDir;  // the static files
  int port = 0;         // 0: any free port
  int64_t userId = 0;
  int32_t device = 1;
};

class PageServer {
 public:
  using Submit = std::function<void(const std::string& line)>;

  PageServer(const Directory& dir, const PageConfig& config, Output& out, Submit submit);
  ~PageServer();
  PageServer(const PageServer&) = delete;
  PageServer& operator=(const PageServer&) = delete;

  // Binds 127.0.0.1 and starts serving; the port, or -1 when it cannot bind.
  int start();

 private:
  void routes();
  bool hostAllowed(const std::string& host) const;

  const Directory& dir_;
  const PageConfig config_;
  Output& out_;
  Submit submit_;
  std::shared_ptr<EventFeed> feed_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  int port_ = -1;
};

// Where the page's files are: the installed copy when there is one, else
// the source folder.
std::string defaultPageDir();

// The directory as the page reads it (no passwords): who this device is,
// the users and the groups.
std::string directoryJson(const Directory& dir, int64_t self, int32_t device,
                          const std::string& client);

}  // namespace node::http
