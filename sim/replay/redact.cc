// Redaction works in two passes: the first collects what identifies people
// (ids, names, room ids, tokens, addresses) from the fields that carry them;
// the second rewrites every field, and every text that might quote them
// (bodies, properties, extends, log lines), with stable stand-ins. Ids map in
// their own order, so that a plug-in that compares or sorts ids behaves the
// same on the redacted trace.
#include "redact.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <regex>
#include <set>
#include <utility>

#include "crossing.h"
#include "signalling/wire_texts.h"
#include "trace.h"

namespace mrtcsim {
namespace replay {

namespace {

using codec::Item;

// The service account is a fixed number of the protocol, not a person.
constexpr int64_t kServiceAccount = imsdkmrtc::texts::wire::kServiceAccount;
constexpr int64_t kFirstStandInId = 7000001;

const std::set<std::string>& idKeys() {
  static const std::set<std::string> k = {"user",    "infoUser", "fromUser",  "senderId",
                                          "target",  "chat",     "groupId",   "onwerId",
                                          "members", "selects",  "limitRange"};
  return k;
}

std::string base64(const std::string& in) {
  static const char* kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    uint32_t n = (uint8_t(in[i]) << 16) | (uint8_t(in[i + 1]) << 8) | uint8_t(in[i + 2]);
    for (int s = 18; s >= 0; s -= 6) out += kAlphabet[(n >> s) & 63];
  }
  if (i < in.size()) {
    uint32_t n = uint8_t(in[i]) << 16;
    if (i + 1 < in.size()) n |= uint8_t(in[i + 1]) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += i + 1 < in.size() ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

class Redactor {
 public:
  void collect(const Item& it);
  void seal();
  Item apply(const Item& it) const;

 private:
  void text(const std::string& original, const std::string& standIn);
  void addresses(const std::string& s);
  std::string rewrite(const std::string& s) const;
  int64_t id(int64_t v) const {
    auto it = ids_.find(v);
    return it == ids_.end() ? v : it->second;
  }

  std::map<int64_t, int64_t> ids_;
  std::map<std::string, std::string> texts_;
  std::set<std::string> names_, rooms_, tokens_, hosts_;
};

void Redactor::addresses(const std::string& s) {
  static const std::regex kHost(
      R"(([a-z][a-z0-9+.-]*://)?([A-Za-z0-9-]+(\.[A-Za-z0-9-]+)+)(:\d+)?)");
  for (auto it = std::sregex_iterator(s.begin(), s.end(), kHost); it != std::sregex_iterator();
       ++it) {
    const std::string host = (*it)[2].str();
    // A host name or a dotted address; not a version ("1.8.8") or a decimal.
    const bool url = (*it)[1].matched;
    const bool dotted = std::count(host.begin(), host.end(), '.') == 3 &&
                        std::all_of(host.begin(), host.end(),
                                    [](char c) { return std::isdigit(uint8_t(c)) || c == '.'; });
    if (url || dotted) hosts_.insert(host);
  }
}

void Redactor::collect(const Item& it) {
  for (const codec::Field& f : it.fields) {
    if (idKeys().count(f.key) != 0) {
      if (auto* n = std::get_if<int64_t>(&f.value)) ids_[*n] = 0;
      if (auto* l = std::get_if<codec::IdList>(&f.value)) {
        for (int64_t v : *l) ids_[v] = 0;
      }
    }
    const auto* t = std::get_if<codec::Text>(&f.value);
    if (t == nullptr || t->empty()) continue;
    const std::string& s = t->str();
    if (f.key == "roomId") rooms_.insert(s);
    if (f.key == "roomName" || (f.key == "name" && it.kind == codec::kind::kQuery))
      names_.insert(s);
    if (it.kind == codec::kind::kQuery && (f.key == "value" || f.key == "ticketText"))
      tokens_.insert(s);
    if (f.key == "ip") hosts_.insert(s);
    // Addresses come from the host's answers; the plug-in's own texts (its
    // card page, say) are the same for everybody and must stay for the replay.
    if (it.kind == codec::kind::kQuery) addresses(s);
  }
  if (it.str("query") == codec::query::kOwnUser) ids_[it.num("ret")] = 0;
}

void Redactor::text(const std::string& original, const std::string& standIn) {
  if (!original.empty()) texts_.emplace(original, standIn);
}

void Redactor::seal() {
  ids_.erase(kServiceAccount);
  ids_.erase(0);
  int64_t next = kFirstStandInId;
  for (auto& [original, standIn] : ids_) standIn = next++;
  int n = 0;
  for (const std::string& name : names_) {
    const std::string standIn = "Name" + std::to_string(++n);
    text(name, standIn);
    text(base64(name), base64(standIn));
  }
  n = 0;
  for (const std::string& room : rooms_) text(room, "room" + std::to_string(++n));
  n = 0;
  for (const std::string& token : tokens_) text(token, "token" + std::to_string(++n));
  n = 0;
  for (const std::string& host : hosts_) text(host, "host" + std::to_string(++n) + ".invalid");
}

// Longest stand-in first at each place; digit runs that are ids are mapped.
std::string Redactor::rewrite(const std::string& s) const {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    if (std::isdigit(uint8_t(s[i])) && (i == 0 || !std::isalnum(uint8_t(s[i - 1])))) {
      size_t j = i;
      while (j < s.size() && std::isdigit(uint8_t(s[j]))) ++j;
      if (j - i < 19 && (j == s.size() || !std::isalpha(uint8_t(s[j])))) {
        const int64_t v = std::stoll(s.substr(i, j - i));
        if (ids_.count(v) != 0) {
          out += std::to_string(id(v));
          i = j;
          continue;
        }
      }
    }
    size_t best = 0;
    const std::string* with = nullptr;
    for (const auto& [original, standIn] : texts_) {
      if (original.size() > best && s.compare(i, original.size(), original) == 0) {
        best = original.size();
        with = &standIn;
      }
    }
    if (with != nullptr) {
      out += *with;
      i += best;
    } else {
      out += s[i++];
    }
  }
  return out;
}

Item Redactor::apply(const Item& it) const {
  Item out = it;
  for (codec::Field& f : out.fields) {
    if (auto* n = std::get_if<int64_t>(&f.value)) {
      if (idKeys().count(f.key) != 0 ||
          (f.key == "ret" && it.str("query") == codec::query::kOwnUser)) {
        *n = id(*n);
      }
    } else if (auto* l = std::get_if<codec::IdList>(&f.value)) {
      if (idKeys().count(f.key) != 0) {
        std::vector<int64_t> renamed;
        renamed.reserve(l->size());
        for (int64_t v : *l) renamed.push_back(id(v));
        *l = codec::IdList(std::move(renamed));
      }
    } else if (auto* t = std::get_if<codec::Text>(&f.value)) {
      const std::string& s = t->str();
      *t = f.key == "plugin" ? s.substr(s.rfind('/') + 1) : rewrite(s);
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> redactTraces(const std::vector<TraceText>& traces) {
  std::vector<std::vector<Entry>> entries;
  Redactor r;
  for (const TraceText& t : traces) {
    entries.push_back(readEntries(t.text, t.file));
    for (const Entry& e : entries.back()) r.collect(e.item);
  }
  r.seal();
  std::vector<std::string> out;
  for (const std::vector<Entry>& file : entries) {
    out.emplace_back();
    for (const Entry& e : file) out.back() += codec::renderJson(r.apply(e.item)) + "\n";
  }
  return out;
}

std::string redactTrace(const std::string& text, const std::string& file) {
  return redactTraces({{text, file}}).front();
}

}  // namespace replay
}  // namespace mrtcsim
