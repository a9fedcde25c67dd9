#include "chaos/chaos.h"

#include <malloc.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <mutex>
#include <thread>

#include "base/json.h"
#include "chaos/workload.h"
#include "chaos/workload_busy.h"
#include "faults/fault_plan.h"
#include "invariants/invariants.h"
#include "invariants/invariants_races.h"
#include "invariants/invariants_rings.h"
#include "runner.h"
#include "scenario.h"

namespace mrtcsim {

namespace {

constexpr const char* kInvariantPrefix = "invariant ";
constexpr const char* kRunError = "no_deadlock";
// Heap in use may wander by this much between runs (allocator bookkeeping);
// more than that after the warm-up runs is memory that was not given back.
constexpr size_t kHeapSlack = 512 * 1024;
constexpr int64_t kWarmUpRuns = 3;
constexpr int kShrinkBudget = 400;

// Ends the process when a run hangs: a deadlock is a violation like any
// other, and a hung run would never report it.
class Watchdog {
 public:
  explicit Watchdog(int64_t seconds) : seconds_(seconds), thread_([this] { watch(); }) {}
  ~Watchdog() {
    {
      std::lock_guard<std::mutex> lk(mu_);
      done_ = true;
    }
    cv_.notify_all();
    thread_.join();
  }
  void arm(const std::string& what) {
    std::lock_guard<std::mutex> lk(mu_);
    what_ = what;
    ++generation_;
    cv_.notify_all();
  }

 private:
  void watch() {
    std::unique_lock<std::mutex> lk(mu_);
    while (!done_) {
      const uint64_t seen = generation_;
      if (cv_.wait_for(lk, std::chrono::seconds(seconds_),
                       [&] { return done_ || generation_ != seen; })) {
        continue;
      }
      if (what_.empty()) continue;
      std::fprintf(stderr, "mrtc-sim chaos: violation no_deadlock: %s did not end in %lld s\n",
                   what_.c_str(), static_cast<long long>(seconds_));
      std::_Exit(1);
    }
  }
  int64_t seconds_;
  std::mutex mu_;
  std::condition_variable cv_;
  bool done_ = false;
  uint64_t generation_ = 0;
  std::string what_;
  std::thread thread_;
};

size_t heapInUse() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 33))
  return mallinfo2().uordblks;
#else
  return 0;
#endif
}

// The invariants a run broke: named in its failures, a run that could not go
// on counting as a deadlock (messages bouncing for ever).
std::set<std::string> broken(const RunResult& run) {
  std::set<std::string> out;
  const std::string prefix = kInvariantPrefix;
  for (const std::string& f : run.failures) {
    if (f.rfind(prefix, 0) != 0) continue;
    size_t colon = f.find(':', prefix.size());
    out.insert(f.substr(prefix.size(), colon - prefix.size()));
  }
  if (!run.error.empty()) out.insert(kRunError);
  return out;
}

RunResult runText(const std::string& text, const std::string& name,
                  const simhost::PluginLibrary& library) {
  Scenario sc = readScenario(text, name);
  return runScenario(sc, library);
}

// The scenario text with its invariants narrowed to the broken one.
std::string withInvariant(const std::string& text, const std::string& invariant) {
  json::Document doc;
  doc.Parse(text.c_str(), text.size());
  auto& alloc = doc.GetAllocator();
  json::Value list(json::kArrayType);
  list.PushBack(json::Value(invariant.c_str(), alloc), alloc);
  doc.RemoveMember("invariants");
  doc.AddMember("invariants", list, alloc);
  json::StringBuffer buf;
  json::Writer<json::StringBuffer> w(buf);
  doc.Accept(w);
  return std::string(buf.GetString(), buf.GetSize());
}

std::string writeFile(const std::string& dir, const std::string& name, const std::string& text) {
  std::string path = dir + "/" + name;
  std::ofstream out(path, std::ios::binary);
  out << text << "\n";
  return out ? path : std::string();
}

// Takes parts out of a failing scenario while it still breaks the invariant,
// within a budget of trial runs.
class Shrinker {
 public:
  Shrinker(const std::string& text, const std::string& invariant,
           const simhost::PluginLibrary& library, const std::function<void()>& onTrial)
      : invariant_(invariant), library_(library), onTrial_(onTrial) {
    best_.Parse(text.c_str(), text.size());
    hasClients_ = best_.HasMember("clients") && best_["clients"].IsArray();
  }

  std::string shrink() {
    dropClients();
    dropSteps();
    dropFaults();
    dropOffsets();
    return textOf(best_);
  }

