// A client's identity, state switches and the records it keeps of what its
// plug-in produced. Every accessor copies under the network mutex.
#include <algorithm>

#include "simhost.h"

namespace simhost {

Client::Client(Network* net, std::string name, int64_t userId, int32_t deviceType)
    : net_(net), name_(std::move(name)), userId_(userId), deviceType_(deviceType) {}

Client::~Client() = default;

imsdk::IPlugin* Client::attached() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return plugin_;
}

void Client::setOnline(bool online) {
  std::lock_guard<std::mutex> lk(net_->mu_);
  online_ = online;
}

bool Client::online() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return online_;
}

void Client::updateConfig(const std::function<void(ClientConfig&)>& change) {
  std::lock_guard<std::mutex> lk(net_->mu_);
  change(config_);
}

std::vector<Result> Client::results() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return results_;
}

std::vector<UiEvent> Client::events() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return events_;
}

std::vector<LogLine> Client::logs() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return logs_;
}

std::vector<Inserted> Client::inserted() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return inserted_;
}

std::vector<TimerPost> Client::timerPosts() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return timerPosts_;
}

std::vector<NetMessage> Client::sent() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return sent_;
}

bool Client::hasLog(const std::string& text) const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return std::any_of(logs_.begin(), logs_.end(), [&](const LogLine& line) {
    return line.text.find(text) != std::string::npos;
  });
}

void Client::clearRecords() {
  std::lock_guard<std::mutex> lk(net_->mu_);
  results_.clear();
  events_.clear();
  logs_.clear();
  inserted_.clear();
  timerPosts_.clear();
  sent_.clear();
  cacheRequests_ = 0;
  registered_.clear();
  forgotten_ = RecordMarks();
}

int Client::cacheRequests() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return cacheRequests_;
}

std::vector<std::pair<std::string, uint16_t>> Client::registered() const {
  std::lock_guard<std::mutex> lk(net_->mu_);
  return registered_;
}

void Client::keepRecords(bool keep) { keepRecords_.store(keep); }

void setQuietLogs(Client& client, bool quiet) { client.quietLogs_.store(quiet); }

}  // namespace simhost
