// The signalling command record: one step of a call as it travels between
// clients in the body of an IM message. A plain value; copying copies every
// field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/wire_words.h"

namespace imsdkmrtc {

// Command codes (the wire name of each is in the command table of msgProxy).
enum : int32_t {
  kCmdMultiCall = 1,
  kCmdMultiInvite = 2,
  kCmdMultiIntoRoom = 3,
  kCmdMultiJoin = 4,  // no wire name
  kCmdMultiHungup = 5,
  kCmdMultiFinish = 6,
  kCmdMultiVersion = 8,
  kCmdMultiMFinish = 9,
  kCmdMultiTime = 10,
  kCmdMultiReply = 51,
  kCmdMultiQueryTalk = 52,
  kCmdReplyQueryTalk = 53,
  kCmdMultiBlank = 54,  // also: a multi command this client does not know
  kCmdNotMulti = 55,    // a name that is no multi command at all
};

struct mrtcCmd {
  std::string rtcType;
  std::string auxText;  // conferType of a received card; never on the wire
  int32_t cmdCode = kCmdMultiBlank;
  std::string annotation;
  int64_t senderId = 0;
  std::vector<int64_t> selects;
  int64_t groupId = 0;
  int64_t onwerId = 0;
  std::string oName;  // Base64
  int64_t beginTime = 0;
  std::string roomId;
  std::string roomToken;
  std::string roomName;
  std::string addr;
  std::vector<int64_t> members;
  std::vector<uint8_t> memstates;  // one flag per member
  std::vector<int64_t> hismembers;
  int32_t deviceType = 0;
  std::string version;
  std::string VideoStatus = texts::kVideoStatusMulti;
  std::string extend;
  std::string cmode;
  std::vector<std::string> initState;
  bool recall = false;
  std::vector<std::string> outMembers;  // never on the wire
  std::string srvVer;
  std::string srvTag;
  std::string videoType;
};

}  // namespace imsdkmrtc
