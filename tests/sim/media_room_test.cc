// The simulated media rooms: who is told of whom, when a client enters,
// moves to another room or leaves.
#include "media_room.h"

#include <gtest/gtest.h>

namespace mrtcsim {
namespace {

std::string told(const std::vector<MediaReport>& reports) {
  std::string out;
  for (const MediaReport& r : reports) {
    out += r.reporter + ":" + r.annotation + " " + std::to_string(r.user) + "@" + r.roomId + "/" +
           std::to_string(r.groupId) + "; ";
  }
  return out;
}

TEST(MediaRoom, ThosePresentAreToldOfEachComingAndGoing) {
  MediaRoom rooms;
  EXPECT_EQ(told(rooms.enter("alice", 1001, "r1", 5001)), "");
  EXPECT_EQ(told(rooms.enter("bob", 1002, "r1", 0)), "alice:intoroom 1002@r1/5001; ");
  EXPECT_EQ(told(rooms.enter("carol", 1003, "r1", 5002)),
            "alice:intoroom 1003@r1/5001; bob:intoroom 1003@r1/5001; ");
  // Entering the room one is in again changes nothing.
  EXPECT_EQ(told(rooms.enter("bob", 1002, "r1", 5001)), "");
  EXPECT_EQ(told(rooms.enter("bob", 1002, "", 5001)), "");
  EXPECT_EQ(rooms.roomOf("bob"), "r1");
  // Moving on is leaving first.
  EXPECT_EQ(told(rooms.enter("bob", 1002, "r2", 5003)),
            "alice:levelroom 1002@r1/5001; carol:levelroom 1002@r1/5001; ");
  EXPECT_EQ(rooms.roomOf("bob"), "r2");
  EXPECT_EQ(told(rooms.leave("alice")), "carol:levelroom 1001@r1/5001; ");
  EXPECT_EQ(told(rooms.leave("alice")), "");
  EXPECT_EQ(told(rooms.leave("carol")), "");
  EXPECT_EQ(rooms.roomOf("carol"), "");
  // An emptied room starts anew, with the group of whoever opens it.
  EXPECT_EQ(told(rooms.enter("carol", 1003, "r1", 5009)), "");
  EXPECT_EQ(told(rooms.enter("alice", 1001, "r1", 5001)), "carol:intoroom 1001@r1/5009; ");
  EXPECT_EQ(told(rooms.leave("bob")), "");
  EXPECT_EQ(rooms.roomOf("bob"), "");
}

}  // namespace
}  // namespace mrtcsim
