// `mrtc-sim --html`: one self-contained HTML page about a run. It holds the
// scenario's name and description, the call drawn as a sequence diagram in
// inline SVG, the result of every expectation and the whole timeline as a
// table whose rows open to show every field in full. The page loads nothing
// (its content security policy forbids it) and needs no script to be read;
// a few lines of script add buttons that open or close every row at once.
//
// Its size is bounded for any run: the drawing has at most `diagram.rows`
// rows and `diagram.lanes` lifelines, the table at most `tableRows` rows, and
// the texts shown in full inside the rows at most `detailBytes` bytes in all
// (a text shown before is linked, not repeated); past that the page says
// what it left out.
#pragma once

#include <cstddef>
#include <string>

#include "report/sequence.h"
#include "runner.h"
#include "scenario.h"

namespace mrtcsim {
namespace report {

struct ReportLimits {
  DiagramLimits diagram;
  size_t tableRows = 2000;
  size_t detailBytes = 1500000;
};

std::string htmlReport(const Scenario& scenario, const RunResult& run,
                       const ReportLimits& limits = {});

}  // namespace report
}  // namespace mrtcsim
