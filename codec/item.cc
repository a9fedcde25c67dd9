#include "item.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <unordered_map>
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
  thread_local Text last;
  if (last.str() != s) last = Text(s);
  return last;
}

IdList::IdList(std::initializer_list<int64_t> ids) : IdList(std::vector<int64_t>(ids)) {}

IdList::IdList(std::vector<int64_t> ids) {
  if (!ids.empty()) ids_ = std::make_shared<std::vector<int64_t>>(std::move(ids));
}

const std::vector<int64_t>& IdList::vec() const {
  static const std::vector<int64_t> kEmpty;
  return ids_ ? *ids_ : kEmpty;
}

std::vector<int64_t>& IdList::own() {
  if (!ids_) {
    ids_ = std::make_shared<std::vector<int64_t>>();
  } else if (ids_.use_count() > 1) {
    ids_ = std::make_shared<std::vector<int64_t>>(*ids_);
  }
  return *ids_;
}

namespace {

// The lists handed out on one thread, by a hash of their content. Entries
// are weak: a list lives as long as the records that hold it, and entries
// whose list is gone are swept out whenever the pool has doubled since the
// last sweep, so a long-running host keeps only what its records still use.
class IdPool {
 public:
  std::shared_ptr<std::vector<int64_t>> find(const std::vector<int64_t>& ids, uint64_t hash) {
    auto range = lists_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      std::shared_ptr<std::vector<int64_t>> list = it->second.lock();
      // A list changed after it was pooled (a copy that owned it alone)
      // keeps its old hash: the content decides.
      if (list && *list == ids) return list;
    }
    return nullptr;
  }

  void add(uint64_t hash, const std::shared_ptr<std::vector<int64_t>>& list) {
    if (lists_.size() >= sweepAt_) {
      for (auto it = lists_.begin(); it != lists_.end();) {
        it = it->second.expired() ? lists_.erase(it) : std::next(it);
      }
      sweepAt_ = std::max(kMinSweep, lists_.size() * 2);
    }
    lists_.emplace(hash, list);
  }

 private:
  static constexpr size_t kMinSweep = 64;
  std::unordered_multimap<uint64_t, std::weak_ptr<std::vector<int64_t>>> lists_;
  size_t sweepAt_ = kMinSweep;
};

uint64_t hashIds(const std::vector<int64_t>& ids) {
  // FNV-1a over whole ids, then a final mix: cheap next to copying them.
  uint64_t h = 0xcbf29ce484222325ull ^ ids.size();
  for (int64_t id : ids) h = (h ^ static_cast<uint64_t>(id)) * 0x100000001b3ull;
  return h ^ (h >> 29);
}

}  // namespace

IdList sharedIds(const std::vector<int64_t>& ids) {
  if (ids.empty()) return IdList();
  // Most records repeat the list made just before them.
  thread_local IdList last;
  if (last.vec() == ids) return last;
  thread_local IdPool pool;
  const uint64_t hash = hashIds(ids);
  std::shared_ptr<std::vector<int64_t>> list = pool.find(ids, hash);
  if (!list) {
    list = std::make_shared<std::vector<int64_t>>(ids);
    pool.add(hash, list);
  }
  last = IdList(std::move(list));
  return last;
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
