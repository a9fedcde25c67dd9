#include "address.h"

#include "names.h"
#include "routing.h"
#include "signalling/wire_texts.h"
#include "tools.h"

namespace node {

namespace {
constexpr int64_t kServiceAccount = imsdkmrtc::texts::wire::kServiceAccount;
}  // namespace

std::string bareJid(int64_t userId, const std::string& domain) {
  return std::to_string(userId) + "@" + domain;
}

std::string resourceOf(int32_t deviceType) {
  std::string name = codec::deviceName(deviceType);
  for (char& c : name) {
    if (c == ' ') c = '-';
  }
  return name;
}

std::string bareOf(const std::string& jid) { return jid.substr(0, jid.find('/')); }

int64_t userOfJid(const std::string& jid, const std::string& domain) {
  const std::string bare = bareOf(jid);
  const size_t at = bare.find('@');
  if (at == std::string::npos || bare.substr(at + 1) != domain) return 0;
  const std::string local = bare.substr(0, at);
  return tools::isNumber(local) ? tools::strToInt64(local) : 0;
}

void resolveChat(WireMessage& m, const Directory& dir) {
  m.chatId = m.targetId;
  if (m.targetId == kServiceAccount) {
    const int64_t real = codec::relayTarget(m.properties);
    if (real != 0) m.chatId = real;
  }
  m.toGroup = dir.isGroup(m.chatId);
}

std::set<int64_t> recipients(const WireMessage& m, const Directory& dir) {
  std::set<int64_t> users;
  if (m.toGroup) {
    const auto& members = dir.groups.at(m.chatId);
    users.insert(members.begin(), members.end());
  } else {
    users.insert(m.chatId);
  }
  users.insert(m.senderId);
  if (m.limitRange.empty()) return users;
  std::set<int64_t> limited;
  for (int64_t id : m.limitRange) {
    if (users.count(id) != 0) limited.insert(id);
  }
  return limited;
}

}  // namespace node
