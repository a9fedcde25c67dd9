// What each signalling sender hands to the host: chat, message type, flags,
// limit range and the exact body; the redirect through the service account
// and its undoing; the repeated-ring entry of calls and invites.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "clock_control.h"
#include "plugin/mrtc_plugin.h"
#include "signalling/msg_proxy.h"
#include "signalling/signalling_fixture.h"
#include "simhost.h"

namespace imsdkmrtc {
namespace {

using ids = std::vector<int64_t>;
constexpr int64_t kStartMs = 1700000100000;  // virtual clock, whole seconds 1700000100

// Timer commands are only recorded here, never queued: these tests look at
// what the senders post, not at what the timer thread makes of it.
class recordingPlugin : public mrtc_plugin {
 public:
  bool onOther(uint16_t, uintptr_t, uintptr_t) override { return true; }
};

talkInfo groupTalk() {
  talkInfo t;
  t.rtcType = "rtc";
  t.groupId = 100;
  t.onwerId = 11;
  t.oName = "5byg5LiJ";
  t.roomId = "r1";
  t.roomToken = "tk";
  t.roomName = "rn";
  t.members = {11, 12, 13};
  t.memstates = {1, 0, 0};
  t.hismembers = {14};
  t.addr = "1.2.3.4:5";
  t.beginTime = 1700000000;
  t.conferMode = "free";
  t.srvVer = "2.1";
  t.srvTag = "east";
  t.videoType = "2";
  return t;
}

talkInfo p2pTalk() {
  talkInfo t = groupTalk();
  t.rtcType = "p2pconfer";
  t.groupId = 0;
  t.members = {11, 12};
  t.memstates = {1, 0};
  t.hismembers.clear();
  return t;
}

const char kCallBody[] =
    R"({"type":"multi_call","senderId":"11","groupId":"100","onwerId":"11","roomId":"r1",)"
    R"("roomToken":"tk","oName":"5byg5LiJ","roomName":"rn","addr":"1.2.3.4:5","srvVer":"2.1",)"
    R"("srvTag":"east","videoType":"2","cmode":"free","beginTime":"1700000000","deviceType":"1",)"
    R"("version":"mrtc@1.8.8","VideoStatus":"multi","rtcType":"rtc","selects":[12,13,14],)"
    R"("members":[11,12,13],"initState":["12_100"])";

const char kInviteBody[] =
    R"({"type":"multi_invite","senderId":"11","groupId":"100","onwerId":"11","roomId":"r1",)"
    R"("roomToken":"tk","oName":"5byg5LiJ","roomName":"rn","addr":"1.2.3.4:5","srvVer":"2.1",)"
    R"("srvTag":"east","cmode":"free","beginTime":"1700000000","deviceType":"1",)"
    R"("version":"mrtc@1.8.8","VideoStatus":"multi","rtcType":"rtc","selects":[14],"members":[11,)"
    R"(12,13],"memstates":[true,false,false],"hismembers":[14],"initState":["12_100"])";

class SendersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    commlib::useVirtualTime(kStartMs);
    net_.addUser(11, "me");
    net_.addUser(12, "b");
    net_.addUser(13, "c");
    net_.addUser(14, "d");
    net_.addGroup(100, {11, 12, 13, 14});
    client_.attach(&plugin_);
  }
  void TearDown() override { commlib::useRealTime(); }

  // The request command of a group call or invite.
  static mrtcCmd groupRequest(const ids& selects, std::vector<std::string> outMembers = {}) {
    mrtcCmd request;
    request.rtcType = "rtc";
    request.groupId = 100;
    request.selects = selects;
    request.outMembers = std::move(outMembers);
    request.initState = {"12_100"};
    return request;
  }

  void enableRecall(int32_t count) {
    plugin_.settings().recallEnable.store(1);
    plugin_.settings().recallCount.store(count);
    plugin_.settings().recallDuration.store(30);
  }

