// The Mermaid diagram of the built-in scenario, run on the real plug-in,
// is a well-formed sequence diagram.
#include "mermaid.h"

#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "plugin_loader.h"
#include "runner.h"
#include "scenario.h"

namespace mrtcsim {
namespace {

// Problems with the structure of a sequence diagram; empty when none.
std::vector<std::string> structureProblems(const std::string& text, int* arrows) {
  static const std::regex kParticipant(R"(^  participant ([A-Za-z_][A-Za-z0-9_]*) as [^;#]+$)");
  static const std::regex kArrow(
      R"(^  ([A-Za-z_][A-Za-z0-9_]*)(->>|-->>)([A-Za-z_][A-Za-z0-9_]*): [^;#{}]+$)");
  static const std::regex kNote(R"(^  Note over ([A-Za-z_][A-Za-z0-9_]*): [^;#{}]+$)");
  static const std::regex kComment(R"(^  %% .*$)");
  std::vector<std::string> problems;
  std::istringstream in(text);
  std::string line;
  std::set<std::string> declared;
  int n = 0;
  *arrows = 0;
  auto need = [&](const std::string& id) {
    if (declared.count(id) == 0)
      problems.push_back("line " + std::to_string(n) + ": " + id + " not declared");
  };
  while (std::getline(in, line)) {
    ++n;
    std::smatch m;
    if (n == 1) {
      if (line != "sequenceDiagram") problems.push_back("line 1 is not sequenceDiagram");
    } else if (std::regex_match(line, m, kParticipant)) {
      if (!declared.insert(m[1]).second)
        problems.push_back("line " + std::to_string(n) + ": declared twice");
    } else if (std::regex_match(line, m, kArrow)) {
      need(m[1]);
      need(m[3]);
      ++*arrows;
    } else if (std::regex_match(line, m, kNote)) {
      need(m[1]);
    } else if (!std::regex_match(line, kComment)) {
      problems.push_back("line " + std::to_string(n) + " is malformed: " + line);
    }
  }
  if (n == 0) problems.push_back("empty");
  return problems;
}

TEST(Mermaid, BuiltInScenarioDiagramIsWellFormed) {
  simhost::PluginLibrary library(MRTC_PLUGIN_PATH);
  ASSERT_TRUE(library.loaded()) << library.error();
  RunResult run = runScenario(readScenario(kDefaultScenarioText, kDefaultScenarioName), library);
  ASSERT_EQ(run.error, "");
  std::string diagram = mermaidDiagram(run, "default");
  int arrows = 0;
  std::vector<std::string> problems = structureProblems(diagram, &arrows);
  for (const std::string& p : problems) ADD_FAILURE() << p;
  EXPECT_NE(diagram.find("  participant alice as alice (1001, pc)\n"), std::string::npos);
  // The call reaches both callees, the recall only Carol; Bob's one-to-one
  // answer reaches Alice.
  EXPECT_GT(arrows, 8);
  EXPECT_NE(diagram.find("  alice->>bob: multi_call\n"), std::string::npos);
  EXPECT_NE(diagram.find("  alice->>carol: multi_call (recall)\n"), std::string::npos);
  EXPECT_EQ(diagram.find("  alice->>bob: multi_call (recall)\n"), std::string::npos);
  EXPECT_NE(diagram.find("  bob->>alice: multi_intoroom (accept)\n"), std::string::npos);
}

}  // namespace
}  // namespace mrtcsim
