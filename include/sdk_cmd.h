// Host command records exchanged between the host and the plug-in.
//
// Records handed to the host are created by the plug-in's command factory
// (IPlugin slots 14 to 16) and destroyed through their virtual destructor.
// A record is owned by one thread at a time; none of them is thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imsdk {

// Command ids.
enum : uint16_t {
  kCmdRangeFirst = 24000,
  kCmdRangeLast = 24998,
  kCmdCall = 24001,
  kCmdInvite = 24002,
  kCmdIntoRoom = 24003,
  kCmdJoin = 24004,
  kCmdHungup = 24005,
  kCmdExtra = 24006,
  kCmdUiEvent = 24007,
  kCmdKeepAlive = 24008,
  kCmdConnectState = 24009,
  kCmdTempletJoin = 24010,
  kCmdTimer = 24101,
};

// Notification type of a received IM message (IPlugin slot 4).
constexpr uint16_t kNotifyMessage = 144;

// The block that crosses the host's post services: the record and a word
// (184 accompanies a UI event, 4 a result response).
struct cmdEnvelope {
  void* record = nullptr;
  uint32_t word = 0;
};
constexpr uint32_t kEnvelopeWordEvent = 184;
constexpr uint32_t kEnvelopeWordResult = 4;

class _sdkcmd_base {
 public:
  _sdkcmd_base() = default;
  _sdkcmd_base(const _sdkcmd_base&) = default;
  _sdkcmd_base& operator=(const _sdkcmd_base&) = default;
  virtual ~_sdkcmd_base() = default;
  virtual void reset() { id = 0; }
  virtual int32_t size() const { return 16; }

  int64_t id = 0;
};

class _sdkrespcmd_base : public _sdkcmd_base {
 public:
  int32_t result = 0;
};

class resp_commonResult : public _sdkrespcmd_base {
 public:
  void reset() override { extend.clear(); }
  int32_t size() const override { return 88; }
  bool assign(const resp_commonResult& other) {
    id = other.id;
    result = other.result;
    if (&other != this) {
      text = other.text;
      extend = other.extend;
    }
    flag = other.flag;
    word = other.word;
    for (int i = 0; i < 3; ++i) values[i] = other.values[i];
    return true;
  }

  std::string text;
  uint8_t flag = 0;
  uint16_t word = 0;
  int32_t values[3] = {0, 0, 0};
  std::string extend;
};

class resp_mrtcEvent : public _sdkrespcmd_base {
 public:
  void reset() override {
    id = 0;
    result = 0;
  }
  int32_t size() const override { return 184; }
  bool assign(const resp_mrtcEvent& other) {
    id = other.id;
    result = other.result;
    eventType = other.eventType;
    senderId = other.senderId;
    groupId = other.groupId;
    onwerId = other.onwerId;
    if (&other != this) {
      annotation = other.annotation;
      selects = other.selects;
      roomId = other.roomId;
      roomName = other.roomName;
      members = other.members;
      extend = other.extend;
    }
    return true;
  }

  uint8_t eventType = 0;
  std::string annotation;
  int64_t senderId = 0;
  std::vector<int64_t> selects;
  int64_t groupId = 0;
  int64_t onwerId = 0;
  std::string roomId;
  std::string roomName;
  std::vector<int64_t> members;
  std::string extend;
};

class req_mrtc_request : public _sdkcmd_base {
 public:
  int32_t size() const override { return 144; }

  uint8_t kind = 0;
  std::string annotation;
  int64_t groupId = 0;
  std::string roomId;
  std::string roomName;
  std::vector<int64_t> members;
  std::string extend;
};

class req_mrtc_extra : public _sdkcmd_base {
 public:
  int32_t size() const override { return 72; }

  int8_t type = 0;
  std::string cmd;
  std::string extend;
};

class req_sendMessage : public _sdkcmd_base {
 public:
  int32_t size() const override { return 280; }

  int64_t msgId = 0;
  int64_t senderId = 0;
  int64_t targetId = 0;
  std::string body;
  uint8_t msgFlag = 0;
  uint16_t msgType = 0;
  std::vector<int64_t> limitRange;
  std::string properties;
  // Host-defined fields the plug-in never sets.
  int64_t msgTime = 0;
  int32_t status = 0;
};

class req_insertMessage : public req_sendMessage {
 public:
  int32_t size() const override { return 304; }

  int64_t insertId = 0;
  int64_t hostField1 = 0;
  int64_t hostField2 = 0;
};

// The timer command (id 24101): a plain record posted with length 128.
constexpr int32_t kTimerCmdSize = 128;
struct timerCmd {
  uint8_t op = 0;  // 1 add, 0 remove
  int32_t memberMode = 0;
  uint8_t refresh = 0;
  int32_t category = 0;
  int32_t type = 0;
  std::string key;
  std::vector<int64_t> members;
  int32_t duration = 0;
  std::string extra;
  int64_t fireTime = 0;
  int32_t recallCnt = 0;
  std::string roomId;
};

}  // namespace imsdk
