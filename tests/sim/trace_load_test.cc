// Reading recorded traces for a replay: crossings nested by their parents,
// each client placed on one clock, names kept apart across files and runs,
// and a broken trace refused at its line.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "read_error.h"
#include "replay/trace.h"

namespace mrtcsim {
namespace replay {
namespace {

namespace fs = std::filesystem;

std::string header(const char* client, int64_t t, int64_t clockMs, int64_t localTime) {
  return R"({"t":)" + std::to_string(t) + R"(,"client":")" + client +
         R"(","kind":"trace","seq":1,"version":1,"clockMs":)" + std::to_string(clockMs) +
         R"(,"localTime":)" + std::to_string(localTime) + "}\n";
}

class TraceLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mrtc-trace-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string file(const char* name, const std::string& text) const {
    const std::string path = (dir_ / name).string();
    std::ofstream(path) << text;
    return path;
  }
  std::string refusal(const std::vector<std::string>& files) const {
    try {
      loadTraces(files);
    } catch (const codec::ReadError& e) {
      return std::string(e.what()).substr(dir_.string().size() + 1);
    }
    return "loaded";
  }

  fs::path dir_;
};

TEST_F(TraceLoad, CrossingsNestByParentOnTheClientsClock) {
  // Entries out of order, a pause, a crossing whose parent is not in the
  // trace (it stands at the top), the own-user answer and the release.
  const std::string path = file(
      "a.jsonl",
      header("p1", 100, 5000250, 5000) +
          R"({"t":400,"client":"p1","kind":"query","seq":4,"parent":3,"query":"ownUser","service":6,"ret":20001})"
          "\n"
          R"({"t":300,"client":"p1","kind":"request","seq":3,"parent":0,"slot":7})"
          "\n"
          R"({"t":900,"client":"p1","kind":"pause","seq":9,"until":1900})"
          "\n"
          R"({"t":2500,"client":"p1","kind":"release","seq":5,"parent":77,"slot":26})"
          "\n"
          R"({"t":450,"client":"p1","kind":"query","seq":2,"parent":3,"query":"ownUser","service":6,"ret":20009})"
          "\n");
  const Trace trace = loadTraces({path});
  ASSERT_EQ(trace.clients.size(), 1u);
  const ClientTrace& c = trace.clients[0];
  EXPECT_EQ(c.name, "p1");
  // The wall clock's milliseconds agree with the local second: kept.
  EXPECT_EQ(c.startMs, 5000250);
  EXPECT_EQ(trace.startMs, 5000250);
  ASSERT_EQ(c.entries.size(), 4u);
  std::string order;
  for (const Entry& e : c.entries)
    order += std::to_string(e.seq) + "@" + std::to_string(e.absMs) + " ";
  EXPECT_EQ(order, "2@5000600 3@5000450 4@5000550 5@5002650 ");
  EXPECT_EQ(c.top, (std::vector<size_t>{1, 3}));
  EXPECT_EQ(c.entries[1].children, (std::vector<size_t>{0, 2}));
  EXPECT_EQ(c.user, 20009);
  EXPECT_TRUE(c.released);
  EXPECT_EQ(c.endMs, 5002650);
  ASSERT_EQ(c.pauses.size(), 1u);
  EXPECT_EQ(c.pauses[0].fromMs, 5001050);
  EXPECT_EQ(c.pauses[0].untilMs, 5002050);
  EXPECT_EQ(c.entries[2].where, path + ":2");
}

TEST_F(TraceLoad, NamesStayApartAcrossFilesAndRuns) {
  // A device whose clock is not the wall clock: only its second counts.
  const std::string a =
      file("a.jsonl", header("p1", 0, 123, 7000) + header("p1", 0, 8000000, 8000) +
                          header("p2", 0, 9000500, 9000));
  const std::string b = file("b.jsonl", header("p1", 0, 6999999, 6999) + header("p3", 0, 1, 9));
  const Trace trace = loadTraces({a, b});
  std::string names;
  for (const ClientTrace& c : trace.clients) {
    names += c.name + "@" + std::to_string(c.startMs) + (c.released ? " released " : " ");
  }
  EXPECT_EQ(names, "1:p1@7000000 p1.2@8000000 p2@9000500 2:p1@6999999 p3@9000 ");
  EXPECT_EQ(trace.startMs, 9000);
  EXPECT_EQ(loadTraces({a}).clients[0].name, "p1");
}

TEST_F(TraceLoad, ABrokenTraceIsRefusedAtItsLine) {
  const std::string ok = header("p1", 0, 1000, 1);
  EXPECT_EQ(refusal({file("empty.jsonl", "\n")}), "empty.jsonl: holds no trace");
  EXPECT_EQ(refusal({file("early.jsonl", R"({"t":0,"client":"p1","kind":"x","seq":2})"
                                         "\n" +
                                             ok)}),
            R"(early.jsonl:1: client "p1" appears before its "trace" entry)");
  const std::string twice = R"({"t":0,"client":"p1","kind":"x","seq":2})"
                            "\n";
  EXPECT_THAT(refusal({file("twice.jsonl", ok + twice + twice)}),
              ::testing::MatchesRegex("twice.jsonl:[23]: sequence number 2 appears twice"));
  EXPECT_EQ(refusal({file("v2.jsonl", R"({"t":0,"client":"p1","kind":"trace","seq":1,"version":2})"
                                      "\n")}),
            "v2.jsonl:1: trace version 2 is not supported (this replay reads version 1)");
  EXPECT_EQ(
      refusal({file("self.jsonl", ok + R"({"t":0,"client":"p1","kind":"x","seq":3,"parent":3})"
                                       "\n")}),
      "self.jsonl:2: an entry cannot happen inside itself");
  EXPECT_EQ(refusal({file("both.jsonl",
                          ok + R"({"t":0,"client":"p1","kind":"x","seq":3,"slot":1,"service":2})"
                               "\n")}),
            "both.jsonl:2: an entry is a slot call or a service call, not both");
  EXPECT_EQ(refusal({(dir_ / "missing.jsonl").string()}), "missing.jsonl: cannot be read");
}

}  // namespace
}  // namespace replay
}  // namespace mrtcsim