 private:
  static std::string textOf(const json::Document& doc) {
    json::StringBuffer buf;
    json::Writer<json::StringBuffer> w(buf);
    doc.Accept(w);
    return std::string(buf.GetString(), buf.GetSize());
  }

  bool fails(const json::Document& doc) {
    if (budget_-- <= 0) return false;
    if (onTrial_) onTrial_();
    try {
      return broken(runText(textOf(doc), "shrink", library_)).count(invariant_) != 0;
    } catch (const ScenarioError&) {
      return false;
    }
  }

  // Keeps the trial when it still fails.
  void keepIfFails(json::Document& trial) {
    if (fails(trial)) best_.Swap(trial);
  }

  json::Document copyOfBest() const {
    json::Document trial;
    trial.CopyFrom(best_, trial.GetAllocator());
    return trial;
  }

  // Whether a step names the client: its own, or a join from its card.
  static bool names(const json::Value& step, const std::string& client) {
    auto is = [&](const json::Value& v) { return v.IsString() && client == v.GetString(); };
    auto by = step.FindMember("client");
    auto card = step.FindMember("extendFrom");
    if (by != step.MemberEnd() && is(by->value)) return true;
    if (card == step.MemberEnd() || !card->value.IsObject()) return false;
    auto from = card->value.FindMember("client");
    return from != card->value.MemberEnd() && is(from->value);
  }

  // Clients: take each out with every step that names it.
  void dropClients() {
    for (size_t i = hasClients_ ? best_["clients"].Size() : 0; i-- > 0;) {
      json::Document trial = copyOfBest();
      const std::string client =
          trial["clients"][static_cast<json::SizeType>(i)]["name"].GetString();
      trial["clients"].Erase(trial["clients"].Begin() + i);
      json::Value& steps = trial["steps"];
      for (auto it = steps.Begin(); it != steps.End();) {
        it = names(*it, client) ? steps.Erase(it) : it + 1;
      }
      keepIfFails(trial);
    }
  }

  // Steps: take out chunks, halving their size down to single steps.
  void dropSteps() {
    for (size_t chunk = best_["steps"].Size() / 2; chunk >= 1; chunk /= 2) {
      for (size_t from = 0; from < best_["steps"].Size();) {
        json::Document trial = copyOfBest();
        json::Value& steps = trial["steps"];
        size_t n = std::min(chunk, steps.Size() - from);
        steps.Erase(steps.Begin() + from, steps.Begin() + from + n);
        if (fails(trial)) {
          best_.Swap(trial);
        } else {
          from += n;
        }
      }
      if (chunk == 1) break;
    }
  }

  // Faults: switch each off in turn.
  void dropFaults() {
    if (!best_.HasMember("faults")) return;
    std::vector<std::string> keys;
    for (auto it = best_["faults"].MemberBegin(); it != best_["faults"].MemberEnd(); ++it) {
      if (std::string(it->name.GetString()) != "seed") keys.push_back(it->name.GetString());
    }
    for (const std::string& key : keys) {
      json::Document trial = copyOfBest();
      trial["faults"].RemoveMember(key.c_str());
      keepIfFails(trial);
    }
  }

  // Clock offsets: set each client's clock right in turn.
  void dropOffsets() {
    for (json::SizeType i = 0; hasClients_ && i < best_["clients"].Size(); ++i) {
      if (!best_["clients"][i].HasMember("timeOffset")) continue;
      json::Document trial = copyOfBest();
      trial["clients"][i].RemoveMember("timeOffset");
      keepIfFails(trial);
    }
  }

  const std::string& invariant_;
  const simhost::PluginLibrary& library_;
  const std::function<void()>& onTrial_;
  json::Document best_;
  bool hasClients_ = false;
  int budget_ = kShrinkBudget;
};

}  // namespace

bool ChaosSummary::failed() const {
  for (const auto& v : violations) {
    if (v.second > 0) return true;
  }
  return false;
}

uint64_t workloadSeed(uint64_t seed, int64_t index) {
  return mixHash(seed, static_cast<uint64_t>(index)) & 0x7fffffffffffffffULL;
}

std::string shrinkScenario(const std::string& text, const std::string& invariant,
                           const simhost::PluginLibrary& library,
                           const std::function<void()>& onTrial) {
  return Shrinker(text, invariant, library, onTrial).shrink();
}

