// Following what clients record without copying all of it each time: the
// network lists the clients that recorded anything, and a client hands over
// only the records after the marks a reader kept.
#include <algorithm>
#include <iterator>

#include "simhost.h"

namespace simhost {

namespace {

// The records of `kept` after the mark, when the first `dropped` are gone.
template <typename T>
std::vector<T> after(const std::vector<T>& kept, size_t mark, size_t dropped = 0) {
  const size_t from = std::min(mark > dropped ? mark - dropped : 0, kept.size());
  return std::vector<T>(kept.begin() + static_cast<std::ptrdiff_t>(from), kept.end());
}

template <typename T>
void dropBefore(std::vector<T>& kept, size_t mark, size_t& dropped) {
  const size_t n = std::min(mark > dropped ? mark - dropped : 0, kept.size());
  kept.erase(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(n));
  dropped += n;
}

// The records of `kept` after the mark, moved out; all of `kept` is then
// dropped.
template <typename T>
std::vector<T> takeAfter(std::vector<T>& kept, size_t mark, size_t& dropped) {
  const size_t from = std::min(mark > dropped ? mark - dropped : 0, kept.size());
  std::vector<T> out;
  if (from == 0) {
    out.swap(kept);
  } else {
    out.assign(std::make_move_iterator(kept.begin() + static_cast<std::ptrdiff_t>(from)),
               std::make_move_iterator(kept.end()));
  }
  dropped += from + out.size();
  kept.clear();
  return out;
}

}  // namespace

NewRecords Client::recordsAfter(const RecordMarks& marks) const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  NewRecords out;
  const RecordMarks& gone = forgotten_;
  out.logs = after(logs_, marks.logs, gone.logs);
  out.events = after(events_, marks.events, gone.events);
  out.sent = after(sent_, marks.sent);
  out.inserted = after(inserted_, marks.inserted, gone.inserted);
  out.timers = after(timerPosts_, marks.timers, gone.timers);
  out.to.logs = gone.logs + logs_.size();
  out.to.events = gone.events + events_.size();
  out.to.sent = sent_.size();
  out.to.inserted = gone.inserted + inserted_.size();
  out.to.timers = gone.timers + timerPosts_.size();
  out.to.results = results_.size();
  return out;
}

NewRecords Client::takeRecordsAfter(const RecordMarks& marks) {
  std::lock_guard<std::mutex> lk(net_->mu_);
  NewRecords out;
  RecordMarks& gone = forgotten_;
  out.logs = takeAfter(logs_, marks.logs, gone.logs);
  out.events = takeAfter(events_, marks.events, gone.events);
  out.sent = after(sent_, marks.sent);
  out.inserted = takeAfter(inserted_, marks.inserted, gone.inserted);
  out.timers = takeAfter(timerPosts_, marks.timers, gone.timers);
  out.to.logs = gone.logs;
  out.to.events = gone.events;
  out.to.sent = sent_.size();
  out.to.inserted = gone.inserted;
  out.to.timers = gone.timers;
  out.to.results = results_.size();
  return out;
}

void Client::forgetRecords(const RecordMarks& marks) {
  std::lock_guard<std::mutex> lk(net_->mu_);
  dropBefore(logs_, marks.logs, forgotten_.logs);
  dropBefore(events_, marks.events, forgotten_.events);
  dropBefore(inserted_, marks.inserted, forgotten_.inserted);
  dropBefore(timerPosts_, marks.timers, forgotten_.timers);
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
