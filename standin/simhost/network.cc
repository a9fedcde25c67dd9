// The network: users, groups, clients, the message queue and its delivery.
#include <algorithm>
#include <set>

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

imsdk::hostMessage asHostMessage(const NetMessage& msg) {
  imsdk::hostMessage hm;
  hm.msgId = msg.msgId;
  hm.sendUserId = msg.senderId;
  hm.targetId = msg.targetId;
  hm.msgTime = msg.msgTime;
  hm.body = msg.body;
  hm.bodyType = static_cast<uint8_t>(msg.msgType);
  hm.extension = msg.properties;
  return hm;
}

Network::Network() = default;
Network::~Network() = default;

void Network::addUser(int64_t userId, const std::string& name) {
  std::lock_guard<std::mutex> lk(mu_);
  users_[userId] = name;
}

void Network::addGroup(int64_t groupId, const std::vector<int64_t>& members) {
  std::lock_guard<std::mutex> lk(mu_);
  groups_[groupId] = members;
}

Client& Network::addClient(const std::string& name, int64_t userId, int32_t deviceType) {
  std::lock_guard<std::mutex> lk(mu_);
  clients_.push_back(std::make_unique<Client>(this, name, userId, deviceType));
  return *clients_.back();
}

Client* Network::client(const std::string& name) {
  std::lock_guard<std::mutex> lk(mu_);
  for (auto& c : clients_) {
    if (c->name_ == name) return c.get();
  }
  return nullptr;
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
  traffic_.push_back(msg);
}

std::vector<Network::Delivery> Network::recipientsLocked(const NetMessage& msg) const {
  std::set<int64_t> users;
  if (msg.toGroup) {
    const auto& members = groups_.at(msg.chatId);
    users.insert(members.begin(), members.end());
  } else {
    users.insert(msg.chatId);
    users.insert(msg.senderId);  // the sender's other devices
  }
  if (!msg.limitRange.empty()) {
    std::set<int64_t> limited;
    for (int64_t id : msg.limitRange) {
      if (users.count(id) != 0) limited.insert(id);
    }
    users.swap(limited);
  }
  std::vector<Delivery> out;
  for (const auto& c : clients_) {
    if (users.count(c->userId_) == 0 || !c->online_ || c->plugin_ == nullptr) continue;
    bool sendingDevice = msg.fromClient.empty()
                             ? (c->userId_ == msg.senderId && c->deviceType_ == msg.senderDevice)
                             : c->name_ == msg.fromClient;
    if (sendingDevice) continue;
    out.push_back({c.get(), c->plugin_});
  }
  return out;
}

size_t Network::pump() {
  if (tPumping == this) return 0;
  std::lock_guard<std::mutex> turn(pumpMu_);
  PumpMark mark(this);
  size_t deliveries = 0;
  for (;;) {
    NetMessage msg;
    std::vector<Delivery> to;
    std::function<void(const NetMessage&, const Client&)> observer;
    FaultPlan plan;
    {
      std::lock_guard<std::mutex> lk(mu_);
      observer = observer_;
      plan = plan_;
      // Held copies that are due go first, earliest (then oldest) first.
      auto due = held_.end();
      const int64_t now = nowMs();
      for (auto it = held_.begin(); it != held_.end(); ++it) {
        if (it->due > now) continue;
        if (due == held_.end() || it->due < due->due ||
            (it->due == due->due && it->order < due->order)) {
          due = it;
        }
      }
      if (due != held_.end()) {
        msg = std::move(due->msg);
        std::string name = std::move(due->client);
        held_.erase(due);
        for (const auto& c : clients_) {
          if (c->name_ == name && c->online_ && c->plugin_ != nullptr) {
            to.push_back({c.get(), c->plugin_});
          }
        }
        plan = nullptr;
      } else {
        if (queue_.empty()) break;
        msg = std::move(queue_.front());
        queue_.pop_front();
        to = recipientsLocked(msg);
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
        imsdk::hostMessage hm = asHostMessage(msg);
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
  held_.push_back({nowMs() + afterMs, ++heldOrder_, msg, client});
}

int64_t Network::nextHeldMs() const {
  std::lock_guard<std::mutex> lk(mu_);
  int64_t next = -1;
  for (const Held& h : held_) {
    if (next < 0 || h.due < next) next = h.due;
  }
  return next;
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

void Network::clearTraffic() {
  std::lock_guard<std::mutex> lk(mu_);
  traffic_.clear();
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
