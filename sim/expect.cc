#include "expect.h"

#include <algorithm>

namespace mrtcsim {

namespace {

// The text that "contains" looks in.
std::string searchedText(const Item& item) {
  if (item.kind == kind::kLog) return item.str("text");
  if (item.kind == kind::kEvent) return item.str("extend");
  if (item.kind == kind::kRequest) return item.str("answer");
  return item.str("body");
}

bool sameValue(const Value& want, const Value& have) {
  if (want.index() != have.index()) return false;
  if (auto* w = std::get_if<IdList>(&want)) {
    // Id lists compare as sets with repeats: the plug-in may reorder them.
    std::vector<int64_t> a = w->vec();
    std::vector<int64_t> b = std::get<IdList>(have).vec();
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    return a == b;
  }
  return want == have;
}

}  // namespace

bool matches(const Expectation& want, const Item& item) {
  if (item.kind != want.kind) return false;
  for (const Field& f : want.want) {
    if (f.key == "client") {
      auto* name = std::get_if<codec::Text>(&f.value);
      if (name == nullptr || name->str() != item.client) return false;
      continue;
    }
    const Value* have = item.find(f.key);
    if (have == nullptr || !sameValue(f.value, *have)) return false;
  }
  if (!want.contains.empty() && searchedText(item).find(want.contains) == std::string::npos) {
    return false;
  }
  return true;
}

std::string describe(const Expectation& want) {
  std::string out = want.kind + " {";
  bool first = true;
  for (const Field& f : want.want) {
    out += (first ? "" : ",") + ("\"" + f.key + "\":") + valueJson(f.value);
    first = false;
  }
  if (!want.contains.empty()) {
    out += (first ? "" : ",") + std::string("\"contains\":") + valueJson(want.contains);
  }
  return out + "}";
}

std::vector<std::string> check(const std::vector<Expectation>& expects,
                               const std::vector<Item>& items, size_t from, size_t to,
                               const std::string& context) {
  std::vector<std::string> failures;
  to = std::min(to, items.size());
  for (const Expectation& e : expects) {
    std::vector<const Item*> hits;
    std::vector<const Item*> sameKind;
    for (size_t i = from; i < to; ++i) {
      if (matches(e, items[i])) hits.push_back(&items[i]);
      if (items[i].kind == e.kind) sameKind.push_back(&items[i]);
    }
    bool ok = e.count < 0 ? !hits.empty() : static_cast<int>(hits.size()) == e.count;
    if (ok) continue;
    std::string msg = context + ": expectation " + e.label + " failed: " + describe(e);
    const std::vector<const Item*>& shown = hits.empty() ? sameKind : hits;
    if (e.count < 0) {
      msg += " did not happen";
    } else {
      msg += " happened " + std::to_string(hits.size()) + " time(s), expected " +
             std::to_string(e.count);
    }
    if (shown.empty()) {
      msg += "; no " + e.kind + " item in this window";
    } else {
      msg += hits.empty() ? "; " + e.kind + " items in this window:" : "; matching items:";
      size_t n = 0;
      for (const Item* it : shown) {
        if (++n > 8) {
          msg += "\n    ... " + std::to_string(shown.size() - 8) + " more";
          break;
        }
        msg += "\n    " + renderJson(*it);
      }
    }
    failures.push_back(msg);
  }
  return failures;
}

}  // namespace mrtcsim
