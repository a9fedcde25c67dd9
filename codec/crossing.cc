#include "crossing.h"

#include "describe.h"
#include "records.h"
#include "request_reader.h"

namespace codec {

void hostMessageFields(Item& item, const imsdk::hostMessage& m) {
  item.set("msgId", m.msgId)
      .set("fromUser", m.sendUserId)
      .set("type", int64_t{m.bodyType})
      .set("target", m.targetId)
      .set("msgTime", m.msgTime)
      .set("properties", m.extension)
      .set("status", int64_t{m.status});
  describeBody(item, m.body);
  item.set("body", m.body);
}

imsdk::hostMessage readHostMessage(const Reader& r, const JValue& v, const std::string& where) {
  r.object(v, where);
  imsdk::hostMessage m;
  m.msgId = r.intOr(v, "msgId", 0, where);
  m.sendUserId = r.intOr(v, "fromUser", 0, where);
  const int64_t type = r.intOr(v, "type", 0, where);
  if (type < 0 || type > 255) r.fail(where, "\"type\" must be 0..255");
  m.bodyType = static_cast<uint8_t>(type);
  m.targetId = r.intOr(v, "target", 0, where);
  m.msgTime = r.intOr(v, "msgTime", 0, where);
  m.extension = r.stringOr(v, "properties", where);
  m.status = static_cast<int32_t>(r.intOr(v, "status", 0, where));
  m.body = r.stringOr(v, "body", where);
  return m;
}

void sendRecordFields(Item& item, const imsdk::req_sendMessage& m) {
  sentFields(item, m.msgType, m.targetId, m.targetId, m.limitRange, m.properties, m.body);
  item.set("msgId", m.msgId).set("senderId", m.senderId).set("flag", int64_t{m.msgFlag});
}

void timerRecordFields(Item& item, const imsdk::timerCmd& c) {
  timerFields(item, c);
  item.set("seconds", int64_t{c.duration})
      .set("mode", int64_t{c.memberMode})
      .set("refresh", int64_t{c.refresh})
      .set("extra", c.extra)
      .set("fireTime", c.fireTime)
      .set("recallCnt", int64_t{c.recallCnt})
      .set("roomId", c.roomId);
}

imsdk::timerCmd readTimerCmd(const Reader& r, const JValue& v, const std::string& where) {
  imsdk::timerCmd c;
  const std::string op = r.stringOr(v, "op", where);
  if (op != "arm" && op != "cancel") r.fail(where, "\"op\" must be arm or cancel");
  c.op = op == "arm" ? 1 : 0;
  c.type = static_cast<int32_t>(r.intOr(v, "type", 0, where));
  c.category = static_cast<int32_t>(r.intOr(v, "category", 0, where));
  c.key = r.stringOr(v, "key", where);
  c.members = r.idsOr(v, "members", where);
  c.duration = static_cast<int32_t>(r.intOr(v, "seconds", 0, where));
  c.memberMode = static_cast<int32_t>(r.intOr(v, "mode", 0, where));
  c.refresh = r.intOr(v, "refresh", 0, where) != 0 ? 1 : 0;
  c.extra = r.stringOr(v, "extra", where);
  c.fireTime = r.intOr(v, "fireTime", 0, where);
  c.recallCnt = static_cast<int32_t>(r.intOr(v, "recallCnt", 0, where));
  c.roomId = r.stringOr(v, "roomId", where);
  return c;
}

void registerFields(Item& item, const char* name, int32_t zero, const char* ip, uint16_t port,
                    int32_t addrKind) {
  item.set("name", name != nullptr ? name : "")
      .set("zero", int64_t{zero})
      .set("ip", ip != nullptr ? ip : "")
      .set("port", int64_t{port})
      .set("addrKind", int64_t{addrKind});
}

void resultFields(Item& item, uint16_t cmdId, uint32_t word, const imsdk::resp_commonResult& r) {
  item.set("cmd", int64_t{cmdId})
      .set("word", int64_t{word})
      .set("id", r.id)
      .set("result", int64_t{r.result})
      .set("answer", r.extend);
}

void cacheFields(Item& item, const com::zbq::im::ap::SessionTicket& t) {
  item.set("ticketValue", t.value)
      .set("ticketText", t.text)
      .set("op", int64_t{t.param.op})
      .set("key", t.param.key)
      .set("field1", t.param.field1)
      .set("field2", t.param.field2);
}

void envelopeFields(Item& item, uint16_t cmd, const void* block) {
  const auto* env = static_cast<const imsdk::cmdEnvelope*>(block);
  auto* record = env != nullptr ? static_cast<imsdk::_sdkcmd_base*>(env->record) : nullptr;
  if (auto* extra = dynamic_cast<imsdk::req_mrtc_extra*>(record)) {
    extraFields(item, extra->type, extra->cmd, extra->extend);
  } else if (auto* request = dynamic_cast<imsdk::req_mrtc_request*>(record)) {
    requestFields(item, cmd, *request);
  } else {
    item.set("cmd", int64_t{cmd});
  }
  if (record != nullptr) item.set("id", record->id);
  item.set("record", int64_t{record != nullptr ? 1 : 0});
  if (env != nullptr) item.set("word", int64_t{env->word});
}

void appPostFields(Item& item, uint16_t cmdId, const void* block) {
  const auto* env = static_cast<const imsdk::cmdEnvelope*>(block);
  auto* record = env != nullptr ? static_cast<imsdk::_sdkcmd_base*>(env->record) : nullptr;
  if (auto* event = dynamic_cast<imsdk::resp_mrtcEvent*>(record)) {
    item.kind = kind::kEvent;
    eventFields(item, toEvent(*event));
    item.set("id", event->id).set("result", int64_t{event->result});
  } else if (auto* result = dynamic_cast<imsdk::resp_commonResult*>(record)) {
    item.kind = kind::kResult;
    resultFields(item, cmdId, env->word, *result);
  } else {
    item.kind = kind::kResult;
    item.set("cmd", int64_t{cmdId}).set("record", int64_t{0});
  }
  if (env != nullptr) item.set("word", int64_t{env->word});
}

void dispatchFields(Item& item, uint16_t cmdId, const void* data, int32_t len) {
  if (cmdId == imsdk::kCmdTimer && data != nullptr) {
    item.kind = kind::kTimer;
    timerRecordFields(item, *static_cast<const imsdk::timerCmd*>(data));
  } else {
    item.kind = kind::kPost;
    envelopeFields(item, cmdId, data);
  }
  item.set("len", int64_t{len});
}

imsdk::req_mrtc_request readRequestRecord(const Reader& r, const JValue& v,
                                          const std::string& where) {
  RequestFields q;
  readRequestFields(r, v, where, q);
  imsdk::req_mrtc_request record = toRecord(q);
  record.id = r.intOr(v, "id", 0, where);
  return record;
}

// The item's own "kind" comes first; a request's "kind" field may follow it
// under the same name.
Item readItem(const Reader& r, const JValue& v, const std::string& where) {
  r.object(v, where);
  Item item;
  item.t = r.integer(r.required(v, "t", where), where, "t");
  item.client = r.string(r.required(v, "client", where), where, "client");
  bool kindSeen = false;
  for (auto it = v.MemberBegin(); it != v.MemberEnd(); ++it) {
    std::string key(it->name.GetString(), it->name.GetStringLength());
    if (key == "t" || key == "client") continue;
    if (key == "kind" && !kindSeen) {
      item.kind = r.string(it->value, where, "kind");
      kindSeen = true;
    } else if (it->value.IsInt64()) {
      item.fields.push_back({key, it->value.GetInt64()});
    } else if (it->value.IsString()) {
      item.fields.push_back({key, r.string(it->value, where, key.c_str())});
    } else {
      item.fields.push_back({key, r.ids(it->value, where, key.c_str())});
    }
  }
  if (!kindSeen) r.fail(where, "\"kind\" is missing");
  return item;
}

}  // namespace codec
