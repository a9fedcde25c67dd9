// Adds and removals on the time-out queue, applied directly (no worker).
// How a remove or a replacing add takes ids out of a room's records is
// checked against a plain version in member_removal_test.cc.
#include <string>
#include <vector>

#include "base/log.h"
#include "timer/timer_fixture.h"

namespace timertest {
namespace {

struct QueueCase {
  const char* name;
  std::vector<imsdk::timerCmd> before;
  imsdk::timerCmd request;
  int32_t result;
  std::vector<std::string> queue;  // in queue order
};

std::vector<imsdk::timerCmd> manyCardRecords() {
  std::vector<imsdk::timerCmd> cmds;
  for (int i = 0; i < 22; ++i) cmds.push_back(addCmd(3, 4, "k" + std::to_string(i), {}, 5, 2));
  cmds.push_back(addCmd(1, 1, "r1", {5}, 88));
  return cmds;
}

TEST_F(TimerTest, QueueChangesByRequest) {
  imsdk::timerCmd unknownOp = addCmd(1, 1, "r1", {6}, 88);
  unknownOp.op = 2;
  // clang-format off
  const std::vector<QueueCase> cases = {
      {"remove matches category and key byte for byte",
       {addCmd(1, 1, "r1", {5}, 88), addCmd(1, 1, "R1", {5}, 88), addCmd(1, 1, "r1 ", {5}, 88),
        addCmd(4, 1, "r1", {5}, 88)},
       removeCmd(1, 1, "r1", {5}), 1, {"4/1/r1/[5]/88", "1/1/R1/[5]/88", "1/1/r1 /[5]/88"}},
      {"remove of another type drops records of the category whatever their key",
       {addCmd(5, 7, "100", {5}, 30, 2), addCmd(0, 3, "keepalive", {}, 60),
        addCmd(5, 7, "200", {6}, 30, 2)},
       removeCmd(5, 7, "", {}), 1, {"0/3/keepalive/[]/60"}},
      {"remove of another type stops after 20 records", manyCardRecords(),
       removeCmd(3, 4, "k0", {}), 1, {"1/1/r1/[5]/88", "3/4/k3/[]/5", "3/4/k2/[]/5"}},
      {"an unknown operation changes nothing", {addCmd(1, 1, "r1", {5}, 88)}, unknownOp, 1,
       {"1/1/r1/[5]/88"}},
      {"add replacing may empty a record; the count is taken before",
       {addCmd(1, 2, "r1", {6}, 68)}, addCmd(1, 1, "r1", {6}, 88, 0), 1, {"1/1/r1/[6]/88"}},
      {"add of only new ids keeps those the room has no record for",
       {addCmd(1, 1, "r1", {5}, 88), addCmd(1, 1, "r2", {6}, 88)},
       addCmd(1, 2, "r1", {5, 6}, 68, 1), 2, {"1/1/r1/[5]/88", "1/1/r2/[6]/88", "1/2/r1/[6]/68"}},
      {"add of only ids already pending adds nothing", {addCmd(1, 1, "r1", {5}, 88)},
       addCmd(1, 1, "r1", {5}, 88, 1), 1, {"1/1/r1/[5]/88"}},
      {"add as given keeps repeats and leaves other records alone", {addCmd(1, 1, "r1", {5}, 88)},
       addCmd(5, 7, "r1", {5, 5}, 30, 2), 1, {"1/1/r1/[5]/88", "5/7/r1/[5,5]/30"}},
      {"an unknown member mode adds no member record", {}, addCmd(1, 2, "r1", {5}, 68, 9), 0, {}},
      {"an unknown member mode queues other types without members", {},
       addCmd(3, 4, "100", {5}, 5, 9), 0, {"3/4/100/[]/5"}},
      {"refresh updates the matching record in place",
       {addCmd(0, 3, "keepalive", {}, 60, 0, true), addCmd(1, 1, "r1", {5}, 88)},
       addCmd(0, 3, "keepalive", {9}, 30, 0, true), 2, {"0/3/keepalive/[9]/30", "1/1/r1/[5]/88"}},
      {"refresh without a matching record adds one", {addCmd(0, 3, "other", {}, 60, 0, true)},
       addCmd(0, 3, "keepalive", {}, 60, 0, true), 1, {"0/3/other/[]/60", "0/3/keepalive/[]/60"}},
  };
  // clang-format on
  for (const QueueCase& c : cases) {
    SCOPED_TRACE(c.name);
    imsdkmrtc::pluginOther other(plugin_, nullptr);
    for (const imsdk::timerCmd& cmd : c.before) other.onTimeout(cmd);
    EXPECT_EQ(c.result, other.onTimeout(c.request));
    std::vector<std::string> got;
    for (const auto& r : other.snapshot()) got.push_back(describe(r));
    EXPECT_EQ(c.queue, got);
  }
}

TEST_F(TimerTest, RequestsEnterOnlyAsTimerCommands) {
  imsdk::timerCmd cmd = addCmd(1, 1, "r1", {5}, 88);
  imsdkmrtc::pluginOther* other = plugin_->other();
  EXPECT_FALSE(other->onRequest(24100, reinterpret_cast<uintptr_t>(&cmd), 128));
  EXPECT_FALSE(other->onRequest(imsdk::kCmdTimer, 0, 128));
  EXPECT_TRUE(queueText().empty());
  EXPECT_TRUE(other->onRequest(imsdk::kCmdTimer, reinterpret_cast<uintptr_t>(&cmd), 128));
  EXPECT_EQ((std::vector<std::string>{"1/1/r1/[5]/88"}), queueText());
  // Every request is logged on entry with the queue object.
  const std::string begin = "THIS:" + std::to_string(imsdkmrtc::logThis(other)) +
                            ", FUNCTION:imsdkmrtc::pluginOther::onTimeout=>BEGIN";
  EXPECT_EQ(1, countLog(begin));
}

}  // namespace
}  // namespace timertest
