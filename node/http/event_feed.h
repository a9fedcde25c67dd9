// The items a page has not seen yet: every item of the node, rendered once as
// JSON and numbered from 1, kept in a bounded window so that a page opened
// (or reopened) mid-call replays what came before it.
//
// Threads: add() from any thread (the node's output sinks); after() from the
// HTTP server's threads, each blocking at most the time given. close() wakes
// every waiter for good.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace node::http {

struct FeedLine {
  uint64_t number;
  std::string json;
};

class EventFeed {
 public:
  explicit EventFeed(size_t window) : window_(window) {}

  void add(std::string json);
  // The lines numbered above `seen`, waiting up to waitMs for one; empty on
  // time-out or once closed.
  std::vector<FeedLine> after(uint64_t seen, int64_t waitMs);
  void close();
  bool closed();

 private:
  const size_t window_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<FeedLine> lines_;  // guarded by mu_
  uint64_t last_ = 0;           // guarded by mu_
  bool closed_ = false;         // guarded by mu_
};

}  // namespace node::http
