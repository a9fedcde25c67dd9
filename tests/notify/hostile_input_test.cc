// Hostile or merely unusual input on every road into the plug-in: signalling
// bodies live, pulled and pushed, the application's requests and the extra
// request. Whatever comes in, the ringing talk and its time-outs stay as they
// were, and what strangers can make the plug-in remember stays bounded.
#include <sys/resource.h>

#include <cstdint>
#include <limits>

#include "notify/notify_fixture.h"
#include "requests/request_texts.h"
#include "sdk_cmd.h"
#include "signalling/board_buffer.h"
#include "timer/timer_texts.h"

namespace notify_test {
namespace {

const std::string kMiB(1 << 20, 'x');

std::string idList(int64_t first, int64_t count) {
  std::string out = "[";
  for (int64_t id = first; id < first + count; ++id) {
    out += (id == first ? "" : ",") + std::to_string(id);
  }
  return out + "]";
}

// Exactly `size` bytes: prefix, as many '[' as fit with their ']', suffix.
std::string nested(const std::string& prefix, size_t size, const std::string& suffix) {
  const size_t depth = (size - prefix.size() - suffix.size()) / 2;
  std::string out = prefix + std::string(depth, '[') + std::string(depth, ']') + suffix;
  return out + std::string(size - out.size(), ' ');
}

enum Road { kLive, kPulled, kPushed, kRequests, kExtra };
const char* const kRoadNames[] = {"Live", "Pulled", "Pushed", "Requests", "Extra"};

// A text with 8 MiB of one character between prefix and suffix, built
// without temporaries of that size.
std::string huge(const std::string& prefix, char c, const std::string& suffix) {
  std::string out;
  out.reserve(prefix.size() + (8 << 20) + suffix.size());
  out += prefix;
  out.append(8 << 20, c);
  return out += suffix;
}

struct Hostile {
  std::vector<std::string> bodies;  // live, pulled and pushed
  imsdk::req_mrtc_request request;  // every application request
  std::string extra;                // cmd and extend of every extra request
  int32_t requestCode = -1;         // when >= 0, the answer of every request
};

// clang-format off
const char* const kRowNames[] = {"NestedBrackets", "MillionIds",    "WrongTypes",
                                 "InvalidUtf8",    "NulBytes",      "EightMiBTexts",
                                 "OverflowingNumbers"};

// Row i, only what the road takes: the big ones take a while to build.
Hostile hostileInput(size_t i, Road road) {
  const bool sig = road == kLive || road == kPulled || road == kPushed;
  const bool asks = road == kRequests, extras = road == kExtra;
  Hostile row;
  switch (i) {
  case 0:
  if (sig) row.bodies = {nested("{\"type\":\"multi_invite\",\"roomId\":\"r1\",\"selects\":", 1 << 20, "}"),
                    std::string(1 << 20, '[')};
  if (asks) row.request = req(kGroup, "zz", {kPeer2}, "", nested("", 1 << 20, ""));
  if (extras) row.extra = nested("", 1 << 20, "");

  // Without the bounds the invite makes this client's talk one of a million
  // members; the call to another room is refused either way.
  break;
  case 1:
  if (sig) {
    const std::string invite = step("multi_invite", kCaller, kAndroid, "r1", "");
    const std::string call = groupCall("r2");
    // Spliced in place: the million ids are about 8 MB of text.
    std::string ids = idList(2, 1000000);
    row.bodies.push_back(invite.substr(0, invite.size() - 1) + ",\"selects\":" + ids + "}");
    const size_t members = call.find("\"members\":");
    row.bodies.push_back(call.substr(0, members) + "\"members\":" + ids + "}");
    ids = idList(2, 20000);  // small enough for the body limit, too long for the id limit
    row.bodies.push_back(invite.substr(0, invite.size() - 1) + ",\"selects\":" + ids + "}");
  }
  if (asks) row.request = req(kGroup, "r2", {});
  if (asks) {
    for (int64_t id = 2; id < 1000002; ++id) row.request.members.push_back(id);
  }

  break;
  case 2:
  if (sig) row.bodies = {
      "{\"type\":5,\"annotation\":[],\"senderId\":{},\"groupId\":true,\"onwerId\":1.5,\"oName\":1,"
      "\"roomId\":[],\"roomToken\":{},\"roomName\":null,\"addr\":7,\"srvVer\":[],\"srvTag\":{},"
      "\"videoType\":1,\"cmode\":[],\"beginTime\":{},\"deviceType\":[],\"version\":1,"
      "\"VideoStatus\":[],\"extend\":{},\"rtcType\":7,\"selects\":{},\"members\":\"x\","
      "\"memstates\":{},\"hismembers\":1,\"initState\":\"a\",\"flag\":[]}",
      "{\"type\":\"multi_invite\",\"roomId\":[\"r1\"],\"senderId\":2001,\"groupId\":{},"
      "\"selects\":[{},null,\"x\",1.5,-1,true],\"members\":[[1001]],\"memstates\":[1,\"true\"],"
      "\"hismembers\":{},\"initState\":[1,{}],\"version\":[\"mrtc@1.8.8\"],\"flag\":{}}",
      "{\"type\":\"multi_call\",\"roomId\":{\"r\":1},\"selects\":\"1001\",\"members\":true,"
      "\"extend\":[\"{}\"],\"version\":\"mrtc@1.8.8\"}"};
  if (asks) row.request = req(kGroup, "zz", {kPeer2}, "",
      "{\"addr\":1,\"conferMode\":[],\"mode\":{},\"rtcType\":5,\"roomToken\":true,\"srvVer\":null,"
      "\"srvTag\":1.5,\"initState\":[1,{}],\"outMembers\":[2,[]]}");
  if (extras) row.extra =
      "{\"pcOnOff\":1,\"limitRange\":[],\"groupId\":{},\"senderId\":[],\"msgStampTime\":5,"
      "\"boardSwitch\":true,\"loseDuration\":[],\"mcalling_version\":1,\"forceOwnerAddr\":null,"
      "\"enable\":0,\"duration\":{},\"count\":[],\"bellDuration\":1.5,\"p2pSwitch\":2,"
      "\"unbindSwitch\":[],\"addrSwitch\":{},\"type\":7,\"reqData\":[],\"roomId\":1,"
      "\"maxBodyBytes\":[],\"maxIds\":{}}";

  break;
  case 3:
  if (sig) row.bodies = {Body(step("multi_invite", kCaller, kAndroid, "r1\xff\xfe", "\xc3\x28"))
                        .ids("selects", {kMe, kPeer2}).str("oName", "\xed\xa0\x80"),
                    Body(groupCall("\xc0\xaf")).str("roomName", "\xff")};
  if (asks) row.request = req(kGroup, "z\xff\xfe", {kPeer2}, "\xed\xa0\x80", "{\"mode\":\"\xff\"}");
  if (asks) row.request.roomName = "\xc0\xaf";
  if (extras) row.extra = "{\"groupId\":\"\xff\",\"mcalling_version\":\"\xfe\",\"roomId\":\"\xc3\x28\"}";

  break;
  case 4:
  if (sig) row.bodies = {std::string("{\"type\":\"multi_invite\",\"roomId\":\"r1\0\",\"selects\":[1001]}", 53),
                    Body(step("multi_invite", kCaller, kAndroid, "", "")).raw("roomId", "\"r1\\u0000\"")
                        .ids("selects", {kMe, kPeer2}),
                    std::string("{\"type\":\"multi_hungup\"}\0{\"roomId\":\"r1\"}", 38)};
  if (asks) row.request = req(kGroup, std::string("r1\0x", 4), {kPeer2}, std::string("refuse\0", 7),
                        std::string("{\"mode\":\"single\"}\0", 18));
  if (extras) row.extra = std::string("{\"pcOnOff\":\"of\0f\",\"groupId\":\"30\0\"}", 34);

  break;
  case 5:
  if (sig) {
    row.bodies.push_back(huge(
        "{\"type\":\"multi_hungup\",\"senderId\":\"2001\",\"groupId\":\"300\",\"roomId\":"
        "\"r1\",\"version\":\"mrtc@1.8.8\",\"annotation\":\"", 'a', "\"}"));
    row.bodies.push_back(huge(
        "{\"type\":\"multi_call\",\"senderId\":\"2001\",\"groupId\":\"300\",\"selects\":"
        "[1001],\"version\":\"mrtc@1.8.8\",\"roomId\":\"", 'a', "\"}"));
    row.bodies.push_back(huge(
        "{\"type\":\"multi_invite\",\"groupId\":\"300\",\"roomId\":\"r1\",\"selects\":"
        "[1001],\"version\":\"mrtc@1.8.8\",\"senderId\":\"", '7', "\"}"));
  }
  if (asks) row.request = req(kGroup, std::string(8 << 20, 'a'), {kPeer2}, std::string(8 << 20, 'a'));
  row.requestCode = 1;
  if (extras) row.extra = huge("{\"groupId\":\"", '7', "\",\"senderId\":\"" + std::string(8 << 20, '7') + "\"}");
  break;
  case 6:
  if (sig) row.bodies = {Body(step("multi_invite", kCaller, kAndroid, "r1", ""))
                        .str("senderId", "99999999999999999999").str("groupId", "-99999999999999999999")
                        .str("beginTime", "99999999999999999999").str("deviceType", "99999999999")
                        .raw("selects", "[18446744073709551616,-9223372036854775809,1e300]")
                        .raw("members", "[99999999999999999999]"),
                    Body(groupCall("r3")).raw("selects", "[1e400]"),
                    Body(groupCall("r3")).str("onwerId", "-9223372036854775809")
                        .raw("selects", "[\"99999999999999999999\",1001]")};
  if (asks) row.request = req(std::numeric_limits<int64_t>::min(), "zz",
                        {std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min(), -1, 0},
                        "", "{\"outMembers\":[\"99999999999999999999\",\"-99999999999999999999\"],"
                        "\"initState\":[\"99999999999999999999_311\"],\"rtcType\":\"p2pconfer\"}");
  if (extras) row.extra = "{\"duration\":\"99999999999999999999\",\"count\":\"-99999999999999999999\","
                  "\"bellDuration\":\"2147483648\",\"loseDuration\":\"9223372036854775808\","
                  "\"groupId\":\"99999999999999999999\",\"maxBodyBytes\":\"99999999999999999999\","
                  "\"maxIds\":\"-1\"}";
  break;
  }
  return row;
}
// clang-format on

const uint16_t kRequestCodes[] = {imsdk::kCmdCall, imsdk::kCmdInvite,       imsdk::kCmdIntoRoom,
                                  imsdk::kCmdJoin, imsdk::kCmdConnectState, imsdk::kCmdTempletJoin};
// Every extra type but those that act without reading their texts (stopping
// the watch, firing the offline cache and resetting the talk: their effects
// are the point of them).
const int8_t kExtraTypes[] = {
    imsdkmrtc::kExtraTypePcOnOff,        imsdkmrtc::kExtraTypeLimitRange,
    imsdkmrtc::kExtraTypeWatchGroup,     imsdkmrtc::kExtraTypePushedCmd,
    imsdkmrtc::kExtraTypeBoardSwitch,    imsdkmrtc::kExtraTypeCardTemplate,
    imsdkmrtc::kExtraTypeLivingCard,     imsdkmrtc::kExtraTypeDetailAddr,
    imsdkmrtc::kExtraTypeLoseDuration,   imsdkmrtc::kExtraTypeMcallingVersion,
    imsdkmrtc::kExtraTypeForceOwnerAddr, imsdkmrtc::kExtraTypeFinishHint,
    imsdkmrtc::kExtraTypeRecall,         imsdkmrtc::kExtraTypeMicroInfo,
    imsdkmrtc::kExtraTypeP2pSwitch,      imsdkmrtc::kExtraTypeAddrSwitch,
    imsdkmrtc::kExtraTypeUnbindInfo,     imsdkmrtc::kExtraTypeShareText,
    imsdkmrtc::kExtraTypeRoomToken,      imsdkmrtc::kExtraTypeMicroCard,
    imsdkmrtc::kExtraTypeReviseCard,     imsdkmrtc::kExtraTypeLimits};

class HostileInput : public NotifyTest,
                     public ::testing::WithParamInterface<std::tuple<size_t, Road>> {
 protected:
  // The talk as the store holds it, with its time-out queue.
  std::string state() {
    imsdkmrtc::talkInfo t;
    const uint32_t found = plugin().store().queryTalk(t);
    std::string out = std::to_string(found) + "|" + t.roomId + "|" + std::to_string(t.talking) +
                      std::to_string(t.active) + "|" + join(t.members) + "|";
    for (uint8_t s : t.memstates) out += s != 0 ? "1" : "0";
    out += "|" + join(t.hismembers);
    for (const auto& r : plugin().other()->snapshot()) out += "|" + render(r);
    return out;
  }
};

TEST_P(HostileInput, LeavesTheTalkAsItWas) {
  const Hostile row = hostileInput(std::get<0>(GetParam()), std::get<1>(GetParam()));
  ring();
  const std::string before = state();
  me.clearRecords();
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  const long peakBefore = usage.ru_maxrss;
  switch (std::get<1>(GetParam())) {
    case kLive:
      // Straight to slot 4, one message at a time: the simulated network would
      // keep copies of these bodies.
      for (const std::string& body : row.bodies) {
        imsdk::hostMessage msg = hostMsg(kCaller, kGroup, body);
        plugin().onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&msg), 0);
      }
      break;
    case kPulled:
      for (const std::string& body : row.bodies) {
        std::vector<imsdk::hostMessage> batch;
        batch.push_back(hostMsg(kCaller, kGroup, body));
        me.pull(std::move(batch));
      }
      break;
    case kPushed:
      for (const std::string& body : row.bodies) {
        me.extra(5, body,
                 "{\"senderId\":\"2001\",\"msgStampTime\":\"" + std::to_string(kStartMs) + "\"}");
      }
      break;
    case kRequests:
      for (uint16_t code : kRequestCodes) me.request(code, row.request);
      // A hang-up ends the current talk whatever room it names: only one
      // refused for its size must leave it.
      if (row.requestCode >= 0) me.request(24005, row.request);
      for (const simhost::Result& r : me.results()) {
        if (row.requestCode >= 0) {
          EXPECT_EQ(r.result, row.requestCode) << r.cmdId;
        }
        // A call, invite or entry naming more members than the limit is invalid.
        if (row.request.members.size() > 10000 && r.cmdId <= 24003) {
          EXPECT_EQ(r.result, 1) << r.cmdId;
        }
      }
      break;
    case kExtra:
      for (int8_t type : kExtraTypes) me.extra(type, row.extra, row.extra);
      break;
  }
  getrusage(RUSAGE_SELF, &usage);
  // Peak resident size in KiB with the inputs built, and what handling them added.
  RecordProperty("peak_kib", std::to_string(usage.ru_maxrss));
  RecordProperty("handling_kib", std::to_string(usage.ru_maxrss - peakBefore));
  EXPECT_EQ(state(), before);
  std::string why;
  EXPECT_TRUE(plugin().store().checkInvariants(&why)) << why;
}

