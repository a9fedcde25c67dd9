#include "timeline.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "sdk_cmd.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"

namespace mrtcsim {

namespace {

using codec::idsText;
using codec::jsonString;

std::string stamp(int64_t t) {
  char buf[32];
  std::snprintf(buf, sizeof(buf), "[%5" PRId64 ".%03" PRId64 "]", t / 1000, t % 1000);
  return buf;
}

thread_local size_t tTextLimit = 0;

// Long texts (cards, event extends) cut for reading, with what was left out.
std::string cut(const std::string& text) {
  if (tTextLimit == 0 || text.size() <= tTextLimit) return text;
  size_t n = tTextLimit;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
    --n;  // whole UTF-8 characters
  return text.substr(0, n) + "...(" + std::to_string(text.size() - n) + " more bytes)";
}

// " key=value" when the field is present and not empty or zero.
void opt(std::ostringstream& out, const Item& item, const std::string& key,
         const std::string& label) {
  const Value* v = item.find(key);
  if (v == nullptr) return;
  if (auto* n = std::get_if<int64_t>(v); n != nullptr && *n == 0) return;
  if (auto* s = std::get_if<codec::Text>(v); s != nullptr && s->empty()) return;
  if (auto* l = std::get_if<IdList>(v); l != nullptr && l->empty()) return;
  out << " " << label << "=" << cut(valueText(*v));
}

std::string messageLabel(const Item& item) {
  int64_t type = item.num("type");
  std::string command = item.str("command");
  if (type == imsdkmrtc::kMsgTypeWeakHint) return "hint";
  if (type == imsdkmrtc::kMsgTypeCard) return "card";
  if (type == imsdkmrtc::kMsgTypeShareText) return "shared text";
  if (command.empty()) return "message";
  return item.str("flag") == imsdkmrtc::texts::wire::kFlagRecall ? command + " (recall)" : command;
}

void renderRequest(std::ostringstream& out, const Item& item) {
  int64_t cmd = item.num("cmd");
  out << "request " << cmd << " " << requestName(cmd);
  if (cmd == imsdk::kCmdExtra) {
    out << " type=" << item.num("type");
    opt(out, item, "cmdText", "cmd");
    opt(out, item, "extend", "extend");
  } else {
    opt(out, item, "annotation", "annotation");
    opt(out, item, "groupId", "group");
    opt(out, item, "roomId", "room");
    opt(out, item, "roomName", "roomName");
    opt(out, item, "members", "members");
    opt(out, item, "extend", "extend");
  }
  if (item.find("by") != nullptr) out << " (" << item.str("by") << ")";
  if (item.find("result") != nullptr) {
    out << " -> " << item.num("result");
    opt(out, item, "answer", "answer");
  } else if (cmd != imsdk::kCmdKeepAlive) {
    out << " -> no answer";
  }
}

}  // namespace

std::string renderText(const Item& item, const TextOptions& options) {
  const bool withLogs = options.withLogs;
  tTextLimit = options.textLimit;
  if (item.quiet && !withLogs) return "";
  if (item.kind == kind::kLog && !withLogs) return "";
  if (item.kind == kind::kDeliver) return "";  // shown by the receiver's reactions
  std::ostringstream out;
  char who[64];
  std::snprintf(who, sizeof(who), " %-9s ", item.client.c_str());
  out << stamp(item.t) << who;
  if (item.kind == kind::kRequest) {
    renderRequest(out, item);
  } else if (item.kind == kind::kEvent) {
    int64_t type = item.num("type");
    out << "event   " << type << " " << eventName(type);
    opt(out, item, "annotation", "annotation");
    opt(out, item, "senderId", "sender");
    opt(out, item, "groupId", "group");
    opt(out, item, "roomId", "room");
    opt(out, item, "onwerId", "owner");
    opt(out, item, "selects", "selects");
    opt(out, item, "members", "members");
    opt(out, item, "extend", "extend");
  } else if (item.kind == kind::kMessage || item.kind == kind::kInsert) {
    out << (item.kind == kind::kMessage ? "send    " : "insert  ") << messageLabel(item)
        << " type=" << item.num("type") << " to " << item.num("target");
    if (item.num("chat") != item.num("target")) out << " (for " << item.num("chat") << ")";
    opt(out, item, "limitRange", "limit");
    opt(out, item, "properties", "properties");
    out << " " << cut(item.str("body"));
  } else if (item.kind == kind::kTimeout) {
    out << "time-out type=" << item.num("type") << " (" << timeoutName(item.num("type")) << ")";
  } else if (item.kind == kind::kInject) {
    out << "inject  as user " << item.num("senderId") << " (" << deviceName(item.num("device"))
        << ") type=" << item.num("type") << " to " << item.num("target");
    opt(out, item, "limitRange", "limit");
    opt(out, item, "properties", "properties");
    out << " " << cut(item.str("body"));
  } else if (item.kind == kind::kPull) {
    out << "pull    " << item.num("count") << " offline message(s)";
    opt(out, item, "statuses", "statuses");
  } else if (item.kind == kind::kLifecycle) {
    out << item.str("event");
    opt(out, item, "text", "text");
  } else if (item.kind == kind::kOnline) {
    if (item.num("partition") != 0) {
      out << (item.num("online") != 0 ? "partition over" : "cut off (partition)");
    } else {
      out << (item.num("online") != 0 ? "back online" : "vanished (offline, application stopped)");
    }
  } else if (item.kind == kind::kTimer) {
    out << "timer   " << item.str("op") << " " << timeoutName(item.num("type"));
    if (item.str("op") == "arm") out << " " << item.num("seconds") << " s";
    if (item.num("refresh") != 0) out << " (refresh)";
    opt(out, item, "key", "key");
    opt(out, item, "members", "members");
  } else if (item.kind == kind::kLog) {
    out << "log     " << item.str("func") << ": " << item.str("text");
  } else {
    out << item.kind;
    for (const Field& f : item.fields) out << " " << f.key << "=" << valueText(f.value);
  }
  return out.str();
}

}  // namespace mrtcsim
