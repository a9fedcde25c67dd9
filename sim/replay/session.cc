#include "session.h"

#include "crossing.h"
#include "timeline.h"
#include "tools.h"

namespace mrtcsim {
namespace replay {

namespace {

constexpr size_t kStepsBefore = 6;

bool isStamp(const std::string& key) {
  return key == "seq" || key == "parent" || key == "thread" || key == "slot" || key == "service" ||
         key == "ret";
}

}  // namespace

int64_t Session::now() const { return tools::get_mill_sec() - startMs_; }

void Session::add(codec::Item it) {
  std::lock_guard<std::mutex> lk(mu_);
  // A result goes onto its request, as in a scenario's timeline.
  if (it.kind == codec::kind::kResult) {
    for (auto r = items_.rbegin(); r != items_.rend(); ++r) {
      if (r->kind != codec::kind::kRequest || r->client != it.client) continue;
      if (r->num("id") != it.num("id")) break;
      r->set("answered", int64_t{1}).set("result", it.num("result"));
      if (!it.str("answer").empty()) r->set("answer", it.str("answer"));
      break;
    }
    return;
  }
  if (it.kind == codec::kind::kRequest) it.set("answered", int64_t{0});
  items_.push_back(std::move(it));
}

std::vector<codec::Item> Session::items() const {
  std::lock_guard<std::mutex> lk(mu_);
  return items_;
}

bool Session::diverge(const std::string& client, const std::string& what, const Entry* recorded,
                      const codec::Item* produced) {
  std::lock_guard<std::mutex> lk(mu_);
  if (first_.found) return false;
  first_.found = true;
  first_.client = client;
  first_.what = what;
  first_.t = tools::get_mill_sec() - startMs_;
  if (recorded != nullptr) first_.recorded = recorded->where + ": " + recorded->line;
  if (produced != nullptr) first_.produced = codec::renderJson(*produced);
  TextOptions text;
  text.textLimit = 200;
  for (auto it = items_.rbegin(); it != items_.rend() && first_.before.size() < kStepsBefore;
       ++it) {
    if (it->client != client) continue;
    std::string line = renderText(*it, text);
    if (!line.empty()) first_.before.insert(first_.before.begin(), line);
  }
  return true;
}

bool Session::diverged() const {
  std::lock_guard<std::mutex> lk(mu_);
  return first_.found;
}

Divergence Session::first() const {
  std::lock_guard<std::mutex> lk(mu_);
  return first_;
}

void Session::countCompared() {
  std::lock_guard<std::mutex> lk(mu_);
  ++compared_;
}

int64_t Session::compared() const {
  std::lock_guard<std::mutex> lk(mu_);
  return compared_;
}

codec::Item bare(const codec::Item& entry) {
  codec::Item out;
  out.t = entry.t;
  out.client = entry.client;
  out.kind = entry.kind;
  for (const codec::Field& f : entry.fields) {
    if (!isStamp(f.key)) out.fields.push_back(f);
  }
  return out;
}

std::string difference(const codec::Item& recorded, const codec::Item& produced) {
  if (recorded.kind != produced.kind) {
    return "kind: recorded " + recorded.kind + ", produced " + produced.kind;
  }
  for (const codec::Field& f : recorded.fields) {
    if (isStamp(f.key)) continue;
    const codec::Value* p = produced.find(f.key);
    if (p == nullptr) return f.key + ": recorded " + codec::valueJson(f.value) + ", produced none";
    if (codec::valueJson(*p) != codec::valueJson(f.value)) {
      return f.key + ": recorded " + codec::valueJson(f.value) + ", produced " +
             codec::valueJson(*p);
    }
  }
  for (const codec::Field& f : produced.fields) {
    if (!isStamp(f.key) && recorded.find(f.key) == nullptr) {
      return f.key + ": recorded none, produced " + codec::valueJson(f.value);
    }
  }
  return "";
}

}  // namespace replay
}  // namespace mrtcsim