  bool loggedExactly(const char* func, const std::string& text) {
    for (const auto& line : client_.logs()) {
      if (line.func == func && line.text == text && line.tag == "mrtc" && line.level == 0) {
        return true;
      }
    }
    return false;
  }

  recordingPlugin plugin_;
  msgProxy& proxy_ = plugin_.proxy();
  simhost::Network net_;
  simhost::Client& client_ = net_.addClient("a", 11, 1);
};

// The fields of a repeated-ring entry, in one line.
std::string timerText(const imsdk::timerCmd& t) {
  return "op " + std::to_string(t.op) + " type " + std::to_string(t.type) + " mode " +
         std::to_string(t.memberMode) + " refresh " + std::to_string(t.refresh) + " category " +
         std::to_string(t.category) + " key " + t.key + " room " + t.roomId + " members " +
         idText(t.members) + " duration " + std::to_string(t.duration) + " fire " +
         std::to_string(t.fireTime) + " count " + std::to_string(t.recallCnt);
}

// One sender call and the single message it must produce, sent or inserted.
struct senderRow {
  const char* what;
  std::function<bool(msgProxy&)> send;
  const char* where;  // "sent ..." or "inserted ..." (local history only)
  const char* body;
};

TEST_F(SendersTest, EachSenderProducesItsMessage) {
  talkInfo refusing = groupTalk();
  refusing.targetId = 12;
  talkInfo timed = groupTalk();
  timed.connectTime = kStartMs / 1000 - 65;
  const senderRow rows[] = {
      {"room entry, group", [](msgProxy& p) { return p.sendMsg_intoroom("join", groupTalk(), 0); },
       "sent from 11 to 100 type 15 flag 1 limit [11]",
       R"({"type":"multi_intoroom","annotation":"join","senderId":"11","groupId":"100",)"
       R"("onwerId":"11","roomId":"r1","roomName":"rn","videoType":"2","deviceType":"1",)"
       R"("version":"mrtc@1.8.8","VideoStatus":"multi","rtcType":"rtc"})"},
      {"room entry, one-to-one",
       [](msgProxy& p) { return p.sendMsg_intoroom("join", p2pTalk(), 0); },
       "sent from 11 to 12 type 14 flag 0 limit []",
       R"({"type":"multi_intoroom","annotation":"join","senderId":"11","onwerId":"11",)"
       R"("roomId":"r1","roomName":"rn","videoType":"2","deviceType":"1","version":"mrtc@1.8.8",)"
       R"("VideoStatus":"multi","rtcType":"p2pconfer"})"},
      {"hang-up",
       [](msgProxy& p) { return p.sendMsg_hungup("leave", groupTalk(), "{\"a\":1}", 14, 0); },
       "sent from 11 to 100 type 14 flag 1 limit []",
       R"({"type":"multi_hungup","annotation":"leave","senderId":"11","groupId":"100",)"
       R"("onwerId":"11","roomId":"r1","videoType":"2","deviceType":"1","version":"mrtc@1.8.8",)"
       R"("VideoStatus":"multi","extend":"{\"a\":1}","rtcType":"rtc"})"},
      {"hang-up, one-to-one, kept locally only",
       [](msgProxy& p) { return p.sendMsg_hungup("leave", p2pTalk(), "", 15, 1); },
       "inserted from 11 to 12 type 15 flag 0 limit []",
       R"({"type":"multi_hungup","annotation":"leave","senderId":"11","onwerId":"11",)"
       R"("roomId":"r1","videoType":"2","deviceType":"1","version":"mrtc@1.8.8",)"
       R"("VideoStatus":"multi","rtcType":"p2pconfer"})"},
      {"refuse", [&](msgProxy& p) { return p.sendMsg_refuse("refuse", refusing); },
       "sent from 11 to 100 type 15 flag 1 limit [12,11]",
       R"({"type":"multi_hungup","annotation":"refuse","senderId":"11","groupId":"100",)"
       R"("onwerId":"11","roomId":"r1","deviceType":"1","version":"mrtc@1.8.8",)"
       R"("VideoStatus":"multi"})"},
      {"refuse, no inviter", [](msgProxy& p) { return p.sendMsg_refuse("refuse", groupTalk()); },
       "sent from 11 to 100 type 15 flag 1 limit [11]",
       R"({"type":"multi_hungup","annotation":"refuse","senderId":"11","groupId":"100",)"
       R"("onwerId":"11","roomId":"r1","deviceType":"1","version":"mrtc@1.8.8",)"
       R"("VideoStatus":"multi"})"},
      {"talk query", [](msgProxy& p) { return p.sendMsg_querytalk(100, "r1"); },
       "sent from 11 to 100 type 15 flag 1 limit []",
       R"({"type":"multi_querytalk","senderId":"11","groupId":"100","roomId":"r1",)"
       R"("deviceType":"1","version":"mrtc@1.8.8","VideoStatus":"multi"})"},
      {"talk query answer",
       [](msgProxy& p) { return p.sendMsg_reply_querytalk(12, 100, groupTalk()); },
       "sent from 11 to 100 type 15 flag 1 limit [12]",
       R"({"type":"cmd_reply_querytalk","senderId":"11","groupId":"100","onwerId":"11",)"
       R"("roomId":"r1","roomName":"rn","deviceType":"1","version":"mrtc@1.8.8",)"
       R"("VideoStatus":"multi","members":[11,12,13],"memstates":[true,false,false],)"
       R"("hismembers":[14]})"},
      {"version notice", [](msgProxy& p) { return p.sendMsg_version(groupTalk(), "ext"); },
       "sent from 11 to 100 type 15 flag 1 limit []",
       R"({"type":"multi_version","annotation":"far_sdk_versionmatchfail","senderId":"11",)"
       R"("groupId":"100","onwerId":"11","roomId":"r1","deviceType":"1","version":"mrtc@1.8.8",)"
       R"("VideoStatus":"multi","extend":"ext","members":[11,12,13]})"},
      {"call time", [&](msgProxy& p) { return p.sendMsg_time(timed); },
       "inserted from 11 to 100 type 14 flag 0 limit []",
       R"({"type":"multi_time","annotation":"65","senderId":"11","groupId":"100","onwerId":"11",)"
       R"("roomId":"r1","videoType":"2","deviceType":"1","version":"mrtc@1.8.8",)"
       R"("VideoStatus":"multi","rtcType":"rtc"})"},
      {"call time, never connected", [](msgProxy& p) { return p.sendMsg_time(p2pTalk()); },
       "inserted from 11 to 12 type 14 flag 0 limit []",
       R"({"type":"multi_time","annotation":"0","senderId":"11","onwerId":"11","roomId":"r1",)"
       R"("videoType":"2","deviceType":"1","version":"mrtc@1.8.8","VideoStatus":"multi",)"
       R"("rtcType":"p2pconfer"})"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    client_.clearRecords();
    ASSERT_TRUE(row.send(proxy_));
    const auto sent = client_.sent();
    const auto inserted = client_.inserted();
    ASSERT_EQ(sent.size() + inserted.size(), 1u);
    if (sent.empty()) {
      EXPECT_EQ("inserted " + route(inserted[0]), row.where);
      EXPECT_EQ(inserted[0].body, row.body);
    } else {
      EXPECT_EQ("sent " + route(sent[0]), row.where);
      EXPECT_EQ(sent[0].properties, "");
      EXPECT_EQ(sent[0].body, row.body);
    }
  }
  EXPECT_TRUE(proxy_.sendMsg_reply(12, 100, "r1", 0, "x"));
  // A proxy not yet bound to its plug-in sends nothing and says so.
  msgProxy unbound;
  for (const auto& row : rows) EXPECT_FALSE(row.send(unbound)) << row.what;
  mrtcCmd request = groupRequest({12});
  EXPECT_FALSE(unbound.sendMsg_call({12}, groupTalk(), request));
  EXPECT_FALSE(unbound.sendMsg_invite({12}, groupTalk(), request));
}

TEST_F(SendersTest, LimitRangeSettingAppliesToUnlimitedSenders) {
  proxy_.setLimitRange(true);
  EXPECT_TRUE(loggedExactly("imsdkmrtc::msgProxy::setLimitRange", "setLimitRange = 1."));
  ASSERT_TRUE(proxy_.sendMsg_hungup("leave", groupTalk(), "", 14, 0));
  EXPECT_EQ(client_.sent().back().limitRange, (ids{11, 12, 13}));
  // An empty list is never a limit.
  ASSERT_TRUE(proxy_.sendMsg_querytalk(100, "r1"));
  EXPECT_TRUE(client_.sent().back().limitRange.empty());
  proxy_.setLimitRange(false);
  EXPECT_TRUE(loggedExactly("imsdkmrtc::msgProxy::setLimitRange", "setLimitRange = 0."));
  ASSERT_TRUE(proxy_.sendMsg_hungup("leave", groupTalk(), "", 14, 0));
  EXPECT_TRUE(client_.sent().back().limitRange.empty());
}

TEST_F(SendersTest, ServiceAccountRedirect) {
  const struct {
    const char* what;
    int64_t target;
    int16_t type;
    bool allow;
    bool on;
    int64_t addressed;
    const char* properties;
  } rows[] = {
      {"redirected", 5, 14, true, true, 10001, R"({"targetID":"5"})"},
      {"negative id", -5, 14, true, true, 10001, R"({"targetID":"-5"})"},
      {"type 15 never", 5, 15, true, true, 5, ""},
      {"type 26 never", 5, 26, true, true, 5, ""},
      {"already to the service", 10001, 14, true, true, 10001, ""},
      {"setting off", 5, 14, true, false, 5, ""},
      {"caller forbids", 5, 14, false, true, 5, ""},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    plugin_.settings().redirectOn.store(row.on ? 1 : 0);
    ASSERT_TRUE(proxy_.sendMessage(row.target, row.type, "{}", {7},
                                   sendOptions().withLimitRange().withRedirect(row.allow)));
    const auto m = client_.sent().back();
    EXPECT_EQ(route(m), "from 11 to " + std::to_string(row.addressed) + " type " +
                            std::to_string(row.type) + " flag 1 limit [7]");
    EXPECT_EQ(m.properties, row.properties);
    // The success line names the target the caller gave.
    EXPECT_TRUE(loggedExactly("imsdkmrtc::msgProxy::sendMessage",
                              "sendMessage succ: tarId=" + std::to_string(row.target) +
                                  ", type=" + std::to_string(row.type) + ", sendType=0, msg={}."));
  }
  // Properties already present are kept, as strings, keys in byte order.
  EXPECT_EQ(msgProxy::redirectProperties(
                R"({"zeta":"z","Alpha":1,"targetID":"9","b":true,"a":"q\""})", 42),
            R"({"Alpha":"1","a":"q\"","targetID":"42","zeta":"z"})");
  EXPECT_EQ(msgProxy::redirectProperties("not json", 42), R"({"targetID":"42"})");
}

