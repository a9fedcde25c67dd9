#include "report/sequence_layout.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "report/svg.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"
#include "timer/timeout_record.h"

namespace mrtcsim {
namespace report {

namespace {

std::string deliveryLabel(const Item& it) {
  int64_t type = it.num("type");
  std::string text;
  if (type == imsdkmrtc::kMsgTypeWeakHint) {
    text = "weak hint";
  } else if (type == imsdkmrtc::kMsgTypeCard) {
    text = "call card";
  } else if (it.str("command").empty()) {
    text = "message type " + std::to_string(type);
  } else {
    text = it.str("command");
    if (!it.str("annotation").empty()) text += " (" + it.str("annotation") + ")";
    if (it.str("flag") == imsdkmrtc::texts::wire::kFlagRecall) text += " (recall)";
  }
  const int64_t relay = imsdkmrtc::texts::wire::kServiceAccount;
  if (it.num("target") == relay) text += " via " + std::to_string(relay);
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

bool isMemberTimeout(int64_t type) {
  return type == imsdkmrtc::kTimeoutWait || type == imsdkmrtc::kTimeoutRing;
}
bool drawnTimeout(int64_t type) {
  return isMemberTimeout(type) || type == imsdkmrtc::kTimeoutKeepAlive;
}

class Builder {
 public:
  Builder(const Scenario& sc, const RunResult& run, const DiagramLimits& limits)
      : sc_(sc), run_(run), limits_(limits) {}

  Layout build();

 private:
  void placeLanes();
  int laneOf(const std::string& name);
  void addRow(Row row);
  void placeNotes(std::vector<std::vector<const Step*>>& notesBefore) const;
  void addNote(const Step& step, size_t at);
  void addItem(const Item& it, const std::set<std::string>& delivered);
  void cutRow();
  void timer(const Item& it, int lane);
  void cancel(const Item& it, int lane);
  void closeEmptied(int64_t t);
  void fired(const Item& it, int lane);
  void take(Bar& bar, const IdList& gone);
  void close(Bar& bar, int64_t t, bool fired);
  bool sameQueue(const Bar& b, int lane, int64_t category, const std::string& key) const {
    return b.lane == lane && b.category == category && b.key == key;
  }

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

void Builder::closeEmptied(int64_t t) {
  for (size_t i = 0; i < openBars_.size();) {
    Bar& b = bars_[openBars_[i]];
    if (isMemberTimeout(b.type) && b.members.empty()) {
      close(b, t, false);
      openBars_.erase(openBars_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

// Taken back: a member time-out member by member, any other the whole
// category of its lane.
void Builder::cancel(const Item& it, int lane) {
  const int64_t category = it.num("category");
  if (isMemberTimeout(it.num("type"))) {
    const std::string key = it.str("key");
    const IdList members = it.ids("members");
    for (size_t i : openBars_) {
      if (sameQueue(bars_[i], lane, category, key)) take(bars_[i], members);
    }
    closeEmptied(it.t);
    return;
  }
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

// Follows the plug-in's time-out queue closely enough to draw it: what was
// armed, refreshed, taken back member by member, or fired.
void Builder::timer(const Item& it, int lane) {
  if (it.str("op") == "cancel") {
    cancel(it, lane);
    return;
  }
  if (it.str("op") != "arm") return;
  const int64_t type = it.num("type");
  const int64_t category = it.num("category");
  const std::string key = it.str("key");
  const IdList members = it.ids("members");
  const int64_t due = it.t + it.num("seconds") * 1000;
  if (it.num("refresh") != 0) {
    for (size_t i : openBars_) {
      Bar& b = bars_[i];
      if (sameQueue(b, lane, category, key) && b.type == type) {
        b.members = members;
        b.due = due;
        ++b.refreshes;
        return;
      }
    }
  }
  std::vector<int64_t> kept(members.begin(), members.end());
  const int64_t mode = it.num("mode");
  if (mode == imsdkmrtc::kMembersReplace) {
    for (size_t i : openBars_) {
      if (sameQueue(bars_[i], lane, category, key)) take(bars_[i], members);
    }
    closeEmptied(it.t);
  } else if (mode == imsdkmrtc::kMembersOnlyNew) {
    kept.clear();
    for (int64_t id : members) {
      bool pending = false;
      for (size_t i : openBars_) {
        const Bar& b = bars_[i];
        pending = pending || (sameQueue(b, lane, category, key) &&
                              std::count(b.members.begin(), b.members.end(), id));
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

// Step notes go before the first item of their step at the step's time.
void Builder::placeNotes(std::vector<std::vector<const Step*>>& notesBefore) const {
  for (size_t s = 0; s < run_.steps.size() && s < sc_.steps.size(); ++s) {
    const Step& step = sc_.steps[s];
    const StepWindow& w = run_.steps[s];
    size_t at = w.from;
    if (step.hasAt) {
      while (at < w.to && run_.items[at].t < step.atMs) ++at;
    }
    notesBefore[at].push_back(&step);
  }
}

void Builder::addNote(const Step& step, size_t at) {
  Row note;
  note.t = step.hasAt ? step.atMs : at < run_.items.size() ? run_.items[at].t : run_.endMs;
  note.kind = RowKind::kNote;
  note.label = step.note;
  note.firstStep = note.lastStep = step.index;
  note.client = step.client;
  addRow(std::move(note));
}

void Builder::addItem(const Item& it, const std::set<std::string>& delivered) {
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
    row.cls = type == imsdkmrtc::kMsgTypeWeakHint || type == imsdkmrtc::kMsgTypeCard ? "arrow light"
                                                                                     : "arrow";
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
    if (cmd == imsdk::kCmdExtra) label += " type " + std::to_string(it.num("type"));
    if (!it.str("annotation").empty()) label += " " + it.str("annotation");
    if (it.find("result") != nullptr) {
      label += " -> " + std::to_string(it.num("result"));
    } else if (cmd != imsdk::kCmdKeepAlive) {
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

void Builder::cutRow() {
  Row cut;
  cut.t = cutAt_;
  cut.kind = RowKind::kCut;
  cut.label = std::to_string(notDrawn_) + " more happenings from " + seconds(cutAt_) +
              " on are not drawn: the timeline below has them";
  rows_.push_back(cut);
  notes_.push_back("The drawing stops after " + std::to_string(limits_.rows) + " rows; " +
                   std::to_string(notDrawn_) + " later happenings are only in the timeline.");
}

Layout Builder::build() {
  placeLanes();
  // Which sent messages reached somebody: the others are drawn as marks.
  std::set<std::string> delivered;
  for (const Item& it : run_.items) {
    if (it.kind == kind::kDeliver) delivered.insert(messageKey(it.str("from"), it));
  }
  std::vector<std::vector<const Step*>> notesBefore(run_.items.size() + 1);
  placeNotes(notesBefore);
  for (size_t i = 0; i <= run_.items.size(); ++i) {
    for (const Step* step : notesBefore[i]) addNote(*step, i);
    if (i == run_.items.size()) break;
    addItem(run_.items[i], delivered);
  }
  if (notDrawn_ > 0) cutRow();
  for (size_t i : openBars_) bars_[i].endRow = rows_.size();
  return Layout{std::move(lanes_), std::move(rows_), std::move(bars_), std::move(notes_)};
}

}  // namespace

Layout layOut(const Scenario& scenario, const RunResult& run, const DiagramLimits& limits) {
  Builder b(scenario, run, limits);
  return b.build();
}

}  // namespace report
}  // namespace mrtcsim
