// The media rooms beside the IM network. The plug-in carries no media: the
// application learns from its media SDK when somebody else enters or leaves
// the room it is in, and tells the plug-in with request 24009. This class
// keeps who is in which room and says which application reports what.
// Not thread-safe: used from the runner's thread only.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/wire_words.h"

namespace mrtcsim {

struct MediaReport {
  std::string reporter;    // client whose application reports
  std::string annotation;  // kEntered or kLeft
  int64_t groupId = 0;
  std::string roomId;
  int64_t user = 0;  // who entered or left
};

class MediaRoom {
 public:
  // The words of a connection-state request (24009).
  static constexpr const char* kEntered = imsdkmrtc::texts::kIntoRoom;
  static constexpr const char* kLeft = imsdkmrtc::texts::kLevelRoom;

  // The client's application enters the room (leaving any other first).
  std::vector<MediaReport> enter(const std::string& client, int64_t user, const std::string& roomId,
                                 int64_t groupId);
  // The client's application leaves the room it is in, if any.
  std::vector<MediaReport> leave(const std::string& client);
  std::string roomOf(const std::string& client) const;

 private:
  struct Member {
    std::string client;
    int64_t user = 0;
  };
  struct Room {
    int64_t groupId = 0;
    std::vector<Member> present;
  };
  std::vector<MediaReport> reportsFor(const Room& room, const std::string& roomId,
                                      const Member& who, const char* annotation) const;
  std::map<std::string, Room> rooms_;
};

}  // namespace mrtcsim
