// The network: users, groups, clients, the message queue and its delivery.
#include <algorithm>
#include <set>

#include "host_message.h"
#include "host_records.h"
#include "routing.h"
#include "simhost.h"
#include "tools.h"

namespace simhost {

namespace {

// The network whose pump runs on this thread, if any.
thread_local const Network* tPumping = nullptr;

class PumpMark {
 public:
  explicit PumpMark(const Network* net) { tPumping = net; }
  ~PumpMark() { tPumping = nullptr; }
};

}  // namespace

Network::Network() = default;
Network::~Network() = default;

void Network::addUser(int64_t userId, const std::string& name) {
  std::lock_guard<std::mutex> lk(mu_);
  users_[userId] = name;
}

void Network::addGroup(int64_t groupId, const std::vector<int64_t>& members) {
  std::lock_guard<std::mutex> lk(mu_);
  groups_[groupId] = std::set<int64_t>(members.begin(), members.end());
}

Client& Network::addClient(const std::string& name, int64_t userId, int32_t deviceType) {
  std::lock_guard<std::mutex> lk(mu_);
  clients_.push_back(std::make_unique<Client>(this, name, userId, deviceType));
  clientsOfUser_[userId].push_back(clients_.size() - 1);
  clientNamed_.emplace(name, clients_.size() - 1);  // after any of the same name
  return *clients_.back();
}

Client* Network::client(const std::string& name) {
  std::lock_guard<std::mutex> lk(mu_);
  // A name given twice names its first client.
  auto it = clientNamed_.lower_bound(name);
  return it == clientNamed_.end() || it->first != name ? nullptr : clients_[it->second].get();
}

std::vector<Client*> Network::clients() {
  std::lock_guard<std::mutex> lk(mu_);
  std::vector<Client*> out;
  for (auto& c : clients_) out.push_back(c.get());
  return out;
}

bool Network::isGroup(int64_t id) const {
  std::lock_guard<std::mutex> lk(mu_);
  return groups_.count(id) != 0;
}

std::string Network::userName(int64_t userId) const {
  std::lock_guard<std::mutex> lk(mu_);
  auto it = users_.find(userId);
  return it == users_.end() ? std::string() : it->second;
}

void Network::inject(int64_t senderId, int32_t senderDevice, int64_t targetId,
                     const std::string& body, uint16_t bodyType, const std::string& properties,
                     const std::vector<int64_t>& limitRange, int64_t msgTimeMs) {
  NetMessage msg;
  msg.senderId = senderId;
  msg.senderDevice = senderDevice;
  msg.targetId = targetId;
  msg.msgType = bodyType;
  msg.body = body;
  msg.properties = properties;
  msg.limitRange = limitRange;
  msg.msgTime = msgTimeMs >= 0 ? msgTimeMs : nowMs();
  std::lock_guard<std::mutex> lk(mu_);
  msg.msgId = ++injectedIds_;
  enqueueLocked(msg);
}

void Network::enqueueLocked(NetMessage& msg) {
  msg.seq = ++seq_;
  msg.chatId = msg.targetId;
  if (msg.targetId == kServiceAccount) {
    int64_t real = codec::relayTarget(msg.properties);
    if (real != 0) msg.chatId = real;
  }
  msg.toGroup = groups_.count(msg.chatId) != 0;
  queue_.push_back(msg);
  if (keepTraffic_) traffic_.push_back(msg);
}

void Network::recipientsLocked(const NetMessage& msg, std::vector<Delivery>& out) const {
  // The users it reaches: the group's members, or the peer and the sender's
  // other devices; a limit range keeps only those in it.
  std::vector<int64_t>& users = scratchUsers_;
  users.clear();
  if (msg.toGroup) {
    const std::set<int64_t>& members = groups_.at(msg.chatId);
    if (msg.limitRange.empty()) {
      users.assign(members.begin(), members.end());
    } else {
      for (int64_t id : msg.limitRange) {
        if (members.count(id) != 0) users.push_back(id);
      }
    }
  } else {
    for (int64_t id : {msg.chatId, msg.senderId}) {
      if (msg.limitRange.empty() ||
          std::find(msg.limitRange.begin(), msg.limitRange.end(), id) != msg.limitRange.end()) {
        users.push_back(id);
      }
    }
  }
  // Their clients, in the order they joined the network, each once.
  std::vector<size_t>& indexes = scratchIndexes_;
  indexes.clear();
  for (int64_t id : users) {
    auto it = clientsOfUser_.find(id);
    if (it != clientsOfUser_.end())
      indexes.insert(indexes.end(), it->second.begin(), it->second.end());
  }
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  out.clear();
  for (size_t i : indexes) {
    const Client* c = clients_[i].get();
    if (!c->online_ || c->plugin_ == nullptr) continue;
    bool sendingDevice = msg.fromClient.empty()
                             ? (c->userId_ == msg.senderId && c->deviceType_ == msg.senderDevice)
                             : c->name_ == msg.fromClient;
    if (sendingDevice) continue;
    out.push_back({clients_[i].get(), c->plugin_});
  }
}

bool Network::deliverableLocked() const {
  return !queue_.empty() || (!held_.empty() && held_.begin()->first.first <= nowMs());
}

size_t Network::pump() {
  if (tPumping == this) return 0;
  std::lock_guard<std::mutex> turn(pumpMu_);
  // Most pumps (one after every step of the clock) find nothing to deliver:
  // they make none of the records below.
  {
    std::lock_guard<std::mutex> lk(mu_);
    if (!deliverableLocked()) return 0;
  }
  PumpMark mark(this);
  size_t deliveries = 0;
  // One record handed to every recipient in turn: refilled before each
  // hand-over (a plug-in may change what it is given), its strings keep
  // their buffers, so a group message's long body costs no allocation per
  // recipient. The message and its recipients are reused the same way.
  imsdk::hostMessage hm;
  NetMessage msg;
  std::vector<Delivery> to;
  std::function<void(const NetMessage&, const Client&)> observer;
  FaultPlan plan;
  for (;;) {
    {
      std::lock_guard<std::mutex> lk(mu_);
      // Held copies that are due go first, earliest (then oldest) first.
      const bool heldDue = !held_.empty() && held_.begin()->first.first <= nowMs();
      if (!heldDue && queue_.empty()) break;
      observer = observer_;
      plan = plan_;
      if (heldDue) {
        msg = std::move(held_.begin()->second.msg);
        const std::string name = std::move(held_.begin()->second.client);
        held_.erase(held_.begin());
        to.clear();
        auto named = clientNamed_.equal_range(name);
        for (auto it = named.first; it != named.second; ++it) {
          Client* c = clients_[it->second].get();
          if (c->online_ && c->plugin_ != nullptr) to.push_back({c, c->plugin_});
        }
        plan = nullptr;
      } else {
        msg = std::move(queue_.front());
        queue_.pop_front();
        recipientsLocked(msg, to);
      }
    }
    for (const Delivery& d : to) {
      int copies = 1;
      if (plan) {
        std::vector<int64_t> delays = plan(msg, *d.client);
        copies = 0;
        for (int64_t delay : delays) {
          if (delay <= 0) {
            ++copies;
          } else {
            redeliver(msg, d.client->name_, delay);
          }
        }
      }
      for (int i = 0; i < copies; ++i) {
        if (observer) observer(msg, *d.client);
        codec::fillHostMessage(msg, hm);
        d.plugin->onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&hm), 0);
        ++deliveries;
      }
    }
  }
  return deliveries;
}

