// Each service: the crossing is opened before the host runs (so that what
// the host calls back from inside it is numbered as nested), the records are
// read before the host may take them, and the entry is written once the
// answer is known.
#include "recording_host.h"

#include <cstdarg>

#include "crossing.h"
#include "describe.h"
#include "recorder.h"
#include "records.h"

namespace mrtcrecord {

namespace {

using codec::Item;
namespace kind = codec::kind;
namespace query = codec::query;

void finish(Item& it, int service, codec::Value ret) {
  it.set("service", int64_t{service}).set("ret", std::move(ret));
  Recorder::get().write(it);
}

codec::Value answerOf(bool v) { return int64_t{v ? 1 : 0}; }
codec::Value answerOf(int64_t v) { return v; }
codec::Value answerOf(int32_t v) { return int64_t{v}; }
codec::Value answerOf(const std::string& v) { return v; }

// A service that only answers and takes no argument.
template <class Call>
auto ask(const std::string& client, int service, const char* name, Call call) {
  Crossing c;
  auto v = call();
  Item it = c.entry(client, kind::kQuery).set("query", name);
  finish(it, service, answerOf(v));
  return v;
}

// A message handed to the send or insert service.
template <class Record, class Call>
auto handOver(const std::string& client, const char* k, int service, const Record* msg, Call call) {
  Crossing c;
  Item it = c.entry(client, k);
  if (msg != nullptr) codec::sendRecordFields(it, *msg);
  auto v = call();
  finish(it, service, answerOf(v));
  return v;
}

}  // namespace

int64_t RecordingHost::getTicketValue() {
  return ask(client_, 4, query::kTicketValue, [this] { return host_->getTicketValue(); });
}

std::string RecordingHost::getTicketText() {
  return ask(client_, 5, query::kTicketText, [this] { return host_->getTicketText(); });
}

int64_t RecordingHost::getOwnUserId() {
  return ask(client_, 6, query::kOwnUser, [this] { return host_->getOwnUserId(); });
}

int32_t RecordingHost::postToApp(uint16_t cmdId, void* block, int32_t len, int32_t flagWord) {
  Crossing c;
  // Read now: once the host accepts the record it may release it.
  Item it = c.entry(client_, "");
  codec::appPostFields(it, cmdId, block);
  const int32_t v = host_->postToApp(cmdId, block, len, flagWord);
  finish(it, 11, int64_t{v});
  return v;
}

int32_t RecordingHost::postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t flagWord) {
  Crossing c;
  Item it = c.entry(client_, "");
  codec::dispatchFields(it, cmdId, data, len);
  const int32_t v = host_->postToDispatch(cmdId, data, len, flagWord);
  finish(it, 12, int64_t{v});
  return v;
}

int32_t RecordingHost::passRequest(uint16_t cmdId, void* data, int32_t len, int32_t flagWord) {
  Crossing c;
  Item it = c.entry(client_, kind::kPost);
  codec::envelopeFields(it, cmdId, data);
  it.set("len", int64_t{len});
  const int32_t v = host_->passRequest(cmdId, data, len, flagWord);
  finish(it, 15, int64_t{v});
  return v;
}

bool RecordingHost::sendMessage(imsdk::req_sendMessage* msg, int32_t len, int32_t flagWord) {
  return handOver(client_, kind::kMessage, 16, msg,
                  [&] { return host_->sendMessage(msg, len, flagWord); });
}

int32_t RecordingHost::insertMessage(imsdk::req_insertMessage* msg, int32_t len, int32_t flagWord) {
  return handOver(client_, kind::kInsert, 17, msg,
                  [&] { return host_->insertMessage(msg, len, flagWord); });
}

bool RecordingHost::syncRequest(int32_t request, com::zbq::im::ap::SessionTicket* ticket,
                                com::zbq::im::ap::CacheRet* ret) {
  Crossing c;
  Item it = c.entry(client_, kind::kQuery).set("query", query::kCache);
  it.set("request", int64_t{request});
  if (ticket != nullptr) codec::cacheFields(it, *ticket);
  const bool v = host_->syncRequest(request, ticket, ret);
  if (ret != nullptr) it.set("code", int64_t{ret->code}).set("value", ret->value);
  finish(it, 21, answerOf(v));
  return v;
}

void RecordingHost::log(int32_t level, const char* tag, const char* func, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const std::string text = codec::formatText(fmt, args);
  va_end(args);
  if (!Recorder::get().keepLogs()) {
    host_->log(level, tag, func, "%s", text.c_str());
    return;
  }
  Crossing c;
  host_->log(level, tag, func, "%s", text.c_str());
  Item it = c.entry(client_, kind::kLog);
  it.set("level", int64_t{level})
      .set("tag", tag != nullptr ? tag : "")
      .set("func", func != nullptr ? func : "")
      .set("text", text);
  finish(it, 23, int64_t{0});
}

int64_t RecordingHost::getTimeMs() {
  return ask(client_, 37, query::kTime, [this] { return host_->getTimeMs(); });
}

bool RecordingHost::loginQuery() {
  return ask(client_, 46, query::kLoginQuery, [this] { return host_->loginQuery(); });
}

std::string RecordingHost::getPreLoginDesc() {
  return ask(client_, 49, query::kPreLogin, [this] { return host_->getPreLoginDesc(); });
}

bool RecordingHost::getUserInfo(imsdk::userInfo* out, int64_t userId) {
  Crossing c;
  const bool v = host_->getUserInfo(out, userId);
  Item it = c.entry(client_, kind::kQuery).set("query", query::kUserInfo).set("user", userId);
  if (v && out != nullptr) it.set("name", out->name).set("infoUser", out->userId);
  finish(it, 51, answerOf(v));
  return v;
}

std::string RecordingHost::getConfigItem(const std::string& key, const std::string& field) {
  Crossing c;
  std::string v = host_->getConfigItem(key, field);
  Item it = c.entry(client_, kind::kQuery).set("query", query::kConfigItem);
  it.set("key", key).set("field", field);
  finish(it, 54, v);
  return v;
}

int32_t RecordingHost::registerAddress(const char* name, int32_t zero, const char* ip,
                                       uint16_t port, int32_t addrKind) {
  Crossing c;
  Item it = c.entry(client_, kind::kRegister);
  codec::registerFields(it, name, zero, ip, port, addrKind);
  const int32_t v = host_->registerAddress(name, zero, ip, port, addrKind);
  finish(it, 56, int64_t{v});
  return v;
}

}  // namespace mrtcrecord
