// The HTML report: its drawing is well-formed XML whatever the texts hold, a
// large call stays small and readable, and the built-in scenario's page
// loads in a real browser (headless Chromium) without a console message and
// lays out a lifeline for every client.
#include "report/html_report.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "plugin_loader.h"
#include "report/svg.h"
#include "runner.h"
#include "scenario.h"

namespace mrtcsim {
namespace {

size_t occurrences(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

std::string drawing(const std::string& html) {
  size_t from = html.find("<svg");
  size_t to = html.find("</svg>");
  if (from == std::string::npos || to == std::string::npos) return "";
  return html.substr(from, to + 6 - from);
}

// A temporary folder that goes away with the test, whatever the test asserted.
class TempDir {
 public:
  TempDir() {
    std::string pattern = ::testing::TempDir() + "mrtc_report_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void writeFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

bool haveTool(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// xmllint's complaints about the drawing; empty when it is well-formed XML.
std::string xmlProblems(const std::string& svg) {
  if (!haveTool("xmllint")) return "xmllint is missing (scripts/deps.sh installs libxml2-utils)";
  TempDir temp;
  const std::string& dir = temp.path();
  writeFile(dir + "/call.svg", svg);
  int rc = std::system(("xmllint --noout " + dir + "/call.svg 2>" + dir + "/lint.txt").c_str());
  return rc == 0 ? "" : "xmllint: " + readFile(dir + "/lint.txt");
}

Item item(int64_t t, const std::string& client, const char* kind) {
  Item it;
  it.t = t;
  it.client = client;
  it.kind = kind;
  return it;
}

TEST(Report, EscapesAndMeasuresText) {
  using report::escape;
  using report::fitColumns;
  EXPECT_EQ(escape("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
  // Bytes that are not UTF-8 (the plug-in logs GB2312) and controls XML forbids.
  EXPECT_EQ(escape("ok\xA3\xBA\x01\tend\xED\xA0\x80"),
            "ok\xEF\xBF\xBD\xEF\xBF\xBD\tend\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
  // Wide characters take two columns; a cut never splits a character.
  EXPECT_EQ(report::columns("ab\xE8\xAF\xAD\xE9\x9F\xB3"), 6u);
  EXPECT_EQ(fitColumns("ab\xE8\xAF\xAD\xE9\x9F\xB3", 5), "ab\xE8\xAF\xAD\xE2\x80\xA6");
  EXPECT_EQ(fitColumns("abcdef", 6), "abcdef");
  EXPECT_EQ(fitColumns("abcdefg", 6), "abcde\xE2\x80\xA6");
}

TEST(Report, HostileTextsStayText) {
  const std::string evil = "<script>alert(1)</script>&amp;\"]]>\xFF";
  Scenario sc;
  sc.name = evil;
  sc.description = evil;
  sc.users = {{1001, evil}};
  Step step;
  step.index = 1;
  step.client = evil;
  step.note = evil;
  Expectation e;
  e.kind = kind::kEvent;
  e.label = evil;
  e.want = {{"client", evil}};
  step.expects = {e};
  sc.steps = {step};
  RunResult run;
  run.clients = {{evil, 1001, 1}, {"bob", 1002, 1}};
  Item sent = item(1000, evil, kind::kMessage);
  sent.set("type", int64_t{14}).set("command", evil).set("body", evil);
  Item got = item(1000, "bob", kind::kDeliver);
  got.set("from", evil).set("type", int64_t{14}).set("command", evil).set("body", evil);
  Item ev = item(1000, "bob", kind::kEvent);
  ev.set("type", int64_t{1}).set("annotation", evil).set("extend", evil);
  run.items = {sent, got, ev};
  run.steps = {{0, 3}};

  std::string html = report::htmlReport(sc, run);
  EXPECT_EQ(html.find("<script>alert"), std::string::npos);
  EXPECT_EQ(html.find("\xFF"), std::string::npos);
  EXPECT_EQ(occurrences(html, "<script>"), 1u);  // the page's own
  EXPECT_EQ(xmlProblems(drawing(html)), "");
  // The expectation did not hold: the page says so.
  EXPECT_NE(html.find("1 of 1 expectations failed"), std::string::npos);
}

// 200 clients, one of whom calls 999 group members: the call reaches 199
// clients, who all answer; then everybody's keep-alive runs for a while.
RunResult largeRun(Scenario* sc) {
  RunResult run;
  IdList callees;
  for (int64_t id = 1002; id <= 2000; ++id) callees.push_back(id);
  std::string body = "{\"type\":\"multi_call\",\"selects\":" + valueText(callees) + "}";
  for (int i = 1; i <= 200; ++i) {
    std::string name = "c" + std::to_string(i);
    run.clients.push_back({name, 1000 + i, 1});
    if (i > 1) {
      Step s;
      s.index = i;
      s.client = name;
      sc->steps.push_back(s);
    }
  }
  Item call = item(1000, "c1", kind::kMessage);
  call.set("type", int64_t{14}).set("limitRange", callees).set("command", "multi_call");
  call.set("body", body);
  run.items.push_back(call);
  for (int i = 2; i <= 200; ++i) {
    std::string name = "c" + std::to_string(i);
    Item got = item(1000, name, kind::kDeliver);
    got.set("from", "c1").set("type", int64_t{14}).set("command", "multi_call").set("body", body);
    run.items.push_back(got);
    Item ev = item(1000, name, kind::kEvent);
    ev.set("type", int64_t{1}).set("selects", callees).set("extend", body);
    run.items.push_back(ev);
    Item ring = item(1000, name, kind::kTimer);
    ring.set("op", "arm").set("type", int64_t{2}).set("category", int64_t{1}).set("key", "big");
    ring.set("members", IdList{1000 + i}).set("seconds", int64_t{45});
    run.items.push_back(ring);
  }
  for (int i = 2; i <= 200; ++i) {
    std::string name = "c" + std::to_string(i);
    size_t from = run.items.size();
    std::string answer = "{\"type\":\"multi_intoroom\",\"senderId\":\"" + std::to_string(1000 + i) +
                         "\",\"pad\":\"" + std::string(300, 'x') + "\"}";
    Item req = item(2000 + i * 100, name, kind::kRequest);
    req.set("cmd", int64_t{24003}).set("annotation", "accept").set("result", int64_t{0});
    Item sent = item(2000 + i * 100, name, kind::kMessage);
    sent.set("type", int64_t{15}).set("command", "multi_intoroom").set("body", answer);
    Item got = item(2000 + i * 100, "c1", kind::kDeliver);
    got.set("from", name).set("type", int64_t{15}).set("command", "multi_intoroom");
    got.set("body", answer);
    run.items.insert(run.items.end(), {req, sent, got});
    sc->steps[static_cast<size_t>(i - 2)].hasAt = true;
    sc->steps[static_cast<size_t>(i - 2)].atMs = 2000 + i * 100;
    run.steps.push_back({from, run.items.size()});
  }
  for (int64_t t = 30000; t < 600000; t += 20000) {
    for (const Participant& p : run.clients) {
      Item ka = item(t, p.name, kind::kRequest);
      ka.set("cmd", int64_t{24008});
      ka.quiet = true;
      run.items.push_back(ka);
    }
  }
  run.endMs = 600000;
  return run;
}

TEST(Report, LargeCallStaysBoundedAndReadable) {
  Scenario sc;
  sc.name = "200 clients, 1000 callees";
  RunResult run = largeRun(&sc);
  ASSERT_GT(run.items.size(), 6000u);

  std::string html = report::htmlReport(sc, run);
  std::string svg = drawing(html);
  // One lifeline each for the caller and the first answerers, one for all the
  // rest; the call is one arrow with its count.
  EXPECT_EQ(occurrences(svg, "class=\"lifeline\""), 11u);
  EXPECT_NE(svg.find("class=\"lifeline others\" x1"), std::string::npos);
  EXPECT_NE(svg.find("189 more clients"), std::string::npos);
  EXPECT_EQ(occurrences(svg,
                        "multi_call \xC3\x97"
                        "199<"),
            1u);
  // The 199 answers, one per step, fill the drawing up to its last row.
  EXPECT_NE(html.find("The drawing stops after 400 rows"), std::string::npos);
  EXPECT_NE(html.find("The table stops after 2000 rows"), std::string::npos);
  // The 999 callees' list is shown once and linked from the other rows.
  EXPECT_GT(occurrences(html, "as in <a href=\"#i1\">row 1</a>"), 190u);
  EXPECT_LT(html.size(), 3000000u);
  EXPECT_EQ(xmlProblems(svg), "");
}

const simhost::PluginLibrary& reportLibrary() {
  static simhost::PluginLibrary lib(MRTC_PLUGIN_PATH);
  return lib;
}

// The built-in scenario, run once, and its page.
struct Rendered {
  RunResult run;
  std::string html;
};

const Rendered& defaultReport() {
  static const Rendered* rendered = [] {
    const Scenario sc = readScenario(kDefaultScenarioText, kDefaultScenarioName);
    RunResult run = runScenario(sc, reportLibrary());
    std::string html = report::htmlReport(sc, run);
    return new Rendered{std::move(run), std::move(html)};
  }();
  return *rendered;
}

TEST(DefaultReport, DrawingIsWellFormedXmlWithEveryExpectationHeld) {
  ASSERT_EQ(defaultReport().run.error, "") << reportLibrary().error();
  const std::string& html = defaultReport().html;
  EXPECT_EQ(xmlProblems(drawing(html)), "");
  EXPECT_NE(html.find("<p class=\"verdict ok\">Every expectation held ("), std::string::npos);
  // Carol's ring, armed by the call and fired unanswered, is a bar; so is
  // Alice's keep-alive, refreshed by every keep-alive request of her talk.
  EXPECT_NE(html.find("<title>ring time-out of 68 s for room-g1 (members 1003): armed at 1.000 s, "
                      "fired at 70.000 s</title>"),
            std::string::npos);
  EXPECT_NE(html.find("<title>keep-alive time-out of 60 s for keepalive: armed at 1.000 s, "
                      "refreshed "),
            std::string::npos);
}

TEST(DefaultReport, LoadsInABrowserWithoutErrorAndLaysOutEveryClient) {
  ASSERT_EQ(defaultReport().run.error, "") << reportLibrary().error();
  const std::string& html = defaultReport().html;
  if (!haveTool("chromium")) GTEST_SKIP() << "chromium is not installed";
  TempDir temp;
  const std::string& dir = temp.path();
  ASSERT_FALSE(dir.empty());
  const std::string page = dir + "/default.html";
  writeFile(page, html);
  const std::string browser =
      "timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run "
      "--disable-background-networking --disable-component-update --disable-sync "
      "--hide-scrollbars --enable-logging=stderr --v=0 ";

  // The page as it is: a screenshot, and not one console message.
  const std::string shot = dir + "/default-call.png";
  int rc = std::system((browser + "--user-data-dir=" + dir + "/profile1 --window-size=1000,1500 " +
                        "--screenshot=" + shot + " file://" + page + " >/dev/null 2>" + dir +
                        "/shot.log")
                           .c_str());
  ASSERT_EQ(rc, 0) << readFile(dir + "/shot.log");
  std::string log = readFile(dir + "/shot.log");
  EXPECT_EQ(log.find(":CONSOLE"), std::string::npos) << log;

  // Kept next to the test for the README's picture.
  writeFile("default-call.png", readFile(shot));

  // The same page with a probe: which lifelines the browser laid out, and
  // any error or blocked load while it did.
  const std::string probe =
      "<script>var errs=[];addEventListener('error',function(e){errs.push(String(e.message||"
      "e.type))},true);document.addEventListener('securitypolicyviolation',function(e){errs.push("
      "'blocked '+e.blockedURI)});addEventListener('load',function(){var l=document."
      "querySelectorAll('svg.call line.lifeline'),n=[];for(var i=0;i<l.length;i++)if(l[i]."
      "getBoundingClientRect().height>300)n.push(l[i].getAttribute('data-client'));document.title="
      "'probe '+JSON.stringify({lifelines:n,errors:errs})})</script>";
  std::string probed = html;
  const std::string head = "<head><meta charset=\"utf-8\">";
  ASSERT_NE(probed.find(head), std::string::npos);
  probed.insert(probed.find(head) + head.size(), probe);
  writeFile(dir + "/probed.html", probed);
  rc = std::system((browser + "--user-data-dir=" + dir + "/profile2 --dump-dom file://" + dir +
                    "/probed.html >" + dir + "/dom.html 2>" + dir + "/dom.log")
                       .c_str());
  ASSERT_EQ(rc, 0) << readFile(dir + "/dom.log");
  std::string dom = readFile(dir + "/dom.html");
  std::string names;
  for (const Participant& p : defaultReport().run.clients)
    names += (names.empty() ? "\"" : ",\"") + p.name + "\"";
  EXPECT_NE(dom.find("<title>probe {\"lifelines\":[" + names + "],\"errors\":[]}</title>"),
            std::string::npos)
      << dom.substr(0, 600);
}

}  // namespace
}  // namespace mrtcsim
