#include "item.h"

#include <array>
#include <cstdio>
#include <utility>

namespace codec {

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

}  // namespace

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

namespace {

// Texts longer than this are held once for all copies; shorter ones fit in
// the string itself or cost less to copy than a shared count.
constexpr size_t kSharedTextFrom = 64;

}  // namespace

Text::Text(std::string s) {
  if (s.size() > kSharedTextFrom) {
    shared_ = std::make_shared<const std::string>(std::move(s));
  } else {
    inline_ = std::move(s);
  }
}

Text sharedText(const std::string& s) {
  if (s.size() <= kSharedTextFrom) return Text(s);
  // The few used last: each client's records of one group message (the
  // delivery, the UI event quoting it) come between other long texts, some
  // of them each client's own.
  struct Slot {
    Text text;
    uint64_t used = 0;
  };
  thread_local std::array<Slot, 4> recent;
  thread_local uint64_t clock = 0;
  Slot* oldest = &recent[0];
  for (Slot& slot : recent) {
    if (slot.used != 0 && slot.text.str() == s) {
      slot.used = ++clock;
      return slot.text;
    }
    if (slot.used < oldest->used) oldest = &slot;
  }
  oldest->text = Text(s);
  oldest->used = ++clock;
  return oldest->text;
}

std::string idsText(const IdList& ids) {
  std::string out = "[";
  for (size_t i = 0; i < ids.size(); ++i) {
    if (i > 0) out += ",";
    out += std::to_string(ids[i]);
  }
  return out + "]";
}

Item& Item::set(const std::string& key, Value value) & {
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
  auto* s = std::get_if<Text>(v);
  return s != nullptr ? s->str() : valueText(*v);
}

IdList Item::ids(const std::string& key) const {
  const Value* v = find(key);
  if (v == nullptr) return {};
  auto* l = std::get_if<IdList>(v);
  return l != nullptr ? *l : IdList{};
}

std::string valueJson(const Value& value) {
  if (auto* n = std::get_if<int64_t>(&value)) return std::to_string(*n);
  if (auto* s = std::get_if<Text>(&value)) return jsonString(s->str());
  return idsText(std::get<IdList>(value));
}

std::string valueText(const Value& value) {
  if (auto* n = std::get_if<int64_t>(&value)) return std::to_string(*n);
  if (auto* s = std::get_if<Text>(&value)) return s->str();
  return idsText(std::get<IdList>(value));
}

std::string renderJson(const Item& item) {
  std::string out = "{\"t\":" + std::to_string(item.t) + ",\"client\":" + jsonString(item.client) +
                    ",\"kind\":" + jsonString(item.kind);
  for (const Field& f : item.fields) out += "," + jsonString(f.key) + ":" + valueJson(f.value);
  return out + "}";
}

}  // namespace codec
