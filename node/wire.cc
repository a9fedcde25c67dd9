#include "wire.h"

#include <cstdlib>
#include <memory>

#include "tools.h"

namespace node {

namespace {

constexpr const char* kPlainBody = "(call signalling)";

void addText(xmpp_ctx_t* ctx, xmpp_stanza_t* parent, const char* name, const std::string& text) {
  xmpp_stanza_t* child = xmpp_stanza_new(ctx);
  xmpp_stanza_set_name(child, name);
  xmpp_stanza_t* content = xmpp_stanza_new(ctx);
  xmpp_stanza_set_text_with_size(content, text.data(), text.size());
  xmpp_stanza_add_child_ex(child, content, 0);
  xmpp_stanza_add_child_ex(parent, child, 0);
}

void addEmpty(xmpp_ctx_t* ctx, xmpp_stanza_t* parent, const char* name, const char* ns) {
  xmpp_stanza_t* child = xmpp_stanza_new(ctx);
  xmpp_stanza_set_name(child, name);
  xmpp_stanza_set_ns(child, ns);
  xmpp_stanza_add_child_ex(parent, child, 0);
}

void setNumber(xmpp_stanza_t* s, const char* name, int64_t value) {
  xmpp_stanza_set_attribute(s, name, std::to_string(value).c_str());
}

bool number(xmpp_stanza_t* s, const char* name, int64_t& out) {
  const char* text = xmpp_stanza_get_attribute(s, name);
  if (text == nullptr || !tools::isNumber(text)) return false;
  out = tools::strToInt64(text);
  return true;
}

std::string childText(xmpp_stanza_t* s, const char* name) {
  xmpp_stanza_t* child = xmpp_stanza_get_child_by_name(s, name);
  if (child == nullptr) return "";
  std::unique_ptr<char, decltype(&std::free)> text(xmpp_stanza_get_text(child), &std::free);
  return text ? std::string(text.get()) : std::string();
}

std::string joinIds(const std::vector<int64_t>& ids) {
  std::string out;
  for (int64_t id : ids) out += (out.empty() ? "" : ",") + std::to_string(id);
  return out;
}

bool splitIds(const char* text, std::vector<int64_t>& out) {
  if (text == nullptr) return true;
  std::string rest(text);
  while (!rest.empty()) {
    size_t comma = rest.find(',');
    std::string one = rest.substr(0, comma);
    if (!tools::isNumber(one)) return false;
    out.push_back(tools::strToInt64(one));
    rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
  }
  return true;
}

}  // namespace

xmpp_stanza_t* toStanza(xmpp_ctx_t* ctx, const WireMessage& m, const std::string& to) {
  const std::string id = "m" + std::to_string(m.senderId) + "-" + std::to_string(m.msgId);
  xmpp_stanza_t* msg = xmpp_message_new(ctx, "chat", to.c_str(), id.c_str());
  xmpp_message_set_body(msg, kPlainBody);
  xmpp_stanza_t* el = xmpp_stanza_new(ctx);
  xmpp_stanza_set_name(el, kWireElement);
  xmpp_stanza_set_ns(el, kWireNs);
  setNumber(el, "id", m.msgId);
  setNumber(el, "sender", m.senderId);
  setNumber(el, "device", m.senderDevice);
  setNumber(el, "target", m.targetId);
  setNumber(el, "chat", m.chatId);
  if (m.toGroup) xmpp_stanza_set_attribute(el, "group", "1");
  setNumber(el, "type", m.msgType);
  setNumber(el, "flag", m.msgFlag);
  setNumber(el, "time", m.msgTime);
  if (!m.limitRange.empty()) xmpp_stanza_set_attribute(el, "limit", joinIds(m.limitRange).c_str());
  addText(ctx, el, "body", m.body);
  if (!m.properties.empty()) addText(ctx, el, "ext", m.properties);
  xmpp_stanza_add_child_ex(msg, el, 0);
  // Archived even though ordinary clients would see only the plain body.
  addEmpty(ctx, msg, "store", "urn:xmpp:hints");
  return msg;
}

bool fromStanza(xmpp_stanza_t* message, WireMessage& out) {
  xmpp_stanza_t* el = xmpp_stanza_get_child_by_name_and_ns(message, kWireElement, kWireNs);
  if (el == nullptr) return false;
  int64_t device = 0, type = 0, flag = 0;
  if (!number(el, "id", out.msgId) || !number(el, "sender", out.senderId) ||
      !number(el, "device", device) || !number(el, "target", out.targetId) ||
      !number(el, "chat", out.chatId) || !number(el, "type", type) || !number(el, "flag", flag) ||
      !number(el, "time", out.msgTime)) {
    return false;
  }
  if (type < 0 || type > 0xffff || flag < 0 || flag > 0xff || device < 0 || device > 0xffff)
    return false;
  out.senderDevice = static_cast<int32_t>(device);
  out.msgType = static_cast<uint16_t>(type);
  out.msgFlag = static_cast<uint8_t>(flag);
  const char* group = xmpp_stanza_get_attribute(el, "group");
  out.toGroup = group != nullptr && std::string(group) == "1";
  out.limitRange.clear();
  if (!splitIds(xmpp_stanza_get_attribute(el, "limit"), out.limitRange)) return false;
  out.body = childText(el, "body");
  out.properties = childText(el, "ext");
  return true;
}

}  // namespace node
