#include <algorithm>
#include <cmath>
#include <cstdint>

#include "report/sequence.h"
#include "report/sequence_layout.h"
#include "report/svg.h"
#include "timer/timeout_record.h"

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

std::string userName(const Scenario& sc, int64_t id) {
  for (const UserSpec& u : sc.users) {
    if (u.id == id && !u.name.empty()) return u.name + " (" + std::to_string(id) + ")";
  }
  return "user " + std::to_string(id);
}

const char* barClass(int64_t type) {
  return type == imsdkmrtc::kTimeoutWait   ? "wait"
         : type == imsdkmrtc::kTimeoutRing ? "ring"
                                           : "keepalive";
}

// Draws a laid-out diagram: users' boxes, lane heads and lifelines, the time
// down the left, the armed time-outs as bars, then the rows.
class Drawer {
 public:
  Drawer(const Scenario& sc, const Layout& layout)
      : sc_(sc), l_(layout), top_(placeRows()), svg_(width(), height(), "call") {}

  std::string draw();

 private:
  std::vector<double> placeRows();
  double width() const {
    // Room on the right for the last lifeline's labels.
    return kAxis + kLaneW * static_cast<double>(std::max<size_t>(l_.lanes.size(), 1)) + kLaneW / 2;
  }
  double height() const { return top_.back() + 16; }
  double laneX(int lane) const { return kAxis + kLaneW * (lane + 0.5); }
  void drawUsers();
  void drawLanes();
  void drawTime();
  void drawBars();
  void drawNote(const Row& r, size_t i, double mid);
  void drawArrow(const Row& r, double mid);
  void drawMarks(const Row& r, double mid);

  const Scenario& sc_;
  const Layout& l_;
  std::vector<bool> newInstant_;
  std::vector<double> top_;  // of each row, and the end of the last
  double width_ = width();
  double height_ = height();
  Svg svg_;
};

// Vertical positions: a row per happening, a gap before each new instant.
std::vector<double> Drawer::placeRows() {
  std::vector<double> top(l_.rows.size() + 1);
  newInstant_.assign(l_.rows.size(), false);
  double y = kTop;
  for (size_t i = 0; i < l_.rows.size(); ++i) {
    if (i == 0 || l_.rows[i].t != l_.rows[i - 1].t) {
      newInstant_[i] = true;
      if (i > 0) y += l_.rows[i].t - l_.rows[i - 1].t > kLongWaitMs ? kLongGap : kGap;
    }
    top[i] = y;
    y += kRowH;
  }
  top[l_.rows.size()] = y;
  return top;
}

void Drawer::drawUsers() {
  for (size_t l = 0; l < l_.lanes.size();) {
    size_t end = l + 1;
    if (l_.lanes[l].kind != Lane::Kind::kOthers) {
      while (end < l_.lanes.size() && l_.lanes[end].kind != Lane::Kind::kOthers &&
             l_.lanes[end].user == l_.lanes[l].user)
        ++end;
      const double x = kAxis + kLaneW * static_cast<double>(l) + 4;
      const double w = kLaneW * static_cast<double>(end - l) - 8;
      std::string user = userName(sc_, l_.lanes[l].user);
      svg_.rect(x, 6, w, 22, "user", user);
      svg_.text(x + w / 2, 21, fitText(user, w - 8, kFont), "user-name", "middle");
    }
    l = end;
  }
}

void Drawer::drawLanes() {
  for (size_t l = 0; l < l_.lanes.size(); ++l) {
    const Lane& lane = l_.lanes[l];
    const double x = laneX(static_cast<int>(l));
    std::string tip = lane.name;
    if (lane.kind == Lane::Kind::kOthers) {
      for (size_t k = 0; k < lane.members.size() && k < 50; ++k)
        tip += (k == 0 ? ": " : ", ") + lane.members[k];
      if (lane.members.size() > 50) tip += ", ...";
    }
    svg_.rect(x - kLaneW / 2 + 10, 32, kLaneW - 20, 36, "lane-head", tip);
    svg_.text(x, 47, fitText(lane.name, kLaneW - 28, 12), "lane-name", "middle");
    std::string sub = lane.kind == Lane::Kind::kOthers
                          ? "one lifeline for all"
                          : lane.device + " \xC2\xB7 " + std::to_string(lane.user);
    svg_.text(x, 61, fitText(sub, kLaneW - 28, kFont), "lane-device", "middle");
    std::string attr = lane.kind == Lane::Kind::kClient
                           ? "data-client=\"" + escape(lane.name) + "\""
                       : lane.kind == Lane::Kind::kSender
                           ? "data-sender=\"" + escape(lane.name) + "\""
                           : "data-clients=\"" + std::to_string(lane.members.size()) + "\"";
    const char* cls = lane.kind == Lane::Kind::kClient   ? "lifeline"
                      : lane.kind == Lane::Kind::kSender ? "lifeline sender"
                                                         : "lifeline others";
    svg_.line(x, 68, x, height_ - 8, cls, attr);
  }
}

// Time down the left, with a faint rule at each new instant.
void Drawer::drawTime() {
  for (size_t i = 0; i < l_.rows.size(); ++i) {
    if (!newInstant_[i]) continue;
    if (i > 0 && l_.rows[i].t - l_.rows[i - 1].t > kLongWaitMs) {
      svg_.text(kAxis - 8, top_[i] - 5,
                "+" + num(static_cast<double>(l_.rows[i].t - l_.rows[i - 1].t) / 1000) + " s",
                "wait-gap", "end");
    }
    svg_.line(4, top_[i], width_ - 4, top_[i], "rule");
    svg_.text(kAxis - 8, top_[i] + 15, seconds(l_.rows[i].t), "time", "end");
  }
}