TEST_F(SendersTest, GroupCallReachesCalleesAndArmsRecall) {
  enableRecall(1);
  mrtcCmd request = groupRequest({12, 13, 14}, {"14", "99"});
  ASSERT_TRUE(proxy_.sendMsg_call({12, 13, 14}, groupTalk(), request));

  ASSERT_EQ(client_.sent().size(), 2u);
  const auto m = client_.sent()[0];
  // The callees limit the call though the limit setting is off.
  EXPECT_EQ(route(m), "from 11 to 100 type 14 flag 1 limit [12,13]");
  EXPECT_EQ(m.body, std::string(kCallBody) + R"(,"recallCnt":"8","recallDrt":"1"})");
  EXPECT_TRUE(loggedExactly("imsdkmrtc::msgProxy::sendMsg_call", "sendMsg_call groupMemCnt=2."));

  ASSERT_EQ(client_.timerPosts().size(), 1u);
  const imsdk::timerCmd t = client_.timerPosts()[0].cmd;
  EXPECT_EQ(timerText(t),
            "op 1 type 7 mode 2 refresh 0 category 5 key 100 room r1 members [12,13] duration 30 "
            "fire 1700000100 count 1");
  EXPECT_EQ(t.extra, std::string(kCallBody) + R"(,"flag":"recall"})");

  // The call card follows the call, to the same callees, and is kept locally.
  std::string card;
  proxy_.fillTempMessage(card, groupTalk(), {12, 13, 14}, {"12_100"});
  EXPECT_EQ(route(client_.sent()[1]), "from 11 to 100 type 26 flag 1 limit [12,13]");
  EXPECT_EQ(client_.sent()[1].body, card);
  ASSERT_EQ(client_.inserted().size(), 1u);
  EXPECT_EQ(client_.inserted()[0].body, card);
}

