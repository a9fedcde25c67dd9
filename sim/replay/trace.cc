#include "trace.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "base/json.h"
#include "crossing.h"
#include "reader.h"

namespace mrtcsim {
namespace replay {

namespace {

using codec::ReadError;

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ReadError(path + ": cannot be read");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Where a client's times sit on the replay clock. A host whose commLib
// clock is the wall clock (the simulator, a node) gives millisecond
// alignment; otherwise the local time's second is all there is.
int64_t baseMs(const codec::Item& header) {
  const int64_t clockMs = header.num("clockMs");
  const int64_t local = header.num("localTime");
  return clockMs / 1000 == local ? clockMs : local * 1000;
}

void link(ClientTrace& c) {
  std::sort(c.entries.begin(), c.entries.end(),
            [](const Entry& a, const Entry& b) { return a.seq < b.seq; });
  std::map<int64_t, size_t> bySeq;
  for (size_t i = 0; i < c.entries.size(); ++i) {
    if (!bySeq.emplace(c.entries[i].seq, i).second) {
      throw ReadError(c.entries[i].where + ": sequence number " + std::to_string(c.entries[i].seq) +
                      " appears twice");
    }
  }
  c.startMs = baseMs(c.header);
  c.endMs = c.startMs;
  const int64_t base = c.startMs - c.header.t;
  for (Pause& p : c.pauses) {
    p.fromMs += base;
    p.untilMs += base;
  }
  for (size_t i = 0; i < c.entries.size(); ++i) {
    Entry& e = c.entries[i];
    e.absMs = base + e.item.t;
    auto parent = bySeq.find(e.parent);
    if (e.parent != 0 && parent != bySeq.end()) {
      c.entries[parent->second].children.push_back(i);
    } else {
      c.top.push_back(i);
    }
    if (c.user == 0 && e.item.str("query") == codec::query::kOwnUser) c.user = e.item.num("ret");
    if (e.slot == codec::kReleaseSlot) c.released = true;
    c.endMs = std::max(c.endMs, e.absMs);
  }
}

}  // namespace

std::vector<Entry> readEntries(const std::string& text, const std::string& file) {
  std::vector<Entry> out;
  std::istringstream in(text);
  std::string line;
  for (int n = 1; std::getline(in, line); ++n) {
    if (line.empty()) continue;
    const std::string where = file + ":" + std::to_string(n);
    json::Document doc;
    if (!imsdkmrtc::parseText(doc, line)) throw ReadError(where + ": not a JSON text");
    codec::Reader r(where);
    Entry e;
    e.item = codec::readItem(r, doc, "");
    e.where = where;
    e.line = line;
    e.seq = r.integer(r.required(doc, "seq", ""), "", "seq");
    e.parent = r.intOr(doc, "parent", 0, "");
    e.thread = r.intOr(doc, "thread", 0, "");
    e.slot = r.intOr(doc, "slot", -1, "");
    e.service = r.intOr(doc, "service", -1, "");
    if (e.seq <= 0) r.fail("", "\"seq\" must be positive");
    if (e.parent == e.seq) r.fail("", "an entry cannot happen inside itself");
    if (e.slot >= 0 && e.service >= 0)
      r.fail("", "an entry is a slot call or a service call, not both");
    out.push_back(std::move(e));
  }
  return out;
}

Trace loadTraces(const std::vector<std::string>& files) {
  Trace trace;
  for (size_t f = 0; f < files.size(); ++f) {
    std::vector<Entry> entries = readEntries(readFile(files[f]), files[f]);
    std::vector<ClientTrace> clients;
    std::map<std::string, int> runs;
    for (Entry& e : entries) {
      if (e.item.kind == codec::kind::kTrace) {
        if (e.item.num("version") != codec::kTraceVersion) {
          throw ReadError(e.where + ": trace version " + e.item.str("version") +
                          " is not supported (this replay reads version " +
                          std::to_string(codec::kTraceVersion) + ")");
        }
        ClientTrace c;
        c.name = e.item.client;
        // The recorder appends: a host run again on the same file starts
        // its "p1" anew, a client of its own, named after its run.
        const int run = ++runs[e.item.client];
        if (run > 1) c.name += "." + std::to_string(run);
        c.file = files[f];
        c.header = e.item;
        clients.push_back(std::move(c));
        continue;
      }
      auto it = std::find_if(clients.rbegin(), clients.rend(), [&](const ClientTrace& c) {
        return c.header.client == e.item.client;
      });
      if (it == clients.rend()) {
        throw ReadError(e.where + ": client \"" + e.item.client +
                        "\" appears before its \"trace\" entry");
      }
      if (e.item.kind == codec::kind::kPause) {
        it->pauses.push_back({e.item.t, e.item.num("until")});
        continue;
      }
      it->entries.push_back(std::move(e));
    }
    if (clients.empty()) throw ReadError(files[f] + ": holds no trace");
    for (ClientTrace& c : clients) {
      link(c);
      if (files.size() > 1) c.name = std::to_string(f + 1) + ":" + c.name;
      trace.clients.push_back(std::move(c));
    }
  }
  // With several files, names keep their file's number only where needed.
  std::map<std::string, int> bare;
  for (const ClientTrace& c : trace.clients) ++bare[c.name.substr(c.name.find(':') + 1)];
  for (ClientTrace& c : trace.clients) {
    const std::string name = c.name.substr(c.name.find(':') + 1);
    if (bare[name] == 1) c.name = name;
  }
  trace.startMs = trace.clients.front().entries.empty() ? baseMs(trace.clients.front().header)
                                                        : trace.clients.front().entries[0].absMs;
  for (const ClientTrace& c : trace.clients)
    trace.startMs = std::min(trace.startMs, baseMs(c.header));
  return trace;
}

bool isOutput(const Entry& e) {
  namespace kind = codec::kind;
  if (e.service < 0) return false;
  const std::string& k = e.item.kind;
  return k == kind::kResult || k == kind::kEvent || k == kind::kMessage || k == kind::kInsert ||
         k == kind::kTimer || k == kind::kPost || k == kind::kRegister;
}

}  // namespace replay
}  // namespace mrtcsim