ChaosSummary runChaos(const ChaosOptions& options, const simhost::PluginLibrary& library,
                      std::ostream& log) {
  const std::set<std::string>& kinds = options.faults.empty() ? faultKinds() : options.faults;
  ChaosSummary summary;
  for (const std::string& name : invariantNames()) summary.violations[name] = 0;
  summary.violations[kRunError] = 0;
  for (const std::string& kind : kinds) summary.faults[kind] = 0;
  Watchdog watchdog(options.watchdogSeconds);
  size_t baseline = 0;
  for (int64_t i = options.first; i < options.first + options.runs; ++i) {
    const uint64_t seed = workloadSeed(options.seed, i);
    Workload work = makeWorkload(seed, kinds, options.maxGroup);
    const std::string label = "seed " + std::to_string(options.seed) + " run " + std::to_string(i) +
                              " (workload " + std::to_string(seed) + ")";
    watchdog.arm(label);
    std::set<std::string> bad;
    {
      const Scenario sc = readScenario(work.text, label);
      RunResult run = runScenario(sc, library);
      for (const auto& r : checkRaces(sc, run).counts) summary.races[r.first] += r.second;
      ++summary.runs;
      summary.calls += work.calls;
      for (const auto& c : work.cases) summary.cases[c.first] += c.second;
      if (work.skewed > 0 && kinds.count("skew") != 0) summary.faults["skew"] += work.skewed;
      for (const auto& f : run.faults) summary.faults[f.first] += f.second;
      for (const Item& it : run.items) {
        if (it.kind == kind::kMessage) ++summary.messages;
        if (it.kind == kind::kDeliver) ++summary.deliveries;
      }
      countRingCases(run, summary.cases);
      bad = broken(run);
      for (const std::string& e : run.excused) ++summary.excused[e.substr(0, e.find(':'))];
      for (const std::string& f : run.failures) log << label << ": " << f << "\n";
      if (!run.error.empty()) log << label << ": " << run.error << "\n";
    }
    for (const std::string& inv : bad) ++summary.violations[inv];
    if (!bad.empty()) {
      const std::string base = "chaos-" + std::to_string(options.seed) + "-" + std::to_string(i);
      const std::string& first = *bad.begin();
      std::string replay = withInvariant(work.text, first);
      std::string path = writeFile(options.outDir, base + ".json", replay);
      if (!path.empty()) summary.written.push_back(path);
      if (options.shrink && first != kRunError) {
        std::string small =
            shrinkScenario(replay, first, library, [&] { watchdog.arm(label + " (shrinking)"); });
        path = writeFile(options.outDir, base + "-small.json", small);
        if (!path.empty()) summary.written.push_back(path);
      }
    }
    // Every plug-in of the run is gone: the heap must be back where it was.
    const size_t heap = heapInUse();
    const int64_t done = i + 1 - options.first;
    if (done == kWarmUpRuns) baseline = heap;
    if (done > kWarmUpRuns && baseline != 0 && heap > baseline + kHeapSlack) {
      log << label << ": invariant memory: " << heap << " bytes in use after the run, " << baseline
          << " after the warm-up\n";
      ++summary.violations["memory"];
      baseline = heap;
    }
  }
  watchdog.arm("");
  return summary;
}

void printSummary(const ChaosOptions& options, const ChaosSummary& s, std::ostream& out) {
  auto row = [&](const std::string& name, int64_t value) {
    char line[96];
    std::snprintf(line, sizeof(line), "  %-24s %12lld\n", name.c_str(),
                  static_cast<long long>(value));
    out << line;
  };
  out << "chaos: seed " << options.seed << "\n";
  row("runs", s.runs);
  row("calls", s.calls);
  row("messages", s.messages);
  row("deliveries", s.deliveries);
  out << "faults injected\n";
  for (const auto& f : s.faults) row(f.first, f.second);
  out << "races made\n";
  for (const std::string& kind : raceKinds()) {
    auto found = s.races.find(kind);
    row(kind, found == s.races.end() ? 0 : found->second);
  }
  out << "ring cases made\n";
  for (const std::string& name : ringCaseNames()) {
    auto found = s.cases.find(name);
    row(name, found == s.cases.end() ? 0 : found->second);
  }
  out << "busy cases made\n";
  for (const std::string& name : busyCaseNames()) {
    auto found = s.cases.find(name);
    row(name, found == s.cases.end() ? 0 : found->second);
  }
  out << "violations\n";
  for (const auto& v : s.violations) row(v.first, v.second);
  if (!s.excused.empty()) {
    out << "excused (a fault makes them unavoidable)\n";
    for (const auto& e : s.excused) row(e.first, e.second);
  }
  for (const std::string& path : s.written) out << "replay: " << path << "\n";
  out << (s.failed() ? "FAILED: an invariant was violated\n" : "ok: no invariant violated\n");
}

}  // namespace mrtcsim