INSTANTIATE_TEST_SUITE_P(Table, HostileInput,
                         ::testing::Combine(::testing::Range<size_t>(0, 7),
                                            ::testing::Values(kLive, kPulled, kPushed, kRequests,
                                                              kExtra)),
                         [](const ::testing::TestParamInfo<std::tuple<size_t, Road>>& info) {
                           return std::string(kRowNames[std::get<0>(info.param)]) +
                                  kRoadNames[std::get<1>(info.param)];
                         });

// Ids below 2 are never users: they are taken out of every received list,
// each member's state staying with it.
TEST_F(NotifyTest, ReceivedListsKeepOnlyUsers) {
  deliver(kCaller, kAndroid, kGroup,
          Body(step("multi_invite", kCaller, kAndroid, "r1", ""))
              .raw("selects", "[{},null,\"x\",1.5,-1,true,0,1,1001]")
              .raw("members", "[2001,0,-1,1001,1,2002]")
              .raw("memstates", "[true,true,true,false,true,true]"));
  imsdkmrtc::talkInfo t;
  plugin().store().queryTalk(t);
  EXPECT_EQ(join(t.members), "2001,1001,2002");
  EXPECT_EQ(t.memstates, (std::vector<uint8_t>{1, 0, 1}));
  for (const simhost::TimerPost& post : me.timerPosts()) {
    for (int64_t id : post.cmd.members) EXPECT_GE(id, 2) << render(post);
  }
  EXPECT_TRUE(me.hasLog("notify: invalid ids dropped=7."));
}

