#include "report/sequence.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>

#include "report/svg.h"

namespace mrtcsim {
namespace report {

namespace {

// Geometry, in pixels.
constexpr double kFont = 11;
constexpr double kAxis = 96;  // the time column on the left
constexpr double kLaneW = 210;
constexpr double kTop = 80;  // where the rows begin
constexpr double kRowH = 22;
constexpr double kGap = 6;       // above a new instant
constexpr double kLongGap = 20;  // above an instant more than kLongWaitMs later
constexpr int64_t kLongWaitMs = 5000;
constexpr double kBarW = 5;

constexpr const char* kCss =
    "text{font-family:'DejaVu Sans Mono','Liberation Mono',monospace;font-size:11px;fill:#1d2733}"
    ".user{fill:#e8eef6;stroke:#8092aa}.user-name{font-weight:bold}"
    ".lane-head{fill:#fff;stroke:#3b4d63}.lane-name{font-weight:bold;font-size:12px}"
    ".lane-device{fill:#5b6b7d}"
    ".lifeline{stroke:#9aa7b6;stroke-width:1.2;stroke-dasharray:5 4}"
    ".lifeline.others,.lifeline.sender{stroke:#c2a878}"
    ".rule{stroke:#e4e8ee}.time{fill:#4d5966}.wait-gap{fill:#9aa7b6}"
    ".arrow line{stroke:#1f5fa8;stroke-width:1.5}.arrow polygon{fill:#1f5fa8}"
    ".arrow.light line{stroke:#6d93c4;stroke-dasharray:6 3}.arrow.light polygon{fill:#6d93c4}"
    ".arrow text{fill:#173f6e}"
    // A halo keeps a label readable where it crosses a lifeline or a bar.
    ".arrow text,.mark text{paint-order:stroke;stroke:#fcfdfe;stroke-width:3px}"
    ".mark.event circle{fill:#8e44ad}.mark.fired polygon{fill:#c0392b}.mark.fired "
    "text{fill:#a02b1f}"
    ".mark.request rect{fill:#2c3e50}.mark.other circle{fill:#7f8c8d}"
    ".mark.undelivered polygon{fill:#e67e22}"
    ".bar{opacity:.8}.bar.ring{fill:#f0a020}.bar.wait{fill:#2e86c1}.bar.keepalive{fill:#3aa65c}"
    ".bar.open{opacity:.4}"
    ".note-band{fill:#fff6d5}.note{fill:#6b5514;font-style:italic}"
    ".cut{fill:#a02b1f;font-weight:bold}";

struct Lane {
  std::string name;  // client, sender or "N more clients"
  int64_t user = 0;
  std::string device;
  enum class Kind { kClient, kSender, kOthers } kind = Kind::kClient;
  std::vector<std::string> members;  // for kOthers
};

enum class RowKind { kArrow, kMark, kNote, kCut };

struct Row {
  int64_t t = 0;
  RowKind kind = RowKind::kMark;
  std::string cls;  // mark or arrow style
  std::string label;
  std::string tooltip;
  int from = -1;                 // arrows: the sender's lane
  std::map<int, int64_t> lanes;  // arrow heads or marks: lane -> how many
  int64_t count = 0;             // arrows: deliveries
  // Notes of steps without a note of their own, at one instant, share a row.
  int firstStep = 0, lastStep = 0;
  std::string client;
};

struct Bar {
  int lane = 0;
  int64_t type = 0;
  int64_t category = 0;
  std::string key;
  IdList members;
  int64_t armedAt = 0;
  int64_t seconds = 0;
  int refreshes = 0;
  int64_t due = 0;
  int64_t endedAt = -1;
  size_t startRow = 0;
  size_t endRow = 0;
  int slot = 0;
  bool fired = false;
  bool open = true;  // still armed when the drawing ends
};

std::string userName(const Scenario& sc, int64_t id) {
  for (const UserSpec& u : sc.users) {
    if (u.id == id && !u.name.empty()) return u.name + " (" + std::to_string(id) + ")";
  }
  return "user " + std::to_string(id);
}

std::string deliveryLabel(const Item& it) {
  int64_t type = it.num("type");
  std::string text;
  if (type == 8) {
    text = "weak hint";
  } else if (type == 26) {
    text = "call card";
  } else if (it.str("command").empty()) {
    text = "message type " + std::to_string(type);
  } else {
    text = it.str("command");
    if (!it.str("annotation").empty()) text += " (" + it.str("annotation") + ")";
    if (it.str("flag") == "recall") text += " (recall)";
  }
  if (it.num("target") == 10001) text += " via 10001";
  return text;
}

// "7 (no answer)" -> "7 no answer"
std::string bare(const std::string& name) {
  if (name.size() >= 2 && name.front() == '(' && name.back() == ')')
    return name.substr(1, name.size() - 2);
  return name;
}

std::string messageKey(const std::string& from, const Item& it) {
  return from + '\x1f' + std::to_string(it.t) + '\x1f' + std::to_string(it.num("type")) + '\x1f' +
         it.str("body");
}

bool isMemberTimeout(int64_t type) { return type == 1 || type == 2; }
bool drawnTimeout(int64_t type) { return type == 1 || type == 2 || type == 3; }

const char* barClass(int64_t type) { return type == 1 ? "wait" : type == 2 ? "ring" : "keepalive"; }

class Builder {
 public:
  Builder(const Scenario& sc, const RunResult& run, const DiagramLimits& limits)
      : sc_(sc), run_(run), limits_(limits) {}

