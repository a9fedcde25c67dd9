// A plug-in on the simulated network, the people around it, and compact
// renderings of what it produced, shared by the notification tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "clock_control.h"
#include "notify/plugin_notify.h"
#include "plugin/mrtc_plugin.h"
#include "simhost/simhost.h"
#include "timer/plugin_other.h"
#include "timer/timeout_record.h"

namespace notify_test {

constexpr int64_t kMe = 1001;
constexpr int64_t kCaller = 2001;
constexpr int64_t kPeer2 = 2002;
constexpr int64_t kPeer3 = 2003;
constexpr int64_t kGroup = 300;
constexpr int32_t kPc = 1;
constexpr int32_t kAndroid = 2;
constexpr int64_t kStartMs = 1700000000000;

// A signalling body written by hand, keys in the order given.
class Body {
 public:
  explicit Body(const std::string& type) { str("type", type); }
  Body& str(const std::string& key, const std::string& value) {
    std::string quoted = "\"";
    for (char c : value) {
      if (c == '"' || c == '\\') quoted += '\\';
      quoted += c;
    }
    return raw(key, quoted + "\"");
  }
  Body& id(const std::string& key, int64_t value) { return str(key, std::to_string(value)); }
  Body& ids(const std::string& key, std::initializer_list<int64_t> values) {
    std::string list;
    for (int64_t v : values) list += (list.empty() ? "" : ",") + std::to_string(v);
    return raw(key, "[" + list + "]");
  }
  // Sets a key to a JSON value; a key set again keeps its place.
  Body& raw(const std::string& key, const std::string& json) {
    for (auto& member : members_) {
      if (member.first == key) {
        member.second = json;
        return *this;
      }
    }
    members_.emplace_back(key, json);
    return *this;
  }
  std::string text() const {
    std::string out;
    for (const auto& m : members_) out += (out.empty() ? "" : ",") + ("\"" + m.first + "\":" + m.second);
    return "{" + out + "}";
  }
  operator std::string() const { return text(); }

 private:
  std::vector<std::pair<std::string, std::string>> members_;
};

// The call most tests start from: group call in room "r1" placed by kCaller
// from a phone, selecting this user and two others.
inline Body groupCall(const std::string& room = "r1") {
  return std::move(Body("multi_call")
                       .str("annotation", "")
                       .id("senderId", kCaller)
                       .id("groupId", kGroup)
                       .id("onwerId", kCaller)
                       .str("roomId", room)
                       .str("roomName", "weekly")
                       .str("cmode", "chat")
                       .str("deviceType", "2")
                       .str("version", "mrtc@1.8.8")
                       .str("rtcType", "rtc")
                       .ids("selects", {kMe, kPeer2, kPeer3})
                       .ids("members", {kCaller, kMe, kPeer2, kPeer3}));
}

inline Body p2pCall(const std::string& room = "p1") {
  return std::move(Body("multi_call")
                       .id("senderId", kCaller)
                       .id("onwerId", kCaller)
                       .str("roomId", room)
                       .str("deviceType", "2")
                       .str("version", "mrtc@1.8.8")
                       .str("rtcType", "p2pconfer")
                       .ids("selects", {kMe})
                       .ids("members", {kCaller, kMe}));
}

inline std::string join(const std::vector<int64_t>& ids) {
  std::string out;
  for (int64_t id : ids) out += (out.empty() ? "" : ",") + std::to_string(id);
  return out;
}

// type|annotation|sender|selects|group|owner|room|roomName|members|extend
inline std::string render(const simhost::UiEvent& e) {
  return std::to_string(e.eventType) + "|" + e.annotation + "|" + std::to_string(e.senderId) +
         "|" + join(e.selects) + "|" + std::to_string(e.groupId) + "|" +
         std::to_string(e.onwerId) + "|" + e.roomId + "|" + e.roomName + "|" + join(e.members) +
         "|" + e.extend;
}

// op/category/type/key/members/duration[/refresh][/recallCnt]
inline std::string render(const simhost::TimerPost& t) {
  const imsdk::timerCmd& c = t.cmd;
  std::string out = std::to_string(c.op) + "/" + std::to_string(c.category) + "/" +
                    std::to_string(c.type) + "/" + c.key + "/" + join(c.members) + "/" +
                    std::to_string(c.duration);
  if (c.refresh != 0) out += "/refresh";
  if (c.recallCnt != 0) out += "/n" + std::to_string(c.recallCnt);
  return out;
}

// type>target[limit]:body
inline std::string render(const simhost::NetMessage& m) {
  std::string out = std::to_string(m.msgType) + ">" + std::to_string(m.targetId);
  if (!m.limitRange.empty()) out += "[" + join(m.limitRange) + "]";
  return out + ":" + m.body;
}

template <typename T>
std::vector<std::string> renderAll(const std::vector<T>& items) {
  std::vector<std::string> out;
  for (const T& item : items) out.push_back(render(item));
  return out;
}

class NotifyTest : public ::testing::Test {
 protected:
  explicit NotifyTest(uint8_t deviceType = 1) : plugin_(new imsdkmrtc::mrtc_plugin(deviceType)) {
    commlib::useVirtualTime(kStartMs);
    net.addGroup(kGroup, {kCaller, kMe, kPeer2, kPeer3});
    me.attach(plugin_.get());
    plugin_->settings().p2pSwitch.store(1);
  }
  ~NotifyTest() override {
    plugin_->other()->stop();
    commlib::advance(4000);
    commlib::useRealTime();
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
  bool talking() { return plugin_->store().isCurrentRoom("r1"); }

  simhost::Network net;
  std::unique_ptr<imsdkmrtc::mrtc_plugin> plugin_;
  simhost::Client& me = net.addClient("me", kMe, kPc);
};

}  // namespace notify_test
