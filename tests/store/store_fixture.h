// Shared set-up of the store tests: a plug-in on a simulated host client of
// the own user (kSelf), a virtual clock, talk records to hand in, and a compact text form
// of a talk so that expectations read as one line.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "simhost.h"
#include "store/talk_store.h"
#include "support/support.h"

namespace imsdkmrtc {
namespace storetest {

constexpr int64_t kSelf = 100;
constexpr int64_t kGroup = 55;
using testsupport::kStartMs;

inline talkInfo makeInfo(const std::string& roomId, std::vector<int64_t> members,
                         std::vector<uint8_t> memstates = {}) {
  talkInfo info;
  info.rtcType = "rtc";
  info.groupId = kGroup;
  info.onwerId = kSelf;
  info.roomId = roomId;
  info.roomName = "room " + roomId;
  info.targetId = kGroup;
  info.addr = "10.0.0.1:8000";
  info.beginTime = 1700000000;
  info.members = std::move(members);
  info.memstates = std::move(memstates);
  return info;
}

inline std::string ids(const std::vector<int64_t>& list) { return testsupport::join(list, " "); }

// "t1a1 r1 m[100:0 7:1] h[5] l[9] oc0": talking, active, room, members with
// their states, hismembers, leftMembers, othersChanged.
inline std::string describe(const talkInfo& info) {
  std::string out = "t" + std::to_string(info.talking) + "a" + std::to_string(info.active) + " " +
                    info.roomId + " m[";
  for (size_t i = 0; i < info.members.size(); ++i) {
    if (i > 0) out += " ";
    out += std::to_string(info.members[i]) + ":";
    out += i < info.memstates.size() ? std::to_string(info.memstates[i]) : "?";
  }
  out += "] h[" + ids(info.hismembers) + "] l[" + ids(info.leftMembers) + "] oc" +
         std::to_string(info.othersChanged);
  return out;
}

class StoreTest : public ::testing::Test {
 public:
  // Starting points.
  enum Given { kIdle, kActive, kNoActive };

 protected:
  void SetUp() override {
    commlib::useVirtualTime(kStartMs);
    plugin_ = std::make_unique<mrtc_plugin>();
    client_.attach(plugin_.get());
  }
  void TearDown() override {
    std::string why;
    EXPECT_TRUE(store().checkInvariants(&why)) << why;
    client_.attach(nullptr);
    plugin_.reset();
    commlib::useRealTime();
  }

  talkStore& store() { return plugin_->store(); }

  // The store as queryTalk sees it; "idle" when there is no talk.
  std::string stored() {
    talkInfo info;
    return store().queryTalk(info) == kTalkNone ? "idle" : describe(info);
  }

  // kActive: this client called 7 and 9 in room "r1" (members 100:0 7:0 9:0).
  // kNoActive: joined room "r1" from a card with active off
  // (members 7:0 9:0 100:1).
  void given(Given g) {
    talkInfo info = makeInfo("r1", {7, 9});
    std::vector<int64_t> callees{7, 9};
    if (g == kActive) {
      ASSERT_EQ(store().localCall(callees, info), kTalkDone);
    } else if (g == kNoActive) {
      ASSERT_EQ(store().localTempletJoin(info, 0), kTalkDone);
    }
  }

  simhost::Network net_;
  simhost::Client& client_ = net_.addClient("me", kSelf);
  std::unique_ptr<mrtc_plugin> plugin_;
};

}  // namespace storetest
}  // namespace imsdkmrtc
