// Following what clients record without copying all of it each time: the
// network lists the clients that recorded anything, and a client hands over
// only the records after the marks a reader kept.
#include <algorithm>

#include "simhost.h"

namespace simhost {

namespace {

template <typename T>
std::vector<T> after(const std::vector<T>& all, size_t mark) {
  return std::vector<T>(all.begin() + static_cast<std::ptrdiff_t>(std::min(mark, all.size())),
                        all.end());
}

}  // namespace

NewRecords Client::recordsAfter(const RecordMarks& marks) const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  NewRecords out;
  out.logs = after(logs_, marks.logs);
  out.events = after(events_, marks.events);
  out.sent = after(sent_, marks.sent);
  out.inserted = after(inserted_, marks.inserted);
  out.timers = after(timerPosts_, marks.timers);
  out.to = {logs_.size(),     events_.size(),     sent_.size(),
            inserted_.size(), timerPosts_.size(), results_.size()};
  return out;
}

std::vector<Result> Client::resultsAfter(size_t mark) const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return after(results_, mark);
}

void Client::recordedLocked() {
  if (changed_) return;
  changed_ = true;
  net_->changed_.push_back(this);
}

std::vector<Client*> Network::takeChanged() {
  std::lock_guard<std::mutex> lk(mu_);
  for (Client* c : changed_) c->changed_ = false;
  std::vector<Client*> out;
  out.swap(changed_);
  return out;
}

}  // namespace simhost
