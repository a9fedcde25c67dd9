// Records of one talk (a multi-party call as this client sees it) and its
// members, as the call state store hands them to the handlers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imsdkmrtc {

// Member states.
enum : uint8_t {
  invited = 0,  // called or invited, not (yet) in the room
  joined = 1,   // in the room
};

// A talk exchanged with the store. Fields marked output are written by the
// store on every snapshot and ignored when a talk is created from a record.
struct talkInfo {
  std::string rtcType;
  uint8_t talking = 0;  // output
  uint8_t active = 1;   // output
  int64_t groupId = 0;
  int64_t onwerId = 0;
  std::string oName;  // Base64
  std::string roomId;
  std::string roomToken;
  std::string roomName;
  std::vector<int64_t> members;
  std::vector<uint8_t> memstates;  // parallel to members; 1: in the room
  std::vector<int64_t> hismembers;
  std::vector<int64_t> leftMembers;  // output
  std::string addr;
  int64_t beginTime = 0;
  uint8_t single = 0;
  std::string conferMode;
  uint8_t tempJoin = 0;
  int64_t createTime = 0;     // output
  uint8_t othersChanged = 0;  // output
  int64_t targetId = 0;
  int64_t connectTime = 0;  // output
  std::string orderTime;    // carried by handlers, not kept by the store
  std::string srvVer;
  std::string srvTag;
  std::string videoType;
};

struct inviteRecord {
  int64_t inviterId = 0;
  std::string roomId;
  std::vector<int64_t> ids;
};

struct refusedTalk {
  int64_t refuseTime = 0;  // tools::get_mill_sec
  int64_t hostMs = 0;      // the host's clock, which stamps received messages
  int64_t targetId = 0;
  std::string roomId;
};

}  // namespace imsdkmrtc
