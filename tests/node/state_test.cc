// What a node keeps: the archive sync point across restarts, and the answers
// a request collects on its own thread.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "host_calls.h"
#include "sync_point.h"

namespace {

namespace fs = std::filesystem;

class SyncPointTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "mrtc-sync-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  std::string file(const char* name) const { return (dir_ / name).string(); }

  fs::path dir_;
};

TEST_F(SyncPointTest, APointSavedIsWhatTheNextStartLoads) {
  const std::string path = file("point");
  EXPECT_EQ(node::SyncPoint(path).load(), "");
  node::SyncPoint(path).save("archive-17");
  EXPECT_EQ(node::SyncPoint(path).load(), "archive-17");
  node::SyncPoint(path).save("archive-18");
  EXPECT_EQ(node::SyncPoint(path).load(), "archive-18");
  // No id (nothing seen yet) keeps the point there was.
  node::SyncPoint(path).save("");
  EXPECT_EQ(node::SyncPoint(path).load(), "archive-18");
  EXPECT_FALSE(fs::exists(path + ".new"));
  std::ifstream in(path);
  std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(whole, "archive-18\n");
}

TEST_F(SyncPointTest, NoPlaceToWriteLosesOnlyThePoint) {
  node::SyncPoint("").save("archive-1");
  EXPECT_EQ(node::SyncPoint("").load(), "");
  const std::string path = file("missing/point");
  node::SyncPoint(path).save("archive-1");
  EXPECT_EQ(node::SyncPoint(path).load(), "");
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

codec::Result answer(int64_t id) {
  codec::Result r;
  r.cmdId = 24001;
  r.id = id;
  return r;
}

// A request run while another waits on the same thread (the plug-in calls
// back into the host) keeps its answers apart; another thread has none.
TEST(NodeAnswers, EachRequestCollectsOnlyTheAnswersGivenWhileItRuns) {
  EXPECT_FALSE(node::answering(answer(1)));
  node::Answers outer;
  EXPECT_TRUE(node::answering(answer(2)));
  {
    node::Answers inner;
    EXPECT_TRUE(node::answering(answer(3)));
    ASSERT_EQ(inner.results().size(), 1u);
    EXPECT_EQ(inner.results()[0].id, 3);
  }
  bool elsewhere = true;
  std::thread([&elsewhere] { elsewhere = node::answering(answer(4)); }).join();
  EXPECT_FALSE(elsewhere);
  EXPECT_TRUE(node::answering(answer(5)));
  ASSERT_EQ(outer.results().size(), 2u);
  EXPECT_EQ(outer.results()[0].id, 2);
  EXPECT_EQ(outer.results()[1].id, 5);
}

}  // namespace