// The limits are settings (extra type 120); a body or list one past them is
// dropped with a log line on every road, a request is refused as invalid.
TEST_F(NotifyTest, BodyAndListLimitsAreSettings) {
  me.extra(120, "{\"maxIds\":\"3\"}");
  EXPECT_EQ(me.results().back().result, 0);
  const std::string fourSelects = Body(groupCall()).ids("selects", {kMe, kPeer2, kPeer3, 2004});
  deliver(kCaller, kAndroid, kGroup, fourSelects);
  EXPECT_FALSE(talking());
  EXPECT_TRUE(me.hasLog("notify: id list too long=4, limit=3, dropped."));
  EXPECT_EQ(notify().onPushNotify(kCaller, fourSelects), 81);
  me.request(24001, req(kGroup, "r9", {kPeer2, kPeer3, 2004, 2005}));
  EXPECT_TRUE(me.hasLog("mrtc_req=24001 refused: members=4, limit=3."));
  EXPECT_THAT(sent(), IsEmpty());

  const std::string call = groupCall();
  me.extra(120, "{\"maxBodyBytes\":\"" + std::to_string(call.size() - 1) + "\"}");
  EXPECT_EQ(me.results().back().result, 0);
  me.pull({hostMsg(kCaller, kGroup, call)});
  deliver(kCaller, kAndroid, kGroup, call);
  EXPECT_FALSE(talking());
  EXPECT_TRUE(me.hasLog("notify: body too long=" + std::to_string(call.size()) +
                        ", limit=" + std::to_string(call.size() - 1) + ", dropped."));
  me.extra(120, "{\"maxBodyBytes\":\"" + std::to_string(call.size()) + "\",\"maxIds\":\"4\"}");
  deliver(kCaller, kAndroid, kGroup, call);
  EXPECT_TRUE(talking());
  for (const char* zero : {"{\"maxIds\":\"0\"}", "{\"maxBodyBytes\":\"0\"}"}) {
    me.extra(120, zero);
    EXPECT_EQ(me.results().back().result, 7) << zero;
  }
}

