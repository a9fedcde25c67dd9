#include "timeline.h"

#include <cinttypes>
#include <cstdio>
#include <sstream>

namespace mrtcsim {

namespace {

// Length of the valid UTF-8 sequence starting at s[i], 0 when there is none.
size_t utf8Length(const std::string& s, size_t i) {
  const unsigned char c = static_cast<unsigned char>(s[i]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  }
  return n;
}

// A JSON string. Bytes that are not UTF-8 (the plug-in logs a few GB2312
// characters) are written as \u00XX so that every line stays valid JSON.
std::string jsonString(const std::string& s) {
  std::string out = "\"";
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      size_t n = utf8Length(s, i);
      if (n == 0) {
        char buf[8];
        std::snprintf(buf, sizeof(buf), "\\u%04x", c);
        out += buf;
      } else {
        out.append(s, i, n);
        i += n - 1;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof(buf), "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::string idsText(const IdList& ids) {
  std::string out = "[";
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) out += ",";
    out += std::to_string(ids[i]);
  }
  return out + "]";
}

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
  if (auto* s = std::get_if<std::string>(v); s != nullptr && s->empty()) return;
  if (auto* l = std::get_if<IdList>(v); l != nullptr && l->empty()) return;
  out << " " << label << "=" << cut(valueText(*v));
}

std::string messageLabel(const Item& item) {
  int64_t type = item.num("type");
  std::string command = item.str("command");
  if (type == 8) return "hint";
  if (type == 26) return "card";
  if (type == 2) return "shared text";
  if (command.empty()) return "message";
  return item.str("flag") == "recall" ? command + " (recall)" : command;
}

void renderRequest(std::ostringstream& out, const Item& item) {
  int64_t cmd = item.num("cmd");
  out << "request " << cmd << " " << requestName(cmd);
  if (cmd == 24006) {
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
  } else if (cmd != 24008) {
    out << " -> no answer";
  }
}

}  // namespace

Item& Item::set(const std::string& key, Value value) {
  for (Field& f : fields) {
    if (f.key == key) {
      f.value = std::move(value);
      return *this;
    }
  }
  fields.push_back({key, std::move(value)});
  return *this;
}

const Value* Item::find(const std::string& key) const {
  for (const Field& f : fields) {
    if (f.key == key) return &f.value;
  }
  return nullptr;
}

int64_t Item::num(const std::string& key, int64_t fallback) const {
  const Value* v = find(key);
  if (v == nullptr) return fallback;
  auto* n = std::get_if<int64_t>(v);
  return n != nullptr ? *n : fallback;
}

std::string Item::str(const std::string& key) const {
  const Value* v = find(key);
  if (v == nullptr) return "";
  auto* s = std::get_if<std::string>(v);
  return s != nullptr ? *s : valueText(*v);
}

IdList Item::ids(const std::string& key) const {
  const Value* v = find(key);
  if (v == nullptr) return {};
  auto* l = std::get_if<IdList>(v);
  return l != nullptr ? *l : IdList{};
}

std::string valueJson(const Value& value) {
  if (auto* n = std::get_if<int64_t>(&value)) return std::to_string(*n);
  if (auto* s = std::get_if<std::string>(&value)) return jsonString(*s);
  return idsText(std::get<IdList>(value));
}

std::string valueText(const Value& value) {
  if (auto* n = std::get_if<int64_t>(&value)) return std::to_string(*n);
  if (auto* s = std::get_if<std::string>(&value)) return *s;
  return idsText(std::get<IdList>(value));
}

std::string renderJson(const Item& item) {
  std::string out = "{\"t\":" + std::to_string(item.t) + ",\"client\":" + jsonString(item.client) +
                    ",\"kind\":" + jsonString(item.kind);
  for (const Field& f : item.fields) out += "," + jsonString(f.key) + ":" + valueJson(f.value);
  return out + "}";
}

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

std::string requestName(int64_t cmdId) {
  switch (cmdId) {
    case 24001:
      return "call";
    case 24002:
      return "invite";
    case 24003:
      return "intoroom";
    case 24004:
      return "join";
    case 24005:
      return "hungup";
    case 24006:
      return "extra";
    case 24008:
      return "keepalive";
    case 24009:
      return "connectstate";
    case 24010:
      return "templetjoin";
    default:
      return "unknown";
  }
}

std::string eventName(int64_t type) {
  switch (type) {
    case 1:
      return "(incoming call)";
    case 2:
      return "(invited)";
    case 3:
      return "(entered room)";
    case 4:
      return "(hung up)";
    case 5:
      return "(talk finished)";
    case 6:
      return "(no answer)";
    case 7:
      return "(reply)";
    case 8:
      return "(board summary)";
    case 9:
      return "(board empty)";
    case 10:
      return "(talk state)";
    case 13:
      return "(conference finished)";
    case 21:
      return "(hint)";
    case 22:
      return "(card)";
    default:
      return "(unknown)";
  }
}

std::string timeoutName(int64_t type) {
  switch (type) {
    case 1:
      return "wait";
    case 2:
      return "ring";
    case 3:
      return "keep-alive";
    case 4:
      return "call card";
    case 5:
      return "invite card";
    case 7:
      return "recall";
    default:
      return "other";
  }
}

std::string deviceName(int64_t type) {
  switch (type) {
    case 1:
      return "pc";
    case 2:
      return "android";
    case 3:
      return "ios";
    case 4:
      return "merivox";
    case 5:
      return "h5";
    case 6:
      return "mediaserver";
    default:
      return "device " + std::to_string(type);
  }
}

}  // namespace mrtcsim
