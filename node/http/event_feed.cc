#include "event_feed.h"

#include <chrono>

namespace node::http {

void EventFeed::add(std::string json) {
  {
    std::lock_guard<std::mutex> lk(mu_);
    lines_.push_back({++last_, std::move(json)});
    if (lines_.size() > window_) lines_.pop_front();
  }
  cv_.notify_all();
}

std::vector<FeedLine> EventFeed::after(uint64_t seen, int64_t waitMs) {
  std::unique_lock<std::mutex> lk(mu_);
  cv_.wait_for(lk, std::chrono::milliseconds(waitMs), [&] { return closed_ || last_ > seen; });
  std::vector<FeedLine> out;
  if (closed_) return out;
  for (const FeedLine& line : lines_) {
    if (line.number > seen) out.push_back(line);
  }
  return out;
}

void EventFeed::close() {
  {
    std::lock_guard<std::mutex> lk(mu_);
    closed_ = true;
  }
  cv_.notify_all();
}

bool EventFeed::closed() {
  std::lock_guard<std::mutex> lk(mu_);
  return closed_;
}

}  // namespace node::http