  Diagram build();

 private:
  void placeLanes();
  int laneOf(const std::string& name);
  void addRow(Row row);
  void noteRows();
  void timer(const Item& it, int lane);
  void fired(const Item& it, int lane);
  void take(Bar& bar, const IdList& gone);
  void close(Bar& bar, int64_t t, bool fired);
  double laneX(int lane) const { return kAxis + kLaneW * (lane + 0.5); }
  std::string render();

  const Scenario& sc_;
  const RunResult& run_;
  const DiagramLimits& limits_;
  std::vector<Lane> lanes_;
  std::map<std::string, int> laneByName_;
  int othersLane_ = -1;
  std::vector<Row> rows_;
  std::map<std::string, size_t> sameInstant_;  // row signature -> row, for the current instant
  int64_t instant_ = -1;
  size_t lastPlainNote_ = SIZE_MAX;
  size_t notDrawn_ = 0;
  int64_t cutAt_ = -1;
  std::vector<Bar> bars_;
  std::vector<size_t> openBars_;
  std::vector<std::string> notes_;
};

void Builder::placeLanes() {
  // Who gets a lifeline of their own: every client when they fit, else the
  // clients the steps act on first, then the others in scenario order.
  const size_t total = run_.clients.size();
  std::set<std::string> own;
  const size_t room = total <= limits_.lanes ? total : std::max<size_t>(limits_.lanes, 2) - 1;
  auto want = [&](const std::string& name) {
    if (own.size() >= room || name.empty()) return;
    for (const Participant& p : run_.clients) {
      if (p.name == name) own.insert(name);
    }
  };
  for (const Step& step : sc_.steps) {
    want(step.client);
    want(step.message.as);
  }
  for (const Participant& p : run_.clients) want(p.name);

  // Senders that are no client (injected messages): a few get a lifeline,
  // beside their user's clients when there are any.
  constexpr size_t kMaxSenders = 4;
  std::vector<Lane> senders;
  std::set<std::string> seen;
  for (const Item& it : run_.items) {
    std::string name = it.kind == kind::kDeliver  ? it.str("from")
                       : it.kind == kind::kInject ? it.client
                                                  : "";
    if (name.empty() || sc_.client(name) != nullptr || !seen.insert(name).second) continue;
    if (senders.size() == kMaxSenders) continue;  // laneOf puts the rest with the others
    int64_t user = it.kind == kind::kDeliver ? it.num("fromUser") : it.num("senderId");
    int64_t device = it.kind == kind::kDeliver ? it.num("fromDevice") : it.num("device");
    senders.push_back({name, user, deviceName(device) + ", injected", Lane::Kind::kSender, {}});
  }

  // Grouped by user, users in the order their first client comes.
  std::vector<int64_t> users;
  for (const Participant& p : run_.clients) {
    if (own.count(p.name) != 0 && std::find(users.begin(), users.end(), p.user) == users.end())
      users.push_back(p.user);
  }
  for (const Lane& s : senders) {
    if (std::find(users.begin(), users.end(), s.user) == users.end()) users.push_back(s.user);
  }
  for (int64_t user : users) {
    for (const Participant& p : run_.clients) {
      if (p.user != user || own.count(p.name) == 0) continue;
      laneByName_[p.name] = static_cast<int>(lanes_.size());
      lanes_.push_back({p.name, p.user, deviceName(p.device), Lane::Kind::kClient, {}});
    }
    for (const Lane& s : senders) {
      if (s.user != user) continue;
      laneByName_[s.name] = static_cast<int>(lanes_.size());
      lanes_.push_back(s);
    }
  }
  if (own.size() < total) {
    Lane others;
    others.kind = Lane::Kind::kOthers;
    for (const Participant& p : run_.clients) {
      if (own.count(p.name) == 0) others.members.push_back(p.name);
    }
    others.name = std::to_string(others.members.size()) + " more clients";
    othersLane_ = static_cast<int>(lanes_.size());
    for (const std::string& m : others.members) laneByName_[m] = othersLane_;
    notes_.push_back("The run has " + std::to_string(total) + " clients: " +
                     std::to_string(own.size()) + " have a lifeline each, the other " +
                     std::to_string(others.members.size()) + " share the last one.");
    lanes_.push_back(std::move(others));
  }
}

int Builder::laneOf(const std::string& name) {
  auto it = laneByName_.find(name);
  if (it != laneByName_.end()) return it->second;
  if (othersLane_ < 0) {
    Lane others;
    others.kind = Lane::Kind::kOthers;
    othersLane_ = static_cast<int>(lanes_.size());
    lanes_.push_back(std::move(others));
  }
  lanes_[othersLane_].members.push_back(name);
  lanes_[othersLane_].name = std::to_string(lanes_[othersLane_].members.size()) + " more";
  laneByName_[name] = othersLane_;
  return othersLane_;
}

// Rows of one instant that look alike become one row with a count.
void Builder::addRow(Row row) {
  if (row.kind == RowKind::kNote && row.label.empty() && lastPlainNote_ < rows_.size() &&
      rows_[lastPlainNote_].t == row.t) {
    Row& into = rows_[lastPlainNote_];
    into.lastStep = row.lastStep;
    if (into.client != row.client) into.client.clear();
    return;
  }
  if (row.t != instant_ || row.kind == RowKind::kNote) {
    sameInstant_.clear();
    instant_ = row.t;
  }
  std::string sig;
  if (row.kind == RowKind::kArrow || row.kind == RowKind::kMark) {
    sig = std::to_string(static_cast<int>(row.kind)) + '\x1f' + row.cls + '\x1f' + row.label +
          '\x1f' + std::to_string(row.from);
    auto same = sameInstant_.find(sig);
    if (same != sameInstant_.end()) {
      Row& into = rows_[same->second];
      for (const auto& [lane, n] : row.lanes) into.lanes[lane] += n;
      into.count += row.count;
      return;
    }
  }
  if (rows_.size() >= limits_.rows) {
    if (cutAt_ < 0) cutAt_ = row.t;
    ++notDrawn_;
    return;
  }
  if (!sig.empty()) sameInstant_[sig] = rows_.size();
  if (row.kind == RowKind::kNote) lastPlainNote_ = row.label.empty() ? rows_.size() : SIZE_MAX;
  rows_.push_back(std::move(row));
}

void Builder::close(Bar& bar, int64_t t, bool wasFired) {
  bar.endRow = rows_.size();
  bar.endedAt = t;
  bar.fired = wasFired;
  bar.open = false;
}

void Builder::take(Bar& bar, const IdList& gone) {
  for (int64_t id : gone) {
    auto at = std::find(bar.members.begin(), bar.members.end(), id);
    if (at != bar.members.end()) bar.members.erase(at);
  }
}

// Follows the plug-in's time-out queue closely enough to draw it: what was
// armed, refreshed, taken back member by member, or fired.
void Builder::timer(const Item& it, int lane) {
  const int64_t type = it.num("type");
  const int64_t category = it.num("category");
  const std::string key = it.str("key");
  const IdList members = it.ids("members");
  auto closeEmptied = [&]() {
    for (size_t i = 0; i < openBars_.size();) {
      Bar& b = bars_[openBars_[i]];
      if (isMemberTimeout(b.type) && b.members.empty()) {
        close(b, it.t, false);
        openBars_.erase(openBars_.begin() + static_cast<std::ptrdiff_t>(i));
      } else {
        ++i;
      }
    }
  };
  auto sameQueue = [&](const Bar& b) {
    return b.lane == lane && b.category == category && b.key == key;
  };
  if (it.str("op") == "cancel") {
    if (isMemberTimeout(type)) {
      for (size_t i : openBars_) {
        if (sameQueue(bars_[i])) take(bars_[i], members);
      }
      closeEmptied();
    } else {
      for (size_t i = 0; i < openBars_.size();) {
        Bar& b = bars_[openBars_[i]];
        if (b.lane == lane && b.category == category) {
          close(b, it.t, false);
          openBars_.erase(openBars_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
          ++i;
        }
      }
    }
    return;
  }
  if (it.str("op") != "arm") return;
  const int64_t due = it.t + it.num("seconds") * 1000;
  if (it.num("refresh") != 0) {
    for (size_t i : openBars_) {
      Bar& b = bars_[i];
      if (sameQueue(b) && b.type == type) {
        b.members = members;
        b.due = due;
        ++b.refreshes;
        return;
      }
    }
  }
  IdList kept = members;
  const int64_t mode = it.num("mode");
  if (mode == 0) {
    for (size_t i : openBars_) {
      if (sameQueue(bars_[i])) take(bars_[i], members);
    }
    closeEmptied();
  } else if (mode == 1) {
    kept.clear();
    for (int64_t id : members) {
      bool pending = false;
      for (size_t i : openBars_) {
        const Bar& b = bars_[i];
        pending = pending || (sameQueue(b) && std::count(b.members.begin(), b.members.end(), id));
      }
      if (!pending) kept.push_back(id);
    }
  }
  if (isMemberTimeout(type) && kept.empty()) return;
  Bar bar;
  bar.lane = lane;
  bar.type = type;
  bar.category = category;
  bar.key = key;
  bar.members = kept;
  bar.armedAt = it.t;
  bar.seconds = it.num("seconds");
  bar.due = due;
  bar.startRow = rows_.size();
  // Each bar of a lane keeps a slot beside the lifeline while it is armed.
  std::set<int> taken;
  for (size_t i : openBars_) {
    if (bars_[i].lane == lane) taken.insert(bars_[i].slot);
  }
  while (taken.count(bar.slot) != 0) ++bar.slot;
  openBars_.push_back(bars_.size());
  bars_.push_back(bar);
}

void Builder::fired(const Item& it, int lane) {
  // The queue hands out a record that is due; the earliest due is the one.
  size_t best = openBars_.size();
  for (size_t i = 0; i < openBars_.size(); ++i) {
    const Bar& b = bars_[openBars_[i]];
    if (b.lane != lane || b.type != it.num("type")) continue;
    if (best == openBars_.size() || b.due < bars_[openBars_[best]].due) best = i;
  }
  if (best == openBars_.size()) return;
  close(bars_[openBars_[best]], it.t, true);
  openBars_.erase(openBars_.begin() + static_cast<std::ptrdiff_t>(best));
}

Diagram Builder::build() {
  placeLanes();
  // Which sent messages reached somebody: the others are drawn as marks.
  std::set<std::string> delivered;
  for (const Item& it : run_.items) {
    if (it.kind == kind::kDeliver) delivered.insert(messageKey(it.str("from"), it));
  }
  // Step notes go before the first item of their step at the step's time.
  std::vector<std::vector<const Step*>> notesBefore(run_.items.size() + 1);
  for (size_t s = 0; s < run_.steps.size() && s < sc_.steps.size(); ++s) {
    const Step& step = sc_.steps[s];
    const StepWindow& w = run_.steps[s];
    size_t at = w.from;
    if (step.hasAt) {
      while (at < w.to && run_.items[at].t < step.atMs) ++at;
    }
    notesBefore[at].push_back(&step);
  }

  for (size_t i = 0; i <= run_.items.size(); ++i) {
    for (const Step* step : notesBefore[i]) {
      Row note;
      note.t = step->hasAt ? step->atMs : i < run_.items.size() ? run_.items[i].t : run_.endMs;
      note.kind = RowKind::kNote;
      note.label = step->note;
      note.firstStep = note.lastStep = step->index;
      note.client = step->client;
      addRow(std::move(note));
    }
    if (i == run_.items.size()) break;
    const Item& it = run_.items[i];
    Row row;
    row.t = it.t;
    std::string line = renderText(it, TextOptions{true, 600});
    row.tooltip = line.empty() ? "" : line;
    auto mark = [&](const char* cls, const std::string& label) {
      row.kind = RowKind::kMark;
      row.cls = cls;
      row.label = label;
      row.lanes[laneOf(it.client)] = 1;
      addRow(std::move(row));
    };
    if (it.kind == kind::kDeliver) {
      row.kind = RowKind::kArrow;
      row.from = laneOf(it.str("from"));
      row.lanes[laneOf(it.client)] = 1;
      row.count = 1;
      row.label = deliveryLabel(it);
      int64_t type = it.num("type");
      row.cls = type == 8 || type == 26 ? "arrow light" : "arrow";
      row.tooltip = seconds(it.t) + " " + it.str("from") + " -> " + it.client + ": " + row.label;
      addRow(std::move(row));
    } else if (it.kind == kind::kMessage || it.kind == kind::kInject) {
      if (delivered.count(messageKey(it.client, it)) == 0) {
        mark("undelivered", "sent " + deliveryLabel(it) + ", reached nobody");
      }
    } else if (it.kind == kind::kEvent) {
      std::string label =
          "event " + std::to_string(it.num("type")) + " " + bare(eventName(it.num("type")));
      if (!it.str("annotation").empty()) label += " " + it.str("annotation");
      mark("event", label);
    } else if (it.kind == kind::kTimeout) {
      const int lane = laneOf(it.client);
      mark("fired", "time-out " + timeoutName(it.num("type")));
      if (lanes_[lane].kind == Lane::Kind::kClient) fired(it, lane);
    } else if (it.kind == kind::kTimer) {
      const int lane = laneOf(it.client);
      if (lanes_[lane].kind == Lane::Kind::kClient && drawnTimeout(it.num("type"))) timer(it, lane);
    } else if (it.kind == kind::kRequest && !it.quiet && it.str("by") != "setting") {
      int64_t cmd = it.num("cmd");
      std::string label = requestName(cmd);
      if (cmd == 24006) label += " type " + std::to_string(it.num("type"));
      if (!it.str("annotation").empty()) label += " " + it.str("annotation");
      if (it.find("result") != nullptr) {
        label += " -> " + std::to_string(it.num("result"));
      } else if (cmd != 24008) {
        label += " -> no answer";
      }
      mark("request", label);
    } else if (it.kind == kind::kInsert) {
      std::string label = "inserted " + deliveryLabel(it);
      mark("other", label);
    } else if (it.kind == kind::kOnline) {
      mark("other", it.num("online") != 0 ? "back online" : "vanished");
    } else if (it.kind == kind::kPull) {
      mark("other", "pulled " + std::to_string(it.num("count")) + " offline message(s)");
    }
  }
  if (notDrawn_ > 0) {
    Row cut;
    cut.t = cutAt_;
    cut.kind = RowKind::kCut;
    cut.label = std::to_string(notDrawn_) + " more happenings from " + seconds(cutAt_) +
                " on are not drawn: the timeline below has them";
    rows_.push_back(cut);
    notes_.push_back("The drawing stops after " + std::to_string(limits_.rows) + " rows; " +
                     std::to_string(notDrawn_) + " later happenings are only in the timeline.");
  }
  for (size_t i : openBars_) bars_[i].endRow = rows_.size();

  Diagram d;
  d.svg = render();
  d.notes = notes_;
  d.lanes = lanes_.size();
  d.rows = rows_.size();
  return d;
}

std::string Builder::render() {
  // Vertical positions: a row per happening, a gap before each new instant.
  std::vector<double> top(rows_.size() + 1);
  std::vector<bool> newInstant(rows_.size(), false);
  double y = kTop;
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (i == 0 || rows_[i].t != rows_[i - 1].t) {
      newInstant[i] = true;
      if (i > 0) y += rows_[i].t - rows_[i - 1].t > kLongWaitMs ? kLongGap : kGap;
    }
    top[i] = y;
    y += kRowH;
  }
  top[rows_.size()] = y;
  const double height = y + 16;
  // Room on the right for the last lifeline's labels.
  const double width =
      kAxis + kLaneW * static_cast<double>(std::max<size_t>(lanes_.size(), 1)) + kLaneW / 2;

  Svg svg(width, height, "call");
  svg.style(kCss);

  // Users' boxes, lane heads and lifelines.
  for (size_t l = 0; l < lanes_.size();) {
    size_t end = l + 1;
    if (lanes_[l].kind != Lane::Kind::kOthers) {
      while (end < lanes_.size() && lanes_[end].kind != Lane::Kind::kOthers &&
             lanes_[end].user == lanes_[l].user)
        ++end;
      const double x = kAxis + kLaneW * static_cast<double>(l) + 4;
      const double w = kLaneW * static_cast<double>(end - l) - 8;
      std::string user = userName(sc_, lanes_[l].user);
      svg.rect(x, 6, w, 22, "user", user);
      svg.text(x + w / 2, 21, fitText(user, w - 8, kFont), "user-name", "middle");
    }
    l = end;
  }
  for (size_t l = 0; l < lanes_.size(); ++l) {
    const Lane& lane = lanes_[l];
    const double x = laneX(static_cast<int>(l));
    std::string tip = lane.name;
    if (lane.kind == Lane::Kind::kOthers) {
      for (size_t k = 0; k < lane.members.size() && k < 50; ++k)
        tip += (k == 0 ? ": " : ", ") + lane.members[k];
      if (lane.members.size() > 50) tip += ", ...";
    }
    svg.rect(x - kLaneW / 2 + 10, 32, kLaneW - 20, 36, "lane-head", tip);
    svg.text(x, 47, fitText(lane.name, kLaneW - 28, 12), "lane-name", "middle");
    std::string sub = lane.kind == Lane::Kind::kOthers
                          ? "one lifeline for all"
                          : lane.device + " \xC2\xB7 " + std::to_string(lane.user);
    svg.text(x, 61, fitText(sub, kLaneW - 28, kFont), "lane-device", "middle");
    std::string attr = lane.kind == Lane::Kind::kClient
                           ? "data-client=\"" + escape(lane.name) + "\""
                       : lane.kind == Lane::Kind::kSender
                           ? "data-sender=\"" + escape(lane.name) + "\""
                           : "data-clients=\"" + std::to_string(lane.members.size()) + "\"";
    const char* cls = lane.kind == Lane::Kind::kClient   ? "lifeline"
                      : lane.kind == Lane::Kind::kSender ? "lifeline sender"
                                                         : "lifeline others";
    svg.line(x, 68, x, height - 8, cls, attr);
  }

  // Time down the left, with a faint rule at each new instant.
  for (size_t i = 0; i < rows_.size(); ++i) {
    if (!newInstant[i]) continue;
    if (i > 0 && rows_[i].t - rows_[i - 1].t > kLongWaitMs) {
      svg.text(kAxis - 8, top[i] - 5,
               "+" + num(static_cast<double>(rows_[i].t - rows_[i - 1].t) / 1000) + " s",
               "wait-gap", "end");
    }
    svg.line(4, top[i], width - 4, top[i], "rule");
    svg.text(kAxis - 8, top[i] + 15, seconds(rows_[i].t), "time", "end");
  }

  // Armed time-outs, beside their lifeline, under everything else.
  for (const Bar& b : bars_) {
    const double x = laneX(b.lane) - 4 - kBarW - (kBarW + 2) * b.slot;
    const double y0 = top[b.startRow];
    const double y1 = std::max(top[b.endRow], y0 + 3);
    std::string tip = timeoutName(b.type) + " time-out of " + std::to_string(b.seconds) + " s";
    if (!b.key.empty()) tip += " for " + b.key;
    if (!b.members.empty()) {
      tip += " (members";
      for (int64_t m : b.members) tip += " " + std::to_string(m);
      tip += ")";
    }
    tip += ": armed at " + seconds(b.armedAt);
    if (b.refreshes > 0) tip += ", refreshed " + std::to_string(b.refreshes) + " times";
    tip += b.open ? ", still armed"
                  : (b.fired ? ", fired at " : ", taken back at ") + seconds(b.endedAt);
    svg.rect(x, y0, kBarW, y1 - y0,
             std::string("bar ") + barClass(b.type) + (b.open ? " open" : ""), tip);
  }

  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& r = rows_[i];
    const double mid = top[i] + kRowH / 2;
    if (r.kind == RowKind::kNote || r.kind == RowKind::kCut) {
      const bool note = r.kind == RowKind::kNote;
      std::string text = r.label;
      if (note) {
        text = r.firstStep == r.lastStep
                   ? "step " + std::to_string(r.firstStep)
                   : "steps " + std::to_string(r.firstStep) + " to " + std::to_string(r.lastStep);
        if (!r.client.empty()) text += " (" + r.client + ")";
        if (!r.label.empty()) text += ": " + r.label;
      }
      if (note) svg.rect(kAxis, top[i] + 2, width - kAxis - 8, kRowH - 4, "note-band");
      svg.text(kAxis + 8, mid + 4, fitText(text, width - kAxis - 24, kFont), note ? "note" : "cut",
               "start", text);
      continue;
    }
    if (r.kind == RowKind::kArrow) {
      const double fx = laneX(r.from);
      std::string label = r.count > 1 ? r.label + " \xC3\x97" + std::to_string(r.count) : r.label;
      svg.openGroup(r.cls, r.count > 1 ? r.tooltip + " (and " + std::to_string(r.count - 1) +
                                             " more deliveries)"
                                       : r.tooltip);
      double lo = fx, hi = fx, nearest = -1;
      for (const auto& entry : r.lanes) {
        const double hx = laneX(entry.first);
        lo = std::min(lo, hx);
        hi = std::max(hi, hx);
        if (entry.first != r.from && (nearest < 0 || std::abs(hx - fx) < std::abs(nearest - fx)))
          nearest = hx;
      }
      const double ly = mid + 5;
      if (lo < hi) svg.line(lo, ly, hi, ly, "");
      for (const auto& entry : r.lanes) {
        const double hx = laneX(entry.first);
        if (entry.first == r.from) {
          // To another client on the same lifeline: a small loop.
          svg.line(fx, ly - 6, fx + 24, ly - 6, "");
          svg.line(fx + 24, ly - 6, fx + 24, ly, "");
          svg.line(fx + 24, ly, fx + 7, ly, "");
          svg.polygon(num(fx + 1) + "," + num(ly) + " " + num(fx + 8) + "," + num(ly - 4) + " " +
                          num(fx + 8) + "," + num(ly + 4),
                      "");
          continue;
        }
        const double d = hx > fx ? 1 : -1;
        svg.polygon(num(hx - d) + "," + num(ly) + " " + num(hx - d * 9) + "," + num(ly - 4) + " " +
                        num(hx - d * 9) + "," + num(ly + 4),
                    "");
      }
      double from = fx, to = nearest < 0 ? fx + 60 : nearest;
      const double span = std::max(std::abs(to - from) - 12, kLaneW - 30);
      svg.text((from + to) / 2, ly - 4, fitText(label, span, kFont), "", "middle");
      svg.closeGroup();
      continue;
    }
    for (const auto& [lane, n] : r.lanes) {
      const double x = laneX(lane);
      std::string label = n > 1 ? r.label + " \xC3\x97" + std::to_string(n) : r.label;
      svg.openGroup("mark " + r.cls,
                    n > 1 ? r.tooltip + " (" + std::to_string(n) + " alike)" : r.tooltip);
      if (r.cls == "event") {
        svg.circle(x, mid, 4.5, "");
      } else if (r.cls == "request") {
        svg.rect(x - 4, mid - 4, 8, 8, "");
      } else if (r.cls == "fired" || r.cls == "undelivered") {
        svg.polygon(num(x) + "," + num(mid - 6) + " " + num(x + 6) + "," + num(mid) + " " + num(x) +
                        "," + num(mid + 6) + " " + num(x - 6) + "," + num(mid),
                    "");
      } else {
        svg.circle(x, mid, 3.5, "");
      }
      svg.text(x + 9, mid + 4, fitText(label, kLaneW - 30, kFont), "");
      svg.closeGroup();
    }
  }
  return svg.str();
}

}  // namespace

Diagram sequenceDiagram(const Scenario& scenario, const RunResult& run,
                        const DiagramLimits& limits) {
  Builder b(scenario, run, limits);
  return b.build();
}

}  // namespace report
}  // namespace mrtcsim
