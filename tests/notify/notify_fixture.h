// A plug-in on the simulated network, the people around it, and compact
// renderings of what it produced, shared by the notification tests.
#pragma once

#include <gmock/gmock.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/device_types.h"
#include "clock_control.h"
#include "notify/plugin_notify.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "support/support.h"
#include "timer/plugin_other.h"
#include "timer/timeout_record.h"

namespace notify_test {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int64_t kMe = 1001, kCaller = 2001, kPeer2 = 2002, kPeer3 = 2003, kGroup = 300;
constexpr int32_t kPc = imsdkmrtc::kDevicePc, kAndroid = imsdkmrtc::kDeviceAndroid;

using testsupport::join;
using testsupport::kStartMs;
using testsupport::render;
using testsupport::renderAll;
using testsupport::rowName;

// A signalling body written by hand, keys in the order given; a key set
// again keeps its place.
class Body {
 public:
  explicit Body(const std::string& type) { str("type", type); }
  Body& str(const std::string& key, const std::string& value) {
    std::string quoted;
    for (char c : value)
      quoted += (c == '"' || c == '\\') ? std::string("\\") + c : std::string(1, c);
    return raw(key, "\"" + quoted + "\"");
  }
  Body& id(const std::string& key, int64_t value) { return str(key, std::to_string(value)); }
  Body& ids(const std::string& key, std::vector<int64_t> v) {
    return raw(key, "[" + join(v) + "]");
  }
  Body& raw(const std::string& key, const std::string& json) {
    for (auto& m : members_) {
      if (m.first == key) return m.second = json, *this;
    }
    members_.emplace_back(key, json);
    return *this;
  }
  operator std::string() const {
    std::string out;
    for (const auto& m : members_)
      out += (out.empty() ? "" : ",") + ("\"" + m.first + "\":" + m.second);
    return "{" + out + "}";
  }

 private:
  std::vector<std::pair<std::string, std::string>> members_;
};

// clang-format off
// The call most tests start from: group call in room "r1" placed by kCaller
// from a phone, selecting this user and two others.
inline Body groupCall(const std::string& room = "r1") {
  return std::move(Body("multi_call").str("annotation", "").id("senderId", kCaller)
      .id("groupId", kGroup).id("onwerId", kCaller).str("roomId", room).str("roomName", "weekly")
      .str("cmode", "chat").str("deviceType", "2").str("version", "mrtc@1.8.8")
      .str("rtcType", "rtc").ids("selects", {kMe, kPeer2, kPeer3})
      .ids("members", {kCaller, kMe, kPeer2, kPeer3}));
}

inline Body p2pCall(const std::string& room = "p1") {
  return std::move(Body("multi_call").id("senderId", kCaller).id("onwerId", kCaller)
      .str("roomId", room).str("deviceType", "2").str("version", "mrtc@1.8.8")
      .str("rtcType", "p2pconfer").ids("selects", {kMe}).ids("members", {kCaller, kMe}));
}

// A step of a running talk; room "p1" is the one-to-one call.
inline Body step(const std::string& type, int64_t sender, int32_t device, const std::string& room,
                 const std::string& annotation) {
  const bool p2p = room == "p1";
  return std::move(Body(type).str("annotation", annotation).id("senderId", sender)
      .id("groupId", p2p ? 0 : kGroup).id("onwerId", kCaller).str("roomId", room)
      .str("deviceType", std::to_string(device)).str("version", "mrtc@1.8.8")
      .str("rtcType", p2p ? "p2pconfer" : "rtc"));
}
// clang-format on

inline imsdk::hostMessage hostMsg(int64_t sender, int64_t target, const std::string& body,
                                  int64_t ageMs = 0, uint8_t bodyType = 14,
                                  const std::string& extension = "") {
  imsdk::hostMessage m;
  m.sendUserId = sender;
  m.targetId = target;
  m.msgTime = kStartMs - ageMs;
  m.body = body;
  m.bodyType = bodyType;
  m.extension = extension;
  return m;
}

inline imsdkmrtc::timeoutRecord record(int32_t category, int32_t type, const std::string& key,
                                       std::vector<int64_t> members) {
  imsdkmrtc::timeoutRecord r;
  r.category = category;
  r.type = type;
  r.key = key;
  r.members = std::move(members);
  return r;
}

// The details of a conference owned by `owner`, selecting this user and
// kPeer2.
inline std::string microInfo(const std::string& owner) {
  return "{\"rtcType\":\"microconfer\",\"conferType\":\"1\",\"roomID\":\"m1\","
         "\"senderId\":\"2001\",\"onwerId\":\"" +
         owner +
         "\",\"version\":\"mrtc@1.8.8\",\"mode\":\"mcalling\",\"conferMode\":\"chat\","
         "\"beginTime\":\"1700000000\",\"roomName\":\"board\",\"selects\":[\"1001\",\"2002\"]}";
}

// The card of that conference.
inline std::string microCard(const std::string& owner) {
  return "{\"type\":\"rtc\",\"extendInfo\":" + microInfo(owner) + "}";
}

// An application request about `room`.
inline imsdk::req_mrtc_request req(int64_t group, const std::string& room,
                                   std::vector<int64_t> members, const std::string& annotation = "",
                                   const std::string& extend = "") {
  imsdk::req_mrtc_request r;
  r.groupId = group;
  r.roomId = room;
  r.members = std::move(members);
  r.annotation = annotation;
  r.extend = extend;
  return r;
}

const char kHintBody[] = "{\"body\":\"x\",\"msgBodyType\":\"12\"}";
// The hint that a talk in `room` of the group has finished.
inline std::string finishHint(const std::string& room) {
  return "{\"operType\":\"22\",\"operUser\":\"2001\",\"usersInfo\":\"groupId=300,roomId=" + room +
         ",operUserName=Bob\"}";
}

class NotifyTest : public ::testing::Test {
 protected:
  // Device type 3 is a phone client, whose pulled calls wait in the offline cache.
  explicit NotifyTest(uint8_t deviceType = 1) : deviceType_(deviceType) {
    net.addGroup(kGroup, {kCaller, kMe, kPeer2, kPeer3});
    plugin_->settings().p2pSwitch.store(1);
  }
  imsdkmrtc::mrtc_plugin& plugin() { return *plugin_; }
  imsdkmrtc::pluginNotify& notify() { return *plugin_->notify(); }

  // A message from another client, delivered on slot 4.
  void deliver(int64_t sender, int32_t device, int64_t target, const std::string& body,
               uint16_t bodyType = 14, const std::string& properties = "") {
    net.inject(sender, device, target, body, bodyType, properties);
    net.pump();
  }
  void ring() { deliver(kCaller, kAndroid, kGroup, groupCall()); }

  std::vector<std::string> events() const { return renderAll(me.events()); }
  std::vector<std::string> timers() const { return renderAll(me.timerPosts()); }
  // What this plug-in sent (the injected messages left out).
  std::vector<std::string> sent() const { return renderAll(me.sent()); }
  bool talking(const std::string& room = "r1") { return plugin_->store().isCurrentRoom(room); }

  const uint8_t deviceType_;
  testsupport::Site site;
  simhost::Network& net = site.net;
  simhost::Client& me = site.add("me", kMe, kPc, deviceType_);
  imsdkmrtc::mrtc_plugin* plugin_ = &testsupport::Site::plugin(me);
};

class PhoneTest : public NotifyTest {
 protected:
  PhoneTest() : NotifyTest(3) {}
};

}  // namespace notify_test
