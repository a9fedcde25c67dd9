// The memory of rooms that ended here, which tells a copy of an ended call
// from a new call of the room: bounded by count, the oldest going first.
#include "store/ended_rooms.h"

#include <gtest/gtest.h>

#include <string>

namespace imsdkmrtc {
namespace {

TEST(EndedRooms, CopyIsNoLaterThanTheEndedTalkAndTheOldestRoomGoesFirst) {
  endedRooms ended;
  ended.remember("r0", 100);
  EXPECT_TRUE(ended.isCopy("r0", 100));
  EXPECT_TRUE(ended.isCopy("r0", 99));
  EXPECT_FALSE(ended.isCopy("r0", 101));  // a new call of the room
  EXPECT_FALSE(ended.isCopy("r0 ", 100));
  ended.remember("", 100);  // no room: nothing to remember
  EXPECT_FALSE(ended.isCopy("", 100));

  // Seen again, a room keeps its latest talk and becomes the newest entry.
  ended.remember("r1", 200);
  ended.remember("r0", 50);
  EXPECT_TRUE(ended.isCopy("r0", 100));
  for (size_t i = 2; i < kEndedRoomsKept + 1; ++i) ended.remember("r" + std::to_string(i), 1);
  EXPECT_EQ(ended.size(), kEndedRoomsKept);
  EXPECT_FALSE(ended.isCopy("r1", 200));  // the oldest went
  EXPECT_TRUE(ended.isCopy("r0", 100));
  EXPECT_TRUE(ended.isCopy("r" + std::to_string(kEndedRoomsKept), 1));
}

}  // namespace
}  // namespace imsdkmrtc
