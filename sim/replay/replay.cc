#include "replay.h"

#include <algorithm>
#include <memory>
#include <tuple>

#include "clock_control.h"
#include "crossing.h"
#include "replay_host.h"
#include "tools.h"

namespace mrtcsim {
namespace replay {

namespace {

namespace kind = codec::kind;

// Long enough for a released plug-in's timer thread to see its stop flag.
constexpr int64_t kSettleMs = kTickToleranceMs + 100;

struct Input {
  int64_t absMs;
  int64_t seq;
  size_t client;
  size_t entry;
};

std::vector<Input> inputs(const Trace& trace) {
  std::vector<Input> out;
  for (size_t c = 0; c < trace.clients.size(); ++c) {
    const ClientTrace& ct = trace.clients[c];
    for (size_t i : ct.top) {
      if (ReplayHost::fed(ct.entries[i]))
        out.push_back({ct.entries[i].absMs, ct.entries[i].seq, c, i});
    }
  }
  std::stable_sort(out.begin(), out.end(), [](const Input& a, const Input& b) {
    return std::tie(a.absMs, a.seq) < std::tie(b.absMs, b.seq);
  });
  return out;
}

int64_t lastMs(const Trace& trace) {
  int64_t last = trace.startMs;
  for (const ClientTrace& ct : trace.clients) {
    for (const Entry& e : ct.entries) last = std::max(last, e.absMs);
  }
  return last;
}

void advanceTo(int64_t absMs, std::vector<std::unique_ptr<ReplayHost>>& hosts) {
  const int64_t now = tools::get_mill_sec();
  if (absMs <= now) return;
  commlib::advance(absMs - now, [&] {
    for (auto& h : hosts) h->checkOverdue(tools::get_mill_sec());
  });
}

// A delivery names the client that sent the message when one of the
// traces holds it.
std::vector<codec::Item> timeline(std::vector<codec::Item> items) {
  std::vector<codec::Item> out;
  for (size_t i = 0; i < items.size(); ++i) {
    codec::Item& it = items[i];
    if (it.kind == kind::kDeliver) {
      it.set("from", "u" + it.str("fromUser"));
      for (size_t j = out.size(); j-- > 0;) {
        const codec::Item& m = out[j];
        if (m.kind == kind::kMessage && m.client != it.client && m.str("body") == it.str("body") &&
            m.num("senderId") == it.num("fromUser")) {
          it.set("from", m.client);
          break;
        }
      }
    }
    if (it.kind == kind::kPost) continue;
    out.push_back(std::move(it));
  }
  return out;
}

Scenario describe(const Trace& trace, const std::vector<std::string>& files) {
  Scenario sc;
  for (size_t i = 0; i < files.size(); ++i) sc.file += (i > 0 ? " " : "") + files[i];
  sc.name = "replay of " + sc.file;
  sc.description = "A recorded call given again to the plug-in on the virtual clock.";
  sc.startMs = trace.startMs;
  for (const ClientTrace& ct : trace.clients) {
    for (const Entry& e : ct.entries) {
      if (e.item.str("query") != codec::query::kUserInfo || e.item.num("ret") == 0) continue;
      const int64_t id = e.item.num("user");
      bool known = std::any_of(sc.users.begin(), sc.users.end(),
                               [&](const UserSpec& u) { return u.id == id; });
      if (!known) sc.users.push_back({id, e.item.str("name")});
    }
  }
  return sc;
}

using Hosts = std::vector<std::unique_ptr<ReplayHost>>;

// The clock's tag for the threads a client's plug-in starts (0 is none).
uint64_t tagOf(size_t client) { return client + 1; }

// The plug-ins' timer threads wake where the recording says they ticked.
void snapWakeUps(Hosts& hosts) {
  commlib::setWakeAdjuster([&hosts](uint64_t tag, int64_t now, int64_t deadline) {
    return tag >= 1 && tag <= hosts.size() ? hosts[tag - 1]->wakeAt(now, deadline) : deadline;
  });
}

// Makes, in the order they were made, the plug-ins of the clients whose
// recording started by absMs, each at its recorded start: what a plug-in
// derives from the local time when it is made (the seed of its message ids)
// is then what it derived on the device. False when the library makes none.
bool startClients(int64_t absMs, const Trace& trace, const simhost::PluginLibrary& library,
                  Hosts& hosts, std::vector<imsdk::IPlugin*>& plugins) {
  for (;;) {
    size_t next = trace.clients.size();
    for (size_t c = 0; c < trace.clients.size(); ++c) {
      if (plugins[c] != nullptr || trace.clients[c].startMs > absMs) continue;
      if (next == trace.clients.size() || trace.clients[c].startMs < trace.clients[next].startMs)
        next = c;
    }
    if (next == trace.clients.size()) return true;
    advanceTo(trace.clients[next].startMs, hosts);
    imsdk::IPlugin* plugin = library.create();
    if (plugin == nullptr) return false;
    plugins[next] = plugin;
    hosts[next]->setPlugin(plugin);
    commlib::setThreadTag(tagOf(next));
    plugin->setHost(hosts[next].get());
    commlib::setThreadTag(0);
  }
}

}  // namespace

ReplayResult replayTraces(const Trace& trace, const simhost::PluginLibrary& library,
                          const std::vector<std::string>& files) {
  ReplayResult out;
  commlib::useVirtualTime(trace.startMs);
  Session session(trace.startMs);
  Hosts hosts;
  std::vector<imsdk::IPlugin*> plugins(trace.clients.size(), nullptr);
  for (const ClientTrace& ct : trace.clients) {
    hosts.push_back(std::make_unique<ReplayHost>(ct, session));
    out.run.clients.push_back({ct.name, ct.user, 1});
  }
  snapWakeUps(hosts);
  for (const Input& in : inputs(trace)) {
    if (session.diverged()) break;
    if (!startClients(in.absMs, trace, library, hosts, plugins)) break;
    advanceTo(in.absMs, hosts);
    if (session.diverged()) break;
    commlib::setThreadTag(tagOf(in.client));
    hosts[in.client]->feed(trace.clients[in.client].entries[in.entry]);
    commlib::setThreadTag(0);
    ++out.fed;
  }
  // What the plug-ins' own timers still owe, and the plug-ins made after
  // the last input.
  const int64_t endMs = lastMs(trace) + kTickToleranceMs + 1;
  if (!session.diverged() && startClients(endMs, trace, library, hosts, plugins))
    advanceTo(endMs, hosts);
  if (std::find(plugins.begin(), plugins.end(), nullptr) != plugins.end() && !session.diverged())
    out.run.error = "the plug-in library created no plug-in";
  for (imsdk::IPlugin* p : plugins) {
    if (p != nullptr) library.release(p);
  }
  commlib::advance(kSettleMs);
  // Every thread sleeps or has ended: none asks the hosts any more.
  commlib::setWakeAdjuster({});
  out.run.endMs = session.now();
  out.run.items = timeline(session.items());
  out.divergence = session.first();
  out.compared = session.compared();
  if (out.divergence.found) out.run.failures.push_back(out.divergence.what);
  out.scenario = describe(trace, files);
  return out;
}

}  // namespace replay
}  // namespace mrtcsim