TEST_F(NotifyTest, CachesStrangersFillAreBounded) {
  // Finish hints: when full, the oldest room is forgotten, so its hint shows
  // again while the newest one stays hidden.
  const auto hidden = [&](const std::string& room) {
    imsdk::hostMessage msg = hostMsg(kCaller, kGroup, kHintBody, 0, 8, finishHint(room));
    return plugin().onNotify(imsdk::kNotifyMessage, reinterpret_cast<uintptr_t>(&msg), 0);
  };
  for (size_t i = 0; i <= imsdkmrtc::kHintRoomLimit; ++i) {
    commlib::advance(1000);
    EXPECT_EQ(hidden("h" + std::to_string(i)), 0);
  }
  EXPECT_EQ(hidden("h64"), 1);
  EXPECT_EQ(hidden("h0"), 0);

  // Board: calls of the watched group, one per room.
  me.extra(6, "{\"boardSwitch\":\"on\"}");
  me.extra(3, "{\"groupId\":\"300\"}");
  for (int i = 0; i < 20; ++i)
    deliver(kCaller, kAndroid, kGroup, groupCall("b" + std::to_string(i)));
  EXPECT_EQ(plugin().board().size(), imsdkmrtc::kBoardLimit);

  // Timer queue: an add to a full queue is dropped with a log line.
  for (size_t i = 0; i <= imsdkmrtc::kTimeoutQueueLimit; ++i) {
    plugin().addTimeout(1, "q" + std::to_string(i), {kPeer2}, 600, 1, 0, "");
  }
  EXPECT_EQ(plugin().other()->snapshot().size(), imsdkmrtc::kTimeoutQueueLimit);
  EXPECT_TRUE(me.hasLog("onTimeout: queue full=256, type=1 key=q256 dropped."));
}

TEST_F(PhoneTest, OfflineCacheKeepsTheNewestCalls) {
  std::vector<imsdk::hostMessage> batch;
  for (size_t i = 0; i <= imsdkmrtc::kOfflineCacheLimit; ++i) {
    batch.push_back(hostMsg(kCaller, kGroup, groupCall("o" + std::to_string(i))));
  }
  me.pull(batch);
  EXPECT_EQ(notify().offlineCacheSize(), imsdkmrtc::kOfflineCacheLimit);
  EXPECT_TRUE(me.hasLog("offlineCache full=64, oldest dropped."));
  me.extra(11, "");
  EXPECT_TRUE(talking("o1"));
}

}  // namespace
}  // namespace notify_test