// Armed time-outs, beside their lifeline, under everything else.
void Drawer::drawBars() {
  for (const Bar& b : l_.bars) {
    const double x = laneX(b.lane) - 4 - kBarW - (kBarW + 2) * b.slot;
    const double y0 = top_[b.startRow];
    const double y1 = std::max(top_[b.endRow], y0 + 3);
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
    svg_.rect(x, y0, kBarW, y1 - y0,
              std::string("bar ") + barClass(b.type) + (b.open ? " open" : ""), tip);
  }
}

void Drawer::drawNote(const Row& r, size_t i, double mid) {
  const bool note = r.kind == RowKind::kNote;
  std::string text = r.label;
  if (note) {
    text = r.firstStep == r.lastStep
               ? "step " + std::to_string(r.firstStep)
               : "steps " + std::to_string(r.firstStep) + " to " + std::to_string(r.lastStep);
    if (!r.client.empty()) text += " (" + r.client + ")";
    if (!r.label.empty()) text += ": " + r.label;
  }
  if (note) svg_.rect(kAxis, top_[i] + 2, width_ - kAxis - 8, kRowH - 4, "note-band");
  svg_.text(kAxis + 8, mid + 4, fitText(text, width_ - kAxis - 24, kFont), note ? "note" : "cut",
            "start", text);
}

void Drawer::drawArrow(const Row& r, double mid) {
  const double fx = laneX(r.from);
  std::string label = r.count > 1 ? r.label + " \xC3\x97" + std::to_string(r.count) : r.label;
  svg_.openGroup(
      r.cls, r.count > 1 ? r.tooltip + " (and " + std::to_string(r.count - 1) + " more deliveries)"
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
  if (lo < hi) svg_.line(lo, ly, hi, ly, "");
  for (const auto& entry : r.lanes) {
    const double hx = laneX(entry.first);
    if (entry.first == r.from) {
      // To another client on the same lifeline: a small loop.
      svg_.line(fx, ly - 6, fx + 24, ly - 6, "");
      svg_.line(fx + 24, ly - 6, fx + 24, ly, "");
      svg_.line(fx + 24, ly, fx + 7, ly, "");
      svg_.polygon(num(fx + 1) + "," + num(ly) + " " + num(fx + 8) + "," + num(ly - 4) + " " +
                       num(fx + 8) + "," + num(ly + 4),
                   "");
      continue;
    }
    const double d = hx > fx ? 1 : -1;
    svg_.polygon(num(hx - d) + "," + num(ly) + " " + num(hx - d * 9) + "," + num(ly - 4) + " " +
                     num(hx - d * 9) + "," + num(ly + 4),
                 "");
  }
  double from = fx, to = nearest < 0 ? fx + 60 : nearest;
  const double span = std::max(std::abs(to - from) - 12, kLaneW - 30);
  svg_.text((from + to) / 2, ly - 4, fitText(label, span, kFont), "", "middle");
  svg_.closeGroup();
}

void Drawer::drawMarks(const Row& r, double mid) {
  for (const auto& [lane, n] : r.lanes) {
    const double x = laneX(lane);
    std::string label = n > 1 ? r.label + " \xC3\x97" + std::to_string(n) : r.label;
    svg_.openGroup("mark " + r.cls,
                   n > 1 ? r.tooltip + " (" + std::to_string(n) + " alike)" : r.tooltip);
    if (r.cls == "event") {
      svg_.circle(x, mid, 4.5, "");
    } else if (r.cls == "request") {
      svg_.rect(x - 4, mid - 4, 8, 8, "");
    } else if (r.cls == "fired" || r.cls == "undelivered") {
      svg_.polygon(num(x) + "," + num(mid - 6) + " " + num(x + 6) + "," + num(mid) + " " + num(x) +
                       "," + num(mid + 6) + " " + num(x - 6) + "," + num(mid),
                   "");
    } else {
      svg_.circle(x, mid, 3.5, "");
    }
    svg_.text(x + 9, mid + 4, fitText(label, kLaneW - 30, kFont), "");
    svg_.closeGroup();
  }
}

std::string Drawer::draw() {
  svg_.style(kCss);
  drawUsers();
  drawLanes();
  drawTime();
  drawBars();
  for (size_t i = 0; i < l_.rows.size(); ++i) {
    const Row& r = l_.rows[i];
    const double mid = top_[i] + kRowH / 2;
    if (r.kind == RowKind::kNote || r.kind == RowKind::kCut) {
      drawNote(r, i, mid);
    } else if (r.kind == RowKind::kArrow) {
      drawArrow(r, mid);
    } else {
      drawMarks(r, mid);
    }
  }
  return svg_.str();
}

}  // namespace

Diagram sequenceDiagram(const Scenario& scenario, const RunResult& run,
                        const DiagramLimits& limits) {
  Layout layout = layOut(scenario, run, limits);
  Diagram d;
  d.svg = Drawer(scenario, layout).draw();
  d.notes = layout.notes;
  d.lanes = layout.lanes.size();
  d.rows = layout.rows.size();
  return d;
}

}  // namespace report
}  // namespace mrtcsim
