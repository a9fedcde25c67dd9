// The command lines of `mrtc-sim replay` and `mrtc-sim redact`.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>

#include "plugin_path.h"
#include "redact.h"
#include "replay.h"
#include "report/html_report.h"

namespace mrtcsim {
namespace replay {

namespace {

constexpr const char* kReplayHelp =
    "Gives one or more recorded traces (libmrtcrecord.so, docs/trace-format.md)\n"
    "again to a plug-in library on the virtual clock: the recorded requests,\n"
    "messages, pulls, life-cycle events, loop-backs and the host's answers, at\n"
    "their recorded times. Every output (sends, inserts, UI events, results,\n"
    "timer commands, answers) is compared with the recording.\n"
    "Several traces of one call (one per device) replay and draw together.\n"
    "\n"
    "Exit status: 0 when the replay matches, 1 at the first divergence (printed\n"
    "with the recorded entry, the produced one and the steps before), 2 for an\n"
    "unreadable trace or a bad command line, 3 when the library cannot be loaded.";

void printDivergence(const Divergence& d) {
  std::cerr << "mrtc-sim replay: divergence in client " << d.client << " at " << d.t / 1000.0
            << " s: " << d.what << "\n";
  if (!d.recorded.empty()) std::cerr << "  recorded: " << d.recorded << "\n";
  if (!d.produced.empty()) std::cerr << "  produced: " << d.produced << "\n";
  if (d.before.empty()) return;
  std::cerr << "  steps before:\n";
  for (const std::string& line : d.before) std::cerr << "    " << line << "\n";
}

}  // namespace

int replayMain(int argc, char** argv) {
  CLI::App app{kReplayHelp, "mrtc-sim replay"};
  std::vector<std::string> files;
  std::string pluginPath;
  std::string htmlPath;
  bool asJson = false;
  bool quiet = false;
  app.add_option("trace", files, "Trace files (JSON lines)")->required();
  app.add_option("--plugin", pluginPath,
                 "Plug-in library to replay against (default: libmrtcplugin.so next to this "
                 "program)")
      ->type_name("PATH");
  app.add_flag("--json", asJson, "Print the replay's timeline as JSON lines");
  app.add_option("--html", htmlPath, "Also write the replay drawn as an HTML report to FILE")
      ->type_name("FILE");
  app.add_flag("-q,--quiet", quiet, "Print only the divergence and errors");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  Trace trace;
  try {
    trace = loadTraces(files);
  } catch (const codec::ReadError& e) {
    std::cerr << "mrtc-sim replay: invalid trace: " << e.what() << "\n";
    return 2;
  }
  simhost::PluginLibrary library(pluginPath.empty() ? defaultPluginPath() : pluginPath);
  if (!library.loaded()) {
    std::cerr << "mrtc-sim replay: " << library.error() << "\n";
    return 3;
  }
  ReplayResult r;
  try {
    r = replayTraces(trace, library, files);
  } catch (const codec::ReadError& e) {
    std::cerr << "mrtc-sim replay: invalid trace: " << e.what() << "\n";
    return 2;
  }
  if (asJson && !quiet) {
    for (const Item& it : r.run.items) std::cout << renderJson(it) << "\n";
  }
  if (!htmlPath.empty()) {
    std::ofstream out(htmlPath);
    out << report::htmlReport(r.scenario, r.run);
    if (!out) {
      std::cerr << "mrtc-sim replay: cannot write " << htmlPath << "\n";
      return 2;
    }
  }
  if (!r.run.error.empty()) {
    std::cerr << "mrtc-sim replay: " << r.run.error << "\n";
    return 2;
  }
  if (r.divergence.found) {
    printDivergence(r.divergence);
    return 1;
  }
  if (!quiet && !asJson) {
    std::cout << "ok: replayed " << r.fed << " crossings of " << trace.clients.size()
              << " client(s); " << r.compared << " outputs compared, no divergence.\n";
  }
  return 0;
}

namespace {

bool readText(const std::string& file, std::string& text) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool writeText(const std::string& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
  return static_cast<bool>(out);
}

}  // namespace

int redactMain(int argc, char** argv) {
  CLI::App app{
      "Writes a trace with user ids, names, room ids, tokens and addresses mapped to stable\n"
      "stand-ins everywhere they occur; the redacted trace replays as the original does.\n"
      "Several traces of one call (one per device) get one set of stand-ins: give them\n"
      "together, with --dir.",
      "mrtc-sim redact"};
  std::vector<std::string> files;
  std::string outPath;
  std::string outDir;
  app.add_option("trace", files, "Trace files (JSON lines)")->required();
  auto* single = app.add_option("-o,--output", outPath,
                                "Write the redacted trace to FILE (default: standard output)")
                     ->type_name("FILE");
  app.add_option("-d,--dir", outDir,
                 "Write each redacted trace to DIR under its own file name (several traces)")
      ->type_name("DIR")
      ->excludes(single);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : 2;
  }
  if (files.size() > 1 && outDir.empty()) {
    std::cerr << "mrtc-sim redact: several traces need --dir\n";
    return 2;
  }
  std::vector<TraceText> texts;
  for (const std::string& file : files) {
    texts.push_back({"", file});
    if (!readText(file, texts.back().text)) {
      std::cerr << "mrtc-sim redact: cannot read " << file << "\n";
      return 2;
    }
  }
  std::vector<std::string> redacted;
  try {
    redacted = redactTraces(texts);
  } catch (const codec::ReadError& e) {
    std::cerr << "mrtc-sim redact: invalid trace: " << e.what() << "\n";
    return 2;
  }
  for (size_t i = 0; i < files.size(); ++i) {
    std::string to = outPath;
    if (!outDir.empty()) to = outDir + "/" + files[i].substr(files[i].rfind('/') + 1);
    if (to.empty()) {
      std::cout << redacted[i];
    } else if (!writeText(to, redacted[i])) {
      std::cerr << "mrtc-sim redact: cannot write " << to << "\n";
      return 2;
    }
  }
  return 0;
}

}  // namespace replay
}  // namespace mrtcsim
