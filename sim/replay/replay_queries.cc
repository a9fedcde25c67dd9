// The host services that only answer: each answered as the recorded host
// answered the same question.
#include "crossing.h"
#include "replay_host.h"

namespace mrtcsim {
namespace replay {

namespace {

namespace query = codec::query;
using codec::Item;

Item question(const char* name) {
  Item q;
  q.kind = codec::kind::kQuery;
  q.set("query", name);
  return q;
}

}  // namespace

int64_t ReplayHost::getTicketValue() { return retOr(answer(question(query::kTicketValue)), 0); }

std::string ReplayHost::getTicketText() {
  const Entry* e = answer(question(query::kTicketText));
  return e != nullptr ? e->item.str("ret") : "";
}

int64_t ReplayHost::getOwnUserId() {
  const Entry* e = answer(question(query::kOwnUser));
  return e != nullptr ? e->item.num("ret") : trace_.user;
}

int64_t ReplayHost::getTimeMs() {
  // Unrecorded, the host's time is the clock's.
  const Entry* e = answer(question(query::kTime));
  return e != nullptr ? e->item.num("ret") : session_.startMs() + session_.now();
}

bool ReplayHost::loginQuery() { return retOr(answer(question(query::kLoginQuery)), 1) != 0; }

std::string ReplayHost::getPreLoginDesc() {
  const Entry* e = answer(question(query::kPreLogin));
  return e != nullptr ? e->item.str("ret") : "";
}

bool ReplayHost::getUserInfo(imsdk::userInfo* out, int64_t userId) {
  Item q = question(query::kUserInfo);
  q.set("user", userId);
  const Entry* e = answer(q);
  if (e == nullptr || e->item.num("ret") == 0 || out == nullptr) return false;
  out->userId = e->item.num("infoUser", userId);
  out->name = e->item.str("name");
  return true;
}

std::string ReplayHost::getConfigItem(const std::string& key, const std::string& field) {
  Item q = question(query::kConfigItem);
  q.set("key", key).set("field", field);
  const Entry* e = answer(q);
  return e != nullptr ? e->item.str("ret") : "";
}

bool ReplayHost::syncRequest(int32_t request, com::zbq::im::ap::SessionTicket* ticket,
                             com::zbq::im::ap::CacheRet* ret) {
  Item q = question(query::kCache);
  q.set("request", int64_t{request});
  if (ticket != nullptr) codec::cacheFields(q, *ticket);
  const Entry* e = answer(q);
  if (e == nullptr) return false;
  if (ret != nullptr) {
    ret->code = static_cast<int32_t>(e->item.num("code"));
    ret->value = e->item.str("value");
  }
  return e->item.num("ret") != 0;
}

}  // namespace replay
}  // namespace mrtcsim
