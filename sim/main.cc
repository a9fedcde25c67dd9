// mrtc-sim: runs call scenarios on several plug-in instances over a
// simulated IM network in virtual time and prints what happened.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <sstream>

#include "chaos/chaos.h"
#include "mermaid.h"
#include "plugin_loader.h"
#include "plugin_path.h"
#include "replay/replay.h"
#include "report/html_report.h"
#include "runner.h"
#include "scenario.h"

namespace {

constexpr const char* kDescription =
    "mrtc-sim runs calls between several clients, each a real libmrtcplugin.so\n"
    "instance behind a simulated IM host, on a simulated network and in virtual\n"
    "time (a 90-second time-out takes milliseconds). It plays the applications\n"
    "too: their requests, keep-alives and the media room's enter/leave reports.\n"
    "\n"
    "Without a scenario it runs the built-in one: a group call with three\n"
    "members (one never answers: recall and wait time-out; the last member's\n"
    "hang-up posts the finish hint), then a one-to-one call.\n"
    "\n"
    "Output: a timeline ordered by virtual time: requests and their result\n"
    "codes, messages sent (type, target, limit range, body), UI events (type,\n"
    "annotation, extend), time-outs fired, cards and hints posted.\n"
    "\n"
    "Exit status: 0 when every expectation of the scenario held, 1 when one\n"
    "failed (each is named on stderr), 2 for an invalid scenario, a run that\n"
    "could not go on or a bad command line, 3 when the plug-in library cannot\n"
    "be loaded.\n"
    "\n"
    "Scenario files are JSON; print the built-in one with --print-default to\n"
    "start your own. Top level: name, description, users [{id,name}], groups\n"
    "[{id,members}], clients [{name,user,device,settings:[{type,cmd,extend}],\n"
    "keepAlive,login,loginQuery,timeOffset,preLogin,serverConfig,plugin}],\n"
    "mediaRoom {enabled,delay}, faults {...}, holds [{roomId,command,to,\n"
    "seconds}], invariants [...], runOut, steps [...], expect {...}.\n"
    "A step: optional \"at\" (seconds since the start), \"client\", \"note\",\n"
    "\"expect\", and one action: request (call, invite, intoroom, join, hungup,\n"
    "keepalive, connectstate, templetjoin or a number, with annotation,\n"
    "groupId, roomId, roomName, members, extend, kind), extra {type,cmd,extend},\n"
    "advance (seconds), inject {as|from,device,to,body|bodyFrom,bodyType,\n"
    "properties,limitRange,age}, pull {missed,messages:[...]}, push\n"
    "{from,cmd|bodyFrom,extend,age}, prelogin (text), login (true), online\n"
    "(false: the client vanishes), mediaRoom {enabled,delay}, crash, restart,\n"
    "cut, freeze, redeliver {from,command,asNew,notRecall}.\n"
    "An expect block: result (the step's own answer) and lists results,\n"
    "events, messages, inserted, deliveries, timeouts, logs of objects whose\n"
    "fields must all match (\"contains\" looks inside the body, extend or log\n"
    "text; \"count\" demands an exact number, 0 for never). It covers what\n"
    "happened since the previous step.";

struct Options {
  std::string scenarioPath;
  std::string mermaidPath;
  std::string htmlPath;
  std::string pluginPath;
  bool asJson = false;
  bool withLogs = false;
  bool printDefault = false;
  bool quiet = false;
  bool full = false;
  bool showVersion = false;
};

void addOptions(CLI::App& app, Options& o) {
  app.get_formatter()->column_width(30);
  app.add_option("scenario", o.scenarioPath,
                 "Scenario file (JSON), - for standard input; the built-in scenario when absent");
  app.add_flag("--json", o.asJson, "Print the timeline as JSON lines (one object per item)");
  app.add_option("--mermaid", o.mermaidPath,
                 "Also write a Mermaid sequence diagram of the signalling to FILE")
      ->type_name("FILE");
  app.add_option("--html", o.htmlPath,
                 "Also write a report to FILE: one HTML page with the call drawn, the "
                 "expectations and the whole timeline")
      ->type_name("FILE");
  app.add_flag("--log", o.withLogs, "Add the plug-in's log lines (and automatic keep-alives)");
  app.add_flag("--full", o.full,
               "Print whole bodies and extends (the text timeline cuts them at 320 bytes)");
  app.add_option("--plugin", o.pluginPath,
                 "Plug-in library to load (default: the one beside this program or in its ../lib; "
                 "--version names it)")
      ->type_name("PATH");
  app.add_flag("--print-default", o.printDefault, "Print the built-in scenario and exit");
  app.add_flag("-q,--quiet", o.quiet, "Print only failures and errors");
  app.add_flag("--version", o.showVersion,
               "Print the version and the plug-in it would load, and exit");
}

// The scenario named on the command line; false (with the reason on
// stderr) when it is invalid.
bool loadScenario(const Options& o, mrtcsim::Scenario& scenario) {
  try {
    if (o.scenarioPath.empty()) {
      scenario =
          mrtcsim::readScenario(mrtcsim::kDefaultScenarioText, mrtcsim::kDefaultScenarioName);
    } else if (o.scenarioPath == "-") {
      std::stringstream text;
      text << std::cin.rdbuf();
      scenario = mrtcsim::readScenario(text.str(), "(standard input)");
    } else {
      scenario = mrtcsim::loadScenarioFile(o.scenarioPath);
    }
  } catch (const mrtcsim::ScenarioError& e) {
    std::cerr << "mrtc-sim: invalid scenario: " << e.what() << "\n";
    return false;
  }
  return true;
}

void printTimeline(const Options& o, const mrtcsim::Scenario& scenario,
                   const mrtcsim::RunResult& run) {
  if (!o.asJson) {
    std::cout << "scenario: " << (scenario.name.empty() ? scenario.file : scenario.name) << "\n";
    if (!scenario.description.empty()) std::cout << scenario.description << "\n";
    for (const mrtcsim::Participant& p : run.clients) {
      std::cout << "  client " << p.name << ": user " << p.user << ", "
                << mrtcsim::deviceName(p.device) << "\n";
    }
    std::cout << "\n";
  }
  mrtcsim::TextOptions text;
  text.withLogs = o.withLogs;
  text.textLimit = o.full ? 0 : 320;
  for (const mrtcsim::Item& item : run.items) {
    std::string line = o.asJson ? mrtcsim::renderJson(item) : mrtcsim::renderText(item, text);
    if (o.asJson && !o.withLogs && item.kind == mrtcsim::kind::kLog) continue;
    if (!line.empty()) std::cout << line << "\n";
  }
}

bool writeFile(const std::string& path, const std::string& text) {
  std::ofstream out(path);
  out << text;
  if (!out) {
    std::cerr << "mrtc-sim: cannot write " << path << "\n";
    return false;
  }
  return true;
}

// The exit status of a run, with its failures on stderr.
int verdict(const Options& o, const mrtcsim::Scenario& scenario, const mrtcsim::RunResult& run) {
  for (const std::string& f : run.failures) std::cerr << "FAILED " << f << "\n";
  if (!run.error.empty()) {
    std::cerr << "mrtc-sim: " << run.error << "\n";
    return 2;
  }
  if (!run.failures.empty()) {
    std::cerr << "mrtc-sim: " << run.failures.size() << " expectation(s) failed in "
              << scenario.file << "\n";
    return 1;
  }
  if (!o.quiet && !o.asJson) {
    std::cout << "\nok: " << scenario.file << " ran " << run.endMs / 1000.0
              << " s of virtual time; every expectation held.\n";
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "chaos") return mrtcsim::chaosMain(argc - 1, argv + 1);
  if (argc > 1 && std::string(argv[1]) == "replay") {
    return mrtcsim::replay::replayMain(argc - 1, argv + 1);
  }
  if (argc > 1 && std::string(argv[1]) == "redact") {
    return mrtcsim::replay::redactMain(argc - 1, argv + 1);
  }
  CLI::App app{kDescription, "mrtc-sim"};
  Options o;
  addOptions(app, o);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help ends here too, with 0; every real error is a bad command line.
    return app.exit(e) == 0 ? 0 : 2;
  }
  const std::string pluginPath = o.pluginPath.empty() ? mrtcsim::defaultPluginPath() : o.pluginPath;
  if (o.showVersion) {
    std::cout << "mrtc-sim " << MRTC_VERSION << "\nplug-in: " << pluginPath << "\n";
    return 0;
  }
  if (o.printDefault) {
    std::cout << mrtcsim::kDefaultScenarioText;
    return 0;
  }
  mrtcsim::Scenario scenario;
  if (!loadScenario(o, scenario)) return 2;
  simhost::PluginLibrary library(pluginPath);
  if (!library.loaded()) {
    std::cerr << "mrtc-sim: " << library.error() << "\n";
    return 3;
  }
  mrtcsim::RunResult run = mrtcsim::runScenario(scenario, library);
  if (!o.quiet) printTimeline(o, scenario, run);
  if (!o.mermaidPath.empty() &&
      !writeFile(o.mermaidPath, mrtcsim::mermaidDiagram(run, scenario.name))) {
    return 2;
  }
  if (!o.htmlPath.empty() && !writeFile(o.htmlPath, mrtcsim::report::htmlReport(scenario, run))) {
    return 2;
  }
  return verdict(o, scenario, run);
}
