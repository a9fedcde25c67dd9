#include "describe.h"

#include "base/json.h"
#include "signalling/card_texts.h"
#include "signalling/wire_texts.h"
#include "timer/timeout_record.h"

namespace codec {

void eventFields(Item& item, const UiEvent& e) {
  // Room for the ten below at once, not grown by doubling to sixteen.
  item.fields.reserve(item.fields.size() + 10);
  item.set("type", static_cast<int64_t>(e.eventType))
      .set("annotation", e.annotation)
      .set("senderId", e.senderId)
      .set("groupId", e.groupId)
      .set("onwerId", e.onwerId)
      .set("roomId", e.roomId)
      .set("roomName", e.roomName)
      .set("selects", sharedIds(e.selects))
      .set("members", sharedIds(e.members))
      .set("extend", sharedText(e.extend));
}

void sentFields(Item& item, uint16_t type, int64_t target, int64_t chat, const IdList& limitRange,
                const std::string& properties, const std::string& body) {
  item.set("type", static_cast<int64_t>(type))
      .set("target", target)
      .set("chat", chat)
      .set("limitRange", limitRange)
      .set("properties", properties);
  describeBody(item, body);
  item.set("body", sharedText(body));
}

void insertFields(Item& item, uint16_t type, int64_t target, const IdList& limitRange,
                  const std::string& body) {
  item.set("type", static_cast<int64_t>(type))
      .set("target", target)
      .set("chat", target)
      .set("limitRange", limitRange);
  describeBody(item, body);
  item.set("body", sharedText(body));
}

void deliverFields(Item& item, const std::string& from, int64_t fromUser, int64_t fromDevice,
                   uint16_t type, int64_t target, int64_t chat, const std::string& body) {
  deliverFields(item, from, fromUser, fromDevice, type, target, chat, quoteBody(body));
}

void deliverFields(Item& item, const std::string& from, int64_t fromUser, int64_t fromDevice,
                   uint16_t type, int64_t target, int64_t chat, const QuotedBody& body) {
  item.set("from", from)
      .set("fromUser", fromUser)
      .set("fromDevice", fromDevice)
      .set("type", static_cast<int64_t>(type))
      .set("target", target)
      .set("chat", chat);
  for (const Field& f : body.fields) item.set(f.key, f.value);
  item.set("body", body.text);
}

void timerFields(Item& item, const imsdk::timerCmd& c) {
  item.set("op", c.op == imsdkmrtc::kTimerAdd      ? "arm"
                 : c.op == imsdkmrtc::kTimerRemove ? "cancel"
                                                   : "op " + std::to_string(c.op))
      .set("type", int64_t{c.type})
      .set("category", int64_t{c.category})
      .set("key", c.key)
      .set("members", sharedIds(c.members));
  if (c.op == imsdkmrtc::kTimerAdd) {
    item.set("seconds", int64_t{c.duration}).set("mode", int64_t{c.memberMode});
    if (c.refresh != 0) item.set("refresh", int64_t{1});
  }
}

void requestFields(Item& item, uint16_t cmd, const imsdk::req_mrtc_request& fields) {
  item.set("cmd", static_cast<int64_t>(cmd));
  if (fields.kind != 0) item.set("kind", static_cast<int64_t>(fields.kind));
  item.set("annotation", fields.annotation)
      .set("groupId", fields.groupId)
      .set("roomId", fields.roomId)
      .set("roomName", fields.roomName)
      .set("members", sharedIds(fields.members))
      .set("extend", fields.extend);
}

void extraFields(Item& item, int64_t type, const std::string& cmd, const std::string& extend) {
  item.set("cmd", int64_t{imsdk::kCmdExtra})
      .set("type", type)
      .set("cmdText", cmd)
      .set("extend", extend);
}

void answerFields(Item& item, const std::vector<Result>& results, size_t from, int64_t id) {
  item.set("answered", int64_t{0});
  for (size_t i = from; i < results.size(); ++i) {
    if (results[i].id != id) continue;
    item.set("answered", int64_t{1});
    item.set("result", static_cast<int64_t>(results[i].result));
    if (!results[i].extend.empty()) item.set("answer", results[i].extend);
  }
}

namespace {

std::vector<Field> bodyFields(const std::string& body) {
  std::vector<Field> out;
  imsdkmrtc::jsonDocument doc;
  doc.Parse(body.c_str(), body.size());
  if (doc.HasParseError() || !doc.IsObject()) return out;
  namespace wire = imsdkmrtc::texts::wire;
  for (const char* key : {wire::kType, wire::kFlag, wire::kAnnotation}) {
    auto it = doc.FindMember(key);
    if (it == doc.MemberEnd() || !it->value.IsString()) continue;
    // The command's name goes by "command": "type" is the message type.
    out.push_back({std::string(key) == wire::kType ? "command" : key,
                   std::string(it->value.GetString(), it->value.GetStringLength())});
  }
  return out;
}

}  // namespace

QuotedBody quoteBody(const std::string& body) { return {bodyFields(body), sharedText(body)}; }

void describeBody(Item& item, const std::string& body) {
  // A group message reaches every member with the same body: its recipients
  // are described one after another, and the body (which lists every member)
  // is parsed once rather than once per recipient.
  thread_local std::string lastBody;
  thread_local std::vector<Field> lastFields;  // of "", which is no object: none
  if (body != lastBody) {
    lastFields = bodyFields(body);
    lastBody = body;
  }
  for (const Field& f : lastFields) item.set(f.key, f.value);
}

std::string textMember(const std::string& text, const char* key) {
  imsdkmrtc::jsonDocument doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError() || !doc.IsObject()) return "";
  const json::Value* obj = &doc;
  auto info = doc.FindMember(imsdkmrtc::texts::card::kKeyExtendInfo);
  if (doc.FindMember(key) == doc.MemberEnd() && info != doc.MemberEnd() && info->value.IsObject()) {
    obj = &info->value;
  }
  auto it = obj->FindMember(key);
  if (it == obj->MemberEnd()) return "";
  if (it->value.IsString()) return std::string(it->value.GetString(), it->value.GetStringLength());
  if (it->value.IsInt64()) return std::to_string(it->value.GetInt64());
  return "";
}

}  // namespace codec
