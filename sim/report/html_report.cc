#include "report/html_report.h"

#include <map>
#include <sstream>

#include "expect.h"
#include "report/svg.h"

namespace mrtcsim {
namespace report {

namespace {

constexpr const char* kCss =
    "body{font-family:'DejaVu Sans','Liberation Sans',sans-serif;margin:18px 22px;color:#1d2733;"
    "background:#fff}"
    "h1{font-size:21px;margin:0 0 6px}h2{font-size:17px;margin:26px 0 8px;border-bottom:1px solid "
    "#d5dbe3;padding-bottom:3px}"
    ".desc{max-width:70em;margin:4px 0 8px;line-height:1.4}"
    ".facts{color:#4d5966;margin:2px 0}"
    ".verdict{font-weight:bold;margin:8px "
    "0}.verdict.ok{color:#1e7e34}.verdict.failed{color:#b02a1a}"
    ".drawing{overflow-x:auto;border:1px solid #d5dbe3;padding:4px;background:#fcfdfe}"
    ".legend{color:#4d5966;font-size:13px;margin:6px 0}"
    ".sw{display:inline-block;width:10px;height:10px;margin:0 4px 0 10px;vertical-align:middle}"
    ".notes li{color:#8a5a00}"
    "ol.checks{padding-left:1.4em}ol.checks li{margin:3px 0}"
    ".ok>details>summary,.ok>span{color:#1e7e34}.failed>details>summary,.failed>span{color:#b02a1a}"
    ".notrun>details>summary{color:#7f8c8d}"
    "ul.exp{list-style:none;padding-left:1em;font-family:'DejaVu Sans Mono',monospace;"
    "font-size:12px}"
    "ul.exp li.ok::before{content:'\\2713  ';color:#1e7e34}"
    "ul.exp li.failed::before{content:'\\2717  ';color:#b02a1a}"
    "ul.exp li.notrun::before{content:'\\2013  ';color:#7f8c8d}"
    "pre{white-space:pre-wrap;word-break:break-all;margin:2px 0}"
    "table.timeline{border-collapse:collapse;font-family:'DejaVu Sans Mono',monospace;"
    "font-size:12px;width:100%}"
    ".timeline td,.timeline th{border-bottom:1px solid #edf0f4;padding:2px 6px;text-align:left;"
    "vertical-align:top}"
    ".timeline td.n,.timeline td.t{text-align:right;white-space:nowrap;color:#4d5966}"
    ".timeline tr.quiet{color:#7f8c8d}"
    ".timeline summary{cursor:pointer}"
    "dl.fields{display:grid;grid-template-columns:max-content 1fr;gap:1px 10px;margin:4px 0 6px "
    "14px}"
    "dl.fields dt{color:#5b6b7d}dl.fields dd{margin:0;white-space:pre-wrap;word-break:break-all}"
    ".cutnote{color:#8a5a00}#timeline-tools button{margin:0 6px 8px 0}";

// Opens or closes every row of the timeline at once. Everything else works
// without it.
constexpr const char* kScript =
    "(function(){var tools=document.getElementById('timeline-tools');if(!tools)return;"
    "function all(open){var d=document.querySelectorAll('#timeline details');"
    "for(var i=0;i<d.length;i++)d[i].open=open;}"
    "[['Open every row',true],['Close every row',false]].forEach(function(b){"
    "var e=document.createElement('button');e.type='button';e.textContent=b[0];"
    "e.addEventListener('click',function(){all(b[1]);});tools.appendChild(e);});})();";

// Texts longer than this are shown once and linked from later rows.
constexpr size_t kShareAbove = 120;
constexpr size_t kSummaryColumns = 150;

std::string esc(const std::string& s) { return escape(s); }

std::string countWord(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string expectationText(const Expectation& e) {
  std::string text = e.label + ": " + describe(e);
  if (e.count == 0) {
    text += " never";
  } else if (e.count > 0) {
    text += " exactly " + std::to_string(e.count) + " time(s)";
  }
  return text;
}

struct CheckedList {
  std::string title;
  std::vector<const Expectation*> expects;
  std::vector<std::string> failures;  // "" when it held
  bool run = true;
};

void writeChecks(std::ostringstream& out, const std::vector<CheckedList>& lists) {
  out << "<ol class=\"checks\">\n";
  for (const CheckedList& list : lists) {
    if (list.expects.empty()) continue;
    size_t held = 0;
    for (const std::string& f : list.failures) held += f.empty() ? 1 : 0;
    const char* cls = !list.run ? "notrun" : held == list.expects.size() ? "ok" : "failed";
    out << "<li class=\"" << cls << "\"><details" << (std::string(cls) == "failed" ? " open" : "")
        << "><summary>" << esc(list.title) << " \xE2\x80\x94 ";
    if (!list.run) {
      out << "not run";
    } else {
      out << held << " of " << list.expects.size() << " held";
    }
    out << "</summary><ul class=\"exp\">\n";
    for (size_t i = 0; i < list.expects.size(); ++i) {
      const char* c = !list.run ? "notrun" : list.failures[i].empty() ? "ok" : "failed";
      out << "<li class=\"" << c << "\">" << esc(expectationText(*list.expects[i]));
      if (list.run && !list.failures[i].empty())
        out << "<pre>" << esc(list.failures[i]) << "</pre>";
      out << "</li>\n";
    }
    out << "</ul></details></li>\n";
  }
  out << "</ol>\n";
}

// What a row of the table says in one line.
std::string summary(const Item& it) {
  if (it.kind == kind::kDeliver) {
    std::string what =
        it.str("command").empty() ? "type " + std::to_string(it.num("type")) : it.str("command");
    if (!it.str("annotation").empty()) what += " (" + it.str("annotation") + ")";
    return "deliver " + what + " from " + it.str("from") + " (type " +
           std::to_string(it.num("type")) + ")";
  }
  std::string line = renderText(it, TextOptions{true, 0});
  // Past the "[   1.000] client    " the text output starts every line with.
  size_t prefix = 11 + 2 + std::max<size_t>(9, it.client.size());
  return fitColumns(line.size() > prefix ? line.substr(prefix) : line, kSummaryColumns);
}

class Table {
 public:
  Table(const RunResult& run, const ReportLimits& limits) : run_(run), limits_(limits) {}

  void write(std::ostringstream& out, std::vector<std::string>* notes);

 private:
  void fields(std::ostringstream& out, const Item& it, size_t row);

  const RunResult& run_;
  const ReportLimits& limits_;
  std::map<std::string, size_t> shown_;  // long text -> the row that shows it
  size_t budget_ = 0;
  size_t cut_ = 0;
};

void Table::fields(std::ostringstream& out, const Item& it, size_t row) {
  out << "<dl class=\"fields\">";
  for (const Field& f : it.fields) {
    std::string value = valueText(f.value);
    out << "<dt>" << esc(f.key) << "</dt><dd>";
    if (value.size() > kShareAbove) {
      auto seen = shown_.find(value);
      if (seen != shown_.end()) {
        out << "(" << value.size() << " bytes, as in <a href=\"#i" << seen->second << "\">row "
            << seen->second << "</a>)</dd>";
        continue;
      }
      if (value.size() > budget_) {
        ++cut_;
        out << esc(fitColumns(value, kSummaryColumns)) << " <span class=\"cutnote\">("
            << value.size()
            << " bytes; the page's room for whole texts is used up: --json prints it)</span></dd>";
        continue;
      }
      budget_ -= value.size();
      shown_[value] = row;
    }
    out << esc(value) << "</dd>";
  }
  out << "</dl>";
}

void Table::write(std::ostringstream& out, std::vector<std::string>* notes) {
  budget_ = limits_.detailBytes;
  size_t rows = 0, logs = 0, left = 0;
  out << "<table class=\"timeline\"><thead><tr><th>#</th><th>time</th><th>client</th>"
         "<th>kind</th><th>what happened (open a row for all of it)</th></tr></thead><tbody>\n";
  for (size_t i = 0; i < run_.items.size(); ++i) {
    const Item& it = run_.items[i];
    if (it.kind == kind::kLog) {
      ++logs;
      continue;
    }
    if (rows >= limits_.tableRows) {
      ++left;
      continue;
    }
    ++rows;
    const size_t n = i + 1;
    out << "<tr id=\"i" << n << "\"" << (it.quiet ? " class=\"quiet\"" : "") << "><td class=\"n\">"
        << n << "</td><td class=\"t\">" << esc(seconds(it.t)) << "</td><td>" << esc(it.client)
        << "</td><td>" << esc(it.kind) << "</td><td><details><summary>" << esc(summary(it))
        << "</summary>";
    fields(out, it, n);
    out << "</details></td></tr>\n";
  }
  out << "</tbody></table>\n";
  if (left > 0) {
    notes->push_back("The table stops after " + std::to_string(limits_.tableRows) + " rows; " +
                     std::to_string(left) + " later items are left out (--json prints them all).");
  }
  if (cut_ > 0) {
    notes->push_back(std::to_string(cut_) +
                     " long texts are cut in the table: the page keeps at most " +
                     std::to_string(limits_.detailBytes) + " bytes of whole texts.");
  }
  if (logs > 0) {
    notes->push_back(countWord(logs, "plug-in log line is", "plug-in log lines are") +
                     " not in the table (mrtc-sim --log prints them).");
  }
}

// One expectation checked again on its own against items [from, to): its
// failure, or "" when it held.
std::string recheck(const Expectation& e, const RunResult& run, size_t from, size_t to,
                    const std::string& context) {
  std::vector<std::string> f = check({e}, run.items, from, to, context);
  return f.empty() ? "" : f.front();
}

// Every expectation checked again on its own, against the same items the
// run checked it on, to tell which held.
std::vector<CheckedList> recheckAll(const Scenario& sc, const RunResult& run) {
  std::vector<CheckedList> lists;
  for (size_t s = 0; s < sc.steps.size(); ++s) {
    const Step& step = sc.steps[s];
    CheckedList list;
    list.title = "step " + std::to_string(step.index);
    if (step.hasAt) list.title += " at " + seconds(step.atMs);
    if (!step.client.empty()) list.title += " (" + step.client + ")";
    if (!step.note.empty()) list.title += ": " + step.note;
    list.run = s < run.steps.size();
    for (const Expectation& e : step.expects) {
      list.expects.push_back(&e);
      list.failures.push_back(
          list.run ? recheck(e, run, run.steps[s].from, run.steps[s].to, list.title) : "");
    }
    lists.push_back(std::move(list));
  }
  CheckedList list;
  list.title = "over the whole run";
  list.run = run.error.empty();
  for (const Expectation& e : sc.expects) {
    list.expects.push_back(&e);
    list.failures.push_back(list.run ? recheck(e, run, 0, run.items.size(), list.title) : "");
  }
  lists.push_back(std::move(list));
  return lists;
}

// The page's head: the scenario, the run's size and the verdict.
void writeHeader(std::ostream& out, const Scenario& sc, const RunResult& run,
                 const std::string& title, size_t total, size_t failed) {
  out << "<header><h1>" << esc(title) << "</h1>\n";
  if (!sc.description.empty()) out << "<p class=\"desc\">" << esc(sc.description) << "</p>\n";
  out << "<p class=\"facts\">" << esc(sc.file) << " \xC2\xB7 "
      << countWord(run.clients.size(), "client", "clients") << " \xC2\xB7 "
      << esc(seconds(run.endMs)) << " of virtual time \xC2\xB7 "
      << countWord(run.items.size(), "timeline item", "timeline items") << "</p>\n";
  if (!run.error.empty()) {
    out << "<p class=\"verdict failed\">The run stopped: " << esc(run.error) << "</p>\n";
  } else if (failed > 0) {
    out << "<p class=\"verdict failed\">" << failed << " of " << total
        << " expectations failed.</p>\n";
  } else {
    out << "<p class=\"verdict ok\">"
        << (total == 0 ? std::string("The scenario expects nothing.")
                       : "Every expectation held (" + std::to_string(total) + ").")
        << "</p>\n";
  }
  out << "</header>\n";
}

}  // namespace

std::string htmlReport(const Scenario& sc, const RunResult& run, const ReportLimits& limits) {
  const std::string title = sc.name.empty() ? sc.file : sc.name;

  std::vector<CheckedList> lists = recheckAll(sc, run);
  size_t total = 0, failed = 0;
  for (const CheckedList& l : lists) {
    total += l.expects.size();
    for (const std::string& f : l.failures) failed += f.empty() ? 0 : 1;
  }

  Diagram diagram = sequenceDiagram(sc, run, limits.diagram);

  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
      << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
         "style-src 'unsafe-inline'; script-src 'unsafe-inline'\">\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      << "<title>mrtc-sim: " << esc(title) << "</title>\n<style>" << kCss << "</style>\n"
      << "</head><body>\n";

  writeHeader(out, sc, run, title, total, failed);

  out << "<section id=\"call\"><h2>The call</h2>\n<p class=\"legend\">Time runs down. "
         "Arrows: messages delivered (dashed: hints and cards; \xC3\x97N: delivered N times). "
         "Marks: <span class=\"sw\" style=\"background:#2c3e50\"></span>request and its result"
         "<span class=\"sw\" style=\"background:#8e44ad;border-radius:5px\"></span>UI event"
         "<span class=\"sw\" style=\"background:#c0392b\"></span>time-out fired"
         "<span class=\"sw\" style=\"background:#e67e22\"></span>sent, reached nobody. "
         "Bars left of a lifeline: time-out armed "
         "<span class=\"sw\" style=\"background:#f0a020\"></span>ring"
         "<span class=\"sw\" style=\"background:#2e86c1\"></span>wait"
         "<span class=\"sw\" style=\"background:#3aa65c\"></span>keep-alive "
         "(pale: still armed at the end). Hover for details.</p>\n";
  out << "<div class=\"drawing\">\n" << diagram.svg << "</div>\n";

  std::vector<std::string> notes = diagram.notes;
  std::ostringstream table;
  Table(run, limits).write(table, &notes);
  if (!notes.empty()) {
    out << "<ul class=\"notes\">";
    for (const std::string& n : notes) out << "<li>" << esc(n) << "</li>";
    out << "</ul>\n";
  }
  out << "</section>\n";

  out << "<section id=\"expectations\"><h2>Expectations</h2>\n";
  if (total == 0) out << "<p>The scenario expects nothing.</p>\n";
  writeChecks(out, lists);
  out << "</section>\n";

  out << "<section id=\"timeline\"><h2>Timeline</h2>\n<div id=\"timeline-tools\"></div>\n"
      << table.str() << "</section>\n";
  out << "<script>" << kScript << "</script>\n</body></html>\n";
  return out.str();
}

}  // namespace report
}  // namespace mrtcsim