void Network::setFaultPlan(FaultPlan plan) {
  std::lock_guard<std::mutex> lk(mu_);
  plan_ = std::move(plan);
}

void Network::redeliver(const NetMessage& msg, const std::string& client, int64_t afterMs) {
  std::lock_guard<std::mutex> lk(mu_);
  held_.emplace(std::make_pair(nowMs() + afterMs, ++heldOrder_), Held{msg, client});
}

int64_t Network::nextHeldMs() const {
  std::lock_guard<std::mutex> lk(mu_);
  return held_.empty() ? -1 : held_.begin()->first.first;
}

size_t Network::held() const {
  std::lock_guard<std::mutex> lk(mu_);
  return held_.size();
}

size_t Network::pending() const {
  std::lock_guard<std::mutex> lk(mu_);
  return queue_.size();
}

std::vector<NetMessage> Network::traffic() const {
  std::lock_guard<std::mutex> lk(mu_);
  return traffic_;
}

void Network::keepTraffic(bool keep) {
  std::lock_guard<std::mutex> lk(mu_);
  keepTraffic_ = keep;
}

void Network::clearTraffic() {
  std::lock_guard<std::mutex> lk(mu_);
  traffic_.clear();
}

void Network::restartIds() {
  std::lock_guard<std::mutex> lk(mu_);
  seq_ = 0;
  injectedIds_ = 0;
  requestIds_ = 0;
}

void Network::setObserver(std::function<void(const NetMessage&, const Client&)> observer) {
  std::lock_guard<std::mutex> lk(mu_);
  observer_ = std::move(observer);
}

int64_t Network::nowMs() const { return tools::get_mill_sec(); }

int64_t Network::nextRequestId() {
  std::lock_guard<std::mutex> lk(mu_);
  return ++requestIds_;
}

}  // namespace simhost
