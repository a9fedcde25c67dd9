// The watched group's buffered calls: the board time-out that drops members
// who never entered, and switching the board off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "support/support.h"
#include "timer/timeout_record.h"

namespace imsdkmrtc {
namespace {

constexpr int64_t kGroup = 500;

mrtcCmd call(const std::string& roomId, std::vector<int64_t> members,
             std::vector<uint8_t> memstates) {
  mrtcCmd cmd;
  cmd.cmdCode = kCmdMultiCall;
  cmd.groupId = kGroup;
  cmd.roomId = roomId;
  cmd.members = std::move(members);
  cmd.memstates = std::move(memstates);
  return cmd;
}

timeoutRecord boardRecord(int32_t category, const std::string& key, std::vector<int64_t> ids) {
  timeoutRecord r;
  r.category = category;
  r.type = 1;
  r.key = key;
  r.members = std::move(ids);
  return r;
}

// "room:[ids]/[states]" per command, in list order.
std::vector<std::string> describe(const std::vector<mrtcCmd>& cmds) {
  std::vector<std::string> out;
  for (const mrtcCmd& c : cmds) {
    std::string states;
    for (uint8_t s : c.memstates) states += (states.empty() ? "" : ",") + std::to_string(s);
    out.push_back(c.roomId + ":" + testsupport::idText(c.members) + "/[" + states + "]");
  }
  return out;
}

class Board : public ::testing::Test {
 protected:
  void SetUp() override {
    commlib::useVirtualTime(testsupport::kStartMs);
    client_.attach(&plugin_);
    fill();
  }
  void TearDown() override {
    client_.attach(nullptr);
    commlib::useRealTime();
  }
  boardBuffer& board() { return plugin_.board(); }
  // Watches kGroup afresh and buffers two of its calls.
  void fill() {
    board().setSwitch(true);
    board().setWatchedGroup(kGroup);
    board().offer(call("r1", {7, 8, 9, 10}, {1, 0, 0, 0}));
    board().offer(call("r2", {7, 11}, {0, 0}));
  }

  simhost::Network net_;
  simhost::Client& client_ = net_.addClient("pc", 1001);
  mrtc_plugin plugin_;
};

TEST_F(Board, TimeOutDropsMembersThatNeverEntered) {
  struct Case {
    const char* name;
    timeoutRecord record;
    bool result;
    std::vector<std::string> out;  // empty: out untouched
  };
  const std::vector<std::string> untouched = {};
  const Case cases[] = {
      {"another category", boardRecord(1, "r1", {8}), false, untouched},
      {"only a member in the room", boardRecord(2, "r1", {7}), false, untouched},
      {"no such room", boardRecord(2, "r3", {8}), false, untouched},
      {"the last member fills the place in both lists",
       boardRecord(2, "r1", {8}),
       true,
       {"r1:[7,10,9]/[1,0,0]", "r2:[7,11]/[0,0]"}},
      {"several ids, one of them unknown",
       boardRecord(2, "r1", {8, 99, 9}),
       true,
       {"r1:[7,10]/[1,0]", "r2:[7,11]/[0,0]"}},
      {"a removal from a later command is copied out but not reported",
       boardRecord(2, "r2", {11}),
       false,
       {"r1:[7,8,9,10]/[1,0,0,0]", "r2:[7]/[0]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fill();
    std::vector<mrtcCmd> out;
    EXPECT_EQ(c.result, board().boardTimeout(c.record, out));
    EXPECT_EQ(c.out, describe(out));
  }
}

TEST_F(Board, SwitchingOffForgetsTheGroupAndItsCalls) {
  board().setSwitch(false);
  board().setSwitch(true);
  EXPECT_EQ(0, board().watchedGroup());
  mrtcCmd taken;
  EXPECT_FALSE(board().take(kGroup, "r2", taken));
  std::vector<mrtcCmd> out;
  EXPECT_FALSE(board().boardTimeout(boardRecord(2, "r1", {8}), out));
}

}  // namespace
}  // namespace imsdkmrtc
