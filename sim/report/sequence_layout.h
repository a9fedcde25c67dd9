// Where everything goes in the sequence diagram, before any of it is drawn:
// the lifelines, one row per happening (alike ones at one instant merged),
// and the bars of the armed time-outs with the rows they span.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "report/sequence.h"

namespace mrtcsim {
namespace report {

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
  std::vector<int64_t> members;
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

struct Layout {
  std::vector<Lane> lanes;
  std::vector<Row> rows;
  std::vector<Bar> bars;
  std::vector<std::string> notes;  // what was merged or left out
};

Layout layOut(const Scenario& scenario, const RunResult& run, const DiagramLimits& limits);

}  // namespace report
}  // namespace mrtcsim
