// A Mermaid sequence diagram of a run: one participant per client (and per
// injected sender), one arrow per delivered message, notes for requests,
// UI events and fired time-outs.
#pragma once

#include <string>

#include "runner.h"

namespace mrtcsim {

std::string mermaidDiagram(const RunResult& run, const std::string& title);

}  // namespace mrtcsim
