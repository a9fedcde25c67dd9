// The call as a sequence diagram in SVG: one lifeline per client, grouped by
// user; arrows for the messages delivered (one arrow per message, with a
// head at every lifeline it reached and a count when it reached several);
// marks for requests, UI events, fired time-outs and the like; bars for the
// armed ring, wait and keep-alive time-outs; virtual time down the left.
//
// Large runs stay readable and bounded: past `lanes` clients the ones that
// act in no step share one lifeline, happenings at one instant that look
// alike are drawn once with a count, and past `rows` rows the drawing stops
// with a note.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "runner.h"
#include "scenario.h"

namespace mrtcsim {
namespace report {

struct DiagramLimits {
  size_t lanes = 12;  // lifelines drawn one per client; more share one
  size_t rows = 400;  // rows drawn; later happenings are left out
};

struct Diagram {
  std::string svg;
  std::vector<std::string> notes;  // what was merged or left out
  size_t lanes = 0;
  size_t rows = 0;
};

Diagram sequenceDiagram(const Scenario& scenario, const RunResult& run,
                        const DiagramLimits& limits = {});

}  // namespace report
}  // namespace mrtcsim