TEST_F(SendersTest, RecallSettingsShapeTheCall) {
  const struct {
    const char* what;
    int enable, count, duration;
    bool tagged, armed;
  } rows[] = {
      {"off", 0, 1, 30, false, false},
      {"no count", 1, 0, 30, false, true},
      {"no duration", 1, 2, 0, false, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    client_.clearRecords();
    plugin_.settings().recallEnable.store(static_cast<uint8_t>(row.enable));
    plugin_.settings().recallCount.store(row.count);
    plugin_.settings().recallDuration.store(row.duration);
    mrtcCmd request = groupRequest({12, 13, 14});
    ASSERT_TRUE(proxy_.sendMsg_call({12, 13, 14}, groupTalk(), request));
    EXPECT_EQ(client_.sent().front().body,
              std::string(kCallBody) + (row.tagged ? R"(,"recallCnt":"8","recallDrt":"1"})" : "}"));
    ASSERT_EQ(client_.timerPosts().size(), row.armed ? 1u : 0u);
    if (row.armed) {
      EXPECT_EQ(client_.timerPosts()[0].cmd.duration, row.duration);
    }
  }
}

TEST_F(SendersTest, CallWithNobodyToRing) {
  // A group request without a group, or whose every callee is left out.
  mrtcCmd noGroup = groupRequest({12});
  noGroup.groupId = 0;
  EXPECT_TRUE(proxy_.sendMsg_call({12}, groupTalk(), noGroup));
  mrtcCmd allOut = groupRequest({12}, {"12"});
  EXPECT_TRUE(proxy_.sendMsg_call({12}, groupTalk(), allOut));
  mrtcCmd noInvitee = groupRequest({14}, {"14"});
  EXPECT_TRUE(proxy_.sendMsg_invite({14}, groupTalk(), noInvitee));
  EXPECT_TRUE(
      loggedExactly("imsdkmrtc::msgProxy::sendMsg_invite", "sendMsg_invite groupMemCnt=0."));
  // A one-to-one call needs its peer.
  mrtcCmd p2p;
  p2p.rtcType = "p2pconfer";
  EXPECT_FALSE(proxy_.sendMsg_call({}, p2pTalk(), p2p));
  EXPECT_TRUE(loggedExactly("imsdkmrtc::msgProxy::sendMsg_call", "sendMsg_call no becall."));
  EXPECT_TRUE(loggedExactly("imsdkmrtc::msgProxy::sendMsg_call", "sendMsg_call groupMemCnt=0."));
  EXPECT_TRUE(client_.sent().empty());
  EXPECT_TRUE(client_.inserted().empty());
}

TEST_F(SendersTest, OneToOneCallGoesToThePeer) {
  enableRecall(1);
  talkInfo talk = p2pTalk();
  talk.single = 1;
  mrtcCmd request;
  request.rtcType = "p2pconfer";
  ASSERT_TRUE(proxy_.sendMsg_call({12}, talk, request));
  ASSERT_EQ(client_.sent().size(), 1u);  // no card for a one-to-one call
  EXPECT_TRUE(client_.inserted().empty());
  const auto m = client_.sent()[0];
  EXPECT_EQ(route(m), "from 11 to 12 type 14 flag 1 limit []");
  EXPECT_EQ(
      m.body,
      R"({"type":"multi_call","senderId":"11","onwerId":"11","roomId":"r1","roomToken":"tk",)"
      R"("oName":"5byg5LiJ","roomName":"rn","addr":"1.2.3.4:5","srvVer":"2.1",)"
      R"("srvTag":"east","videoType":"2","cmode":"free","beginTime":"1700000000",)"
      R"("deviceType":"1","version":"mrtc@1.8.8","VideoStatus":"multi",)"
      R"("extend":"{\"mode\":\"single\"}","rtcType":"p2pconfer","selects":[12],"members":[11,)"
      R"(12],"recallCnt":"8","recallDrt":"1"})");
  // The repeated-ring entry carries the talk's group (none) and no callee,
  // so it can never ring the peer again.
  ASSERT_EQ(client_.timerPosts().size(), 1u);
  EXPECT_EQ(client_.timerPosts()[0].cmd.key + idText(client_.timerPosts()[0].cmd.members), "0[]");
}

TEST_F(SendersTest, InviteGoesToTheGroupAndArmsRecallForInvitees) {
  enableRecall(1);
  mrtcCmd request = groupRequest({14, 12}, {"12"});
  ASSERT_TRUE(proxy_.sendMsg_invite({14}, groupTalk(), request));
  ASSERT_EQ(client_.sent().size(), 2u);
  const auto m = client_.sent()[0];
  EXPECT_EQ(route(m), "from 11 to 100 type 14 flag 1 limit []");  // limited only by the setting
  EXPECT_EQ(m.body, std::string(kInviteBody) + R"(,"recallCnt":"8","recallDrt":"1"})");
  EXPECT_TRUE(
      loggedExactly("imsdkmrtc::msgProxy::sendMsg_invite", "sendMsg_invite groupMemCnt=1."));
  EXPECT_TRUE(loggedExactly("imsdkmrtc::msgProxy::sendMsg_invite", "sendMsg_invite ret = 1."));
  ASSERT_EQ(client_.timerPosts().size(), 1u);
  EXPECT_EQ(client_.timerPosts()[0].cmd.members, ids{14});
  EXPECT_EQ(client_.timerPosts()[0].cmd.extra, std::string(kInviteBody) + R"(,"flag":"recall"})");
  // Its card reaches the invitees and is not kept locally first.
  std::string card;
  proxy_.fillTempMessage(card, groupTalk(), {14}, {"12_100"});
  EXPECT_EQ(route(client_.sent()[1]), "from 11 to 100 type 26 flag 1 limit [14]");
  EXPECT_EQ(client_.sent()[1].body, card);
  EXPECT_TRUE(client_.inserted().empty());

  // Invites are not redirected; with the limit setting on they reach the
  // talk's members only.
  plugin_.settings().redirectOn.store(1);
  proxy_.setLimitRange(true);
  mrtcCmd again = groupRequest({14});
  client_.clearRecords();
  ASSERT_TRUE(proxy_.sendMsg_invite({14}, groupTalk(), again));
  EXPECT_EQ(client_.sent().front().targetId, 100);
  EXPECT_EQ(client_.sent().front().limitRange, (ids{11, 12, 13}));

  // One that cannot be sent arms no recall and posts no card.
  client_.config().refuseSend = true;
  client_.clearRecords();
  mrtcCmd unsent = groupRequest({14});
  EXPECT_FALSE(proxy_.sendMsg_invite({14}, groupTalk(), unsent));
  EXPECT_TRUE(client_.timerPosts().empty());
  EXPECT_FALSE(client_.hasLog("tempmessage="));
}

}  // namespace
}  // namespace imsdkmrtc
