// The page's event feed and directory: what a page opened late, or reopened
// with the last number it saw, receives; and what the directory shows.
#include "event_feed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "page_server.h"

namespace node::http {
namespace {

std::vector<uint64_t> numbers(const std::vector<FeedLine>& lines) {
  std::vector<uint64_t> out;
  for (const FeedLine& l : lines) out.push_back(l.number);
  return out;
}

TEST(EventFeed, ReplaysTheWindowAndResumesAfterTheLastSeen) {
  EventFeed feed(3);
  for (int i = 1; i <= 5; ++i) feed.add("{\"n\":" + std::to_string(i) + "}");
  // A new page gets the last three; one that saw 4 gets 5 only.
  EXPECT_EQ(numbers(feed.after(0, 0)), (std::vector<uint64_t>{3, 4, 5}));
  const std::vector<FeedLine> rest = feed.after(4, 0);
  ASSERT_EQ(rest.size(), 1u);
  EXPECT_EQ(rest[0].json, "{\"n\":5}");
  // Nothing new: the wait ends empty at its bound.
  EXPECT_TRUE(feed.after(5, 10).empty());
}

TEST(EventFeed, ALineOrClosingWakesAWaitingStream) {
  EventFeed feed(10);
  std::thread adder([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    feed.add("{}");
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(numbers(feed.after(0, 5000)), (std::vector<uint64_t>{1}));
  adder.join();
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    feed.close();
  });
  EXPECT_TRUE(feed.after(1, 5000).empty());
  closer.join();
  EXPECT_TRUE(feed.closed());
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(DirectoryJson, ShowsUsersAndGroupsButNoPassword) {
  Directory dir;
  dir.users[20001] = {"Alice \"A\"", "alice-secret"};
  dir.users[20002] = {"Bob", "bob-secret"};
  dir.groups[30001] = {20001, 20002};
  EXPECT_EQ(
      directoryJson(dir, 20001, 2, "alice-2"),
      "{\"self\":{\"id\":20001,\"name\":\"Alice \\\"A\\\"\",\"device\":2,\"client\":\"alice-2\"},"
      "\"users\":[{\"id\":20001,\"name\":\"Alice \\\"A\\\"\"},{\"id\":20002,\"name\":\"Bob\"}],"
      "\"groups\":[{\"id\":30001,\"members\":[20001,20002]}]}");
}

}  // namespace
}  // namespace node::http
