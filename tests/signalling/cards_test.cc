// Call, conference and live-stream cards as the host receives them, the
// template settings, and card building while the template changes.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "base/json.h"
#include "signalling/signalling_fixture.h"

namespace imsdkmrtc {
namespace {

using CardsTest = CardsFixture;

talkInfo cardGroupTalk() {
  talkInfo t;
  t.rtcType = "rtc";
  t.roomId = "r1";
  t.onwerId = 11;
  t.groupId = 500;
  t.roomName = "daily";
  t.roomToken = "tk";
  t.addr = "10.0.0.2:7000";
  t.srvVer = "3";
  t.srvTag = "t";
  t.conferMode = "m";
  t.beginTime = kNineOhFive;
  return t;
}

const char kFullCard[] =
    R"({"content":"","createTime":0,"detailUrl":"https://cards.example.net:3443/mcallingupdate.html",)"
    R"("extendInfo":{"subType":14,"rtcType":"rtc","roomID":"r1","onwerId":"11","groupId":"500",)"
    R"("senderId":"11","oName":"QW5u","roomName":"daily","roomToken":"tk","addr":"10.0.0.2:7000",)"
    R"("srvVer":"3","srvTag":"t","conferMode":"m","singleRead":"off","beginTime":"1796547900",)"
    R"("version":"mrtc@1.8.8","adminId":"11","startTime":"0","stopTime":"0","mode":"mcalling",)"
    R"("desc":"remark","selects":["12","13"],"initState":["12_011","13_000"]},)"
    R"("title":"视频会议","title_eng":"Video Conference","toUsers":"","status":"",)"
    R"("statusColor":"","titleColor":"#FFFFFF","type":"rtc","titleBgColor":"#003557",)"
    R"("creator":"Ann","fields":[{"发起人":"Ann"},{"版本":"v1.8.8"},{"服务":"test-b"}],)"
    R"("fields_eng":[{"Creator":"Ann"},{"version":"v1.8.8"},{"server":"test-b"}]})";

TEST_F(CardsTest, CallCardIsPostedWhole) {
  std::string card;
  proxy().fillTempMessage(card, cardGroupTalk(), {12, 13}, {"12_011", "13_000"});
  EXPECT_EQ(card, kFullCard);
  EXPECT_EQ(logsOf("imsdkmrtc::msgProxy::fillTempMessage"),
            (std::vector<std::string>{"fillTempMessage Begin onwer=11(), initStateCnt=2.",
                                      "fillTempMessage onwerName=Ann.", "fillTempMessage End."}));

  ASSERT_TRUE(proxy().sendTempMsssage(500, card, {12, 13}, cardDelivery::kInsertThenSend));
  auto inserted = client->inserted();
  auto sent = client->sent();
  ASSERT_EQ(inserted.size(), 1u);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(route(inserted[0]), "from 11 to 500 type 26 flag 1 limit []");
  EXPECT_EQ(route(sent[0]), "from 11 to 500 type 26 flag 1 limit [12,13]");
  EXPECT_EQ(inserted[0].body, kFullCard);
  EXPECT_EQ(sent[0].body, kFullCard);
  EXPECT_EQ(sent[0].msgId, inserted[0].msgId);
}

TEST_F(CardsTest, OwnerNameAndServerRowVariants) {
  struct talkRow {
    int64_t owner;
    const char* oName;
    const char* addr;
    uint8_t single;
  };
  const struct {
    const char* what;
    talkRow talk;
    std::vector<int64_t> callees;
    const char* expected;
  } rows[] = {
      {"no owner, no address",
       {0, "", "", 1},
       {},
       R"({"content":"","createTime":0,"detailUrl":"https://cards.example.net:3443/mcallingupdate.html",)"
       R"("extendInfo":{"subType":14,"rtcType":"rtc","roomID":"r1","onwerId":"0","groupId":"500",)"
       R"("senderId":"11","roomName":"daily","conferMode":"m","singleRead":"on",)"
       R"("beginTime":"1796547900","version":"mrtc@1.8.8","adminId":"0","startTime":"0",)"
       R"("stopTime":"0","mode":"mcalling","desc":"remark","selects":[],"initState":[]},)"
       R"("title":"视频会议","title_eng":"Video Conference","toUsers":"","status":"",)"
       R"("statusColor":"","titleColor":"#FFFFFF","type":"rtc","titleBgColor":"#003557",)"
       R"("creator":"","fields":[{"发起人":""}],"fields_eng":[{"Creator":""}]})"},
      // The carried name wins over the host's; an unknown server hides the
      // version row.
      {"carried name, foreign server",
       {11, "Wm9l", "172.16.0.9:3478", 0},
       {12},
       R"({"content":"","createTime":0,"detailUrl":"https://cards.example.net:3443/mcallingupdate.html",)"
       R"("extendInfo":{"subType":14,"rtcType":"rtc","roomID":"r1","onwerId":"11","groupId":"500",)"
       R"("senderId":"11","oName":"Wm9l","roomName":"daily","addr":"172.16.0.9:3478",)"
       R"("conferMode":"m","singleRead":"off","beginTime":"1796547900","version":"mrtc@1.8.8",)"
       R"("adminId":"11","startTime":"0","stopTime":"0","mode":"mcalling","desc":"remark",)"
       R"("selects":["12"],"initState":[]},"title":"视频会议","title_eng":"Video Conference",)"
       R"("toUsers":"","status":"","statusColor":"","titleColor":"#FFFFFF","type":"rtc",)"
       R"("titleBgColor":"#003557","creator":"Zoe","fields":[{"发起人":"Zoe"}],)"
       R"("fields_eng":[{"Creator":"Zoe"}]})"},
      // The prefix may stand anywhere in the address.
      {"first table server",
       {12, "", "relay;10.0.0.1:443", 0},
       {},
       R"({"content":"","createTime":0,"detailUrl":"https://cards.example.net:3443/mcallingupdate.html",)"
       R"("extendInfo":{"subType":14,"rtcType":"rtc","roomID":"r1","onwerId":"12","groupId":"500",)"
       R"("senderId":"11","oName":"QQ==","roomName":"daily","addr":"relay;10.0.0.1:443",)"
       R"("conferMode":"m","singleRead":"off","beginTime":"1796547900","version":"mrtc@1.8.8",)"
       R"("adminId":"12","startTime":"0","stopTime":"0","mode":"mcalling","desc":"remark",)"
       R"("selects":[],"initState":[]},"title":"视频会议","title_eng":"Video Conference",)"
       R"("toUsers":"","status":"","statusColor":"","titleColor":"#FFFFFF","type":"rtc",)"
       R"("titleBgColor":"#003557","creator":"A","fields":[{"发起人":"A"},{"版本":"v1.8.8"},)"
       R"({"服务":"test-a"}],"fields_eng":[{"Creator":"A"},{"version":"v1.8.8"},)"
       R"({"server":"test-a"}]})"},
  };
  for (const auto& row : rows) {
    talkInfo talk = cardGroupTalk();
    talk.onwerId = row.talk.owner;
    talk.oName = row.talk.oName;
    talk.addr = row.talk.addr;
    talk.single = row.talk.single;
    talk.roomToken.clear();
    talk.srvVer.clear();
    talk.srvTag.clear();
    std::string card;
    proxy().fillTempMessage(card, talk, row.callees, {});
    EXPECT_EQ(card, row.expected) << row.what;
  }
}

std::string describe(const cardTemplate& t) {
  std::string out = t.title + "|" + t.title_eng + "|" + t.content + "|" + t.titleColor + "|" +
                    t.titleBgColor + "|" + t.mcallingUpdateUrl + "|" + t.livingUpdateUrl + "|" +
                    (t.isVersion ? "version" : "-") + "|";
  for (const tempField& f : t.rows) {
    out += f.key + ":" + std::to_string(f.keyType) + ":" + f.name + ":" + f.value + ":" +
           f.name_eng + ":" + f.value_eng + ";";
  }
  return out;
}

TEST_F(CardsTest, TemplateSettingsChangeRowsAndLooks) {
  const std::string kDefaultLooks =
      "视频会议|Video Conference||#FFFFFF|#003557|"
      "https://cards.example.net:3443/mcallingupdate.html|"
      "https://cards.example.net:3443/livingupdate.html|-|";
  const std::string kNewLooks =
      "周会|Weekly|C|#111111|#222222|https://h/d|https://cards.example.net:3443/livingupdate.html|"
      "version|";
  const std::string kRows =
      "originator:1:Owner::Host:;version:1:版本::version:;dept:1:科室:研发:Unit:R&D;";
  auto settings = [this](const char* text) {
    return [this, text] { proxy().setMcallingTemplet(text); };
  };
  const struct {
    std::function<void()> apply;
    std::string expected;
  } steps[] = {
      {[] {}, kDefaultLooks + "originator:1:发起人::Creator:;version:1:版本::version:;"},
      // The two computed rows keep empty values whatever is sent.
      {settings(R"({"isfields":"on","optType":"add","key":"Owner","keyType":"originator",)"
                R"("key_eng":"Host","value":"X","value_eng":"Y"})"),
       kDefaultLooks + "originator:1:Owner::Host:;version:1:版本::version:;"},
      {settings(R"({"isfields":"on","optType":"add","key":"部门","keyType":"dept",)"
                R"("key_eng":"Dept","value":"研发","value_eng":"R&D"})"),
       kDefaultLooks +
           "originator:1:Owner::Host:;version:1:版本::version:;dept:1:部门:研发:Dept:R&D;"},
      // A known key is only renamed.
      {settings(R"({"isfields":"on","optType":"add","key":"科室","keyType":"dept",)"
                R"("key_eng":"Unit","value":"other","value_eng":"other"})"),
       kDefaultLooks + kRows},
      {settings(R"({"isfields":"on","optType":"drop","key":"x","keyType":"y"})"),
       kDefaultLooks + kRows},
      {settings(R"({"tempTitle":"周会","tempContent":"C","tempTitleColor":"#111111",)"
                R"("tempTitleBgColor":"#222222","tempTitleEng":"Weekly",)"
                R"("tempDetailUrl":"https://h/d","isVersion":"on"})"),
       kNewLooks + kRows},
      // Empty texts and unreadable switches change nothing.
      {settings(R"({"tempTitle":"","tempContent":"","tempDetailUrl":"","isVersion":"yes"})"),
       kNewLooks + kRows},
      {[this] { proxy().setLivingTemplet(R"({"tempDetailUrl":""})"); }, kNewLooks + kRows},
      {[this] {
         proxy().setLivingTemplet(R"({"tempDetailUrl":"https://l/u"})");
         proxy().setMcallingTemplet(
             R"({"isfields":"off","tempTitle":"T2","isVersion":"off","tempDetailUrl":"https://d/u"})");
       },
       "T2|Weekly|C|#111111|#222222|https://d/u|https://l/u|-|" + kRows},
      {settings(R"({"isfields":"on","optType":"removeAll"})"),
       "T2|Weekly|C|#111111|#222222|https://d/u|https://l/u|-|"},
      {settings(R"({"isfields":"on","optType":"add","key":"科室","keyType":"dept",)"
                R"("key_eng":"Unit","value":"v2","value_eng":"v2e"})"),
       "T2|Weekly|C|#111111|#222222|https://d/u|https://l/u|-|dept:1:科室:v2:Unit:v2e;"},
  };
  for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
    steps[i].apply();
    EXPECT_EQ(describe(proxy().templateCopy()), steps[i].expected) << "step " << i;
  }

  // Everything before the field lists, the same in both cards below.
  const std::string cardHead =
      R"({"content":"C","createTime":0,"detailUrl":"https://d/u","extendInfo":{"subType":14,)"
      R"("rtcType":"rtc","roomID":"r1","onwerId":"11","groupId":"500","senderId":"11",)"
      R"("oName":"QW5u","roomName":"daily","roomToken":"tk","addr":"10.0.0.2:7000",)"
      R"("srvVer":"3","srvTag":"t","conferMode":"m","singleRead":"off",)"
      R"("beginTime":"1796547900","version":"mrtc@1.8.8","adminId":"11","startTime":"0",)"
      R"("stopTime":"0","mode":"mcalling","desc":"remark","selects":[],"initState":[]},)"
      R"("title":"T2","title_eng":"Weekly","toUsers":"","status":"","statusColor":"",)"
      R"("titleColor":"#111111","type":"rtc","titleBgColor":"#222222","creator":"Ann",)";

  // Without the originator row the owner shows nowhere but "creator"; the
  // server row still follows the template's rows.
  std::string card;
  proxy().fillTempMessage(card, cardGroupTalk(), {}, {});
  EXPECT_EQ(card, cardHead +
                      R"("fields":[{"科室":"v2"},{"服务":"test-b"}],"fields_eng":[{"Unit":"v2e"},)"
                      R"({"server":"test-b"}]})");

  // Re-added after all rows went, the two computed rows still drop the values sent.
  proxy().setMcallingTemplet(R"({"isfields":"on","optType":"removeAll"})");
  proxy().setMcallingTemplet(R"({"isfields":"on","optType":"add","key":"V","keyType":"version",)"
                             R"("key_eng":"Ve","value":"9","value_eng":"9e"})");
  proxy().setMcallingTemplet(R"({"isfields":"on","optType":"add","key":"O","keyType":"originator",)"
                             R"("key_eng":"Oe","value":"X","value_eng":"Xe"})");
  EXPECT_EQ(describe(proxy().templateCopy()),
            "T2|Weekly|C|#111111|#222222|https://d/u|https://l/u|-|"
            "version:1:V::Ve:;originator:1:O::Oe:;");
  // In the card they show the protocol version (a known server is named) and
  // the owner, in the template's order.
  proxy().fillTempMessage(card, cardGroupTalk(), {}, {});
  EXPECT_EQ(card, cardHead +
                      R"("fields":[{"V":"v1.8.8"},{"O":"Ann"},{"服务":"test-b"}],"fields_eng":[)"
                      R"({"Ve":"v1.8.8"},{"Oe":"Ann"},{"server":"test-b"}]})");
}

const char kConfRequest[] =
    R"({"reqData":{"conferType":"1","selects":["12","13"],"conferMode":"m","roomName":"weekly",)"
    R"("addr":"10.0.0.3:1","groupId":"500","singleRead":"on"}})";

TEST_F(CardsTest, MicroconferCardIsPostedToTheGroupForTheSelected) {
  ASSERT_TRUE(proxy().sendMicroconferCard(kConfRequest));
  const std::string expected =
      R"({"content":"","createTime":0,"detailUrl":"https://cards.example.net/",)"
      R"("extendInfo":{"mode":"mcalling","rtcType":"microconfer","conferType":"1",)"
      R"("conferMode":"m","singleRead":"on","beginTime":"1796547900","version":"mrtc@1.8.8",)"
      R"("roomID":"11-4982727645","onwerId":"11","senderId":"11","roomName":"weekly",)"
      R"("addr":"10.0.0.3:1","selects":["12","13"]},"title":"微会议测试",)"
      R"("title_eng":"MicroVideo Conference","toUsers":"","status":"","statusColor":"",)"
      R"("titleColor":"#FFFFFF","type":"microconfer","titleBgColor":"#333333","creator":"Ann",)"
      R"("fields":[{"发起人":"Ann"},{"版本":"v1.8.8"},{"服务":"test-c"}],)"
      R"("fields_eng":[{"Creator":"Ann"},{"version":"v1.8.8"},{"server":"test-c"}]})";
  ASSERT_EQ(client->sent().size(), 1u);
  ASSERT_EQ(client->inserted().size(), 1u);
  EXPECT_EQ(client->sent()[0].body, expected);
  EXPECT_EQ(client->inserted()[0].body, expected);
  EXPECT_EQ(route(client->sent()[0]), "from 11 to 500 type 26 flag 1 limit [12,13]");

  // Nothing is posted for a request that cannot be read.
  EXPECT_FALSE(proxy().sendMicroconferCard(R"({"reqData":{"conferType":"1"}})"));
  EXPECT_EQ(client->sent().size(), 1u);
}

TEST_F(CardsTest, ConferenceInfoTexts) {
  std::string out;
  ASSERT_TRUE(proxy().buildMicroconferInfo(out, kConfRequest, ""));
  EXPECT_EQ(out, R"({"mode":"mcalling","rtcType":"microconfer","conferType":"1","conferMode":"m",)"
                 R"("singleRead":"on","beginTime":"1796547900","version":"mrtc@1.8.8",)"
                 R"("roomID":"11-1796547900","onwerId":"11","senderId":"11","roomName":"weekly",)"
                 R"("addr":"10.0.0.3:1","selects":["12","13"]})");

  const struct {
    const char* request;
    const char* expected;  // nullptr: refused
  } unbind[] = {
      {R"({"reqData":{"conferType":"1","selects":["5"],"conferMode":"m","roomId":"r",)"
       R"("groupId":"5","orderTime":"o","roomToken":"t","srvVer":"3","srvTag":"g",)"
       R"("roomName":"n","addr":"a"}})",
       R"({"mode":"mcalling","rtcType":"unbindconfer","conferType":"1","conferMode":"m",)"
       R"("singleRead":"off","beginTime":"1796547900","orderTime":"o","version":"mrtc@1.8.8",)"
       R"("roomID":"r","onwerId":"11","senderId":"11","roomName":"n","roomToken":"t",)"
       R"("addr":"a","srvVer":"3","srvTag":"g","selects":["5"]})"},
      {R"({"reqData":{"conferType":"2","selects":["5"],"conferMode":"m","roomId":"r"}})",
       R"({"mode":"mcalling","rtcType":"unbindconfer","conferType":"2","conferMode":"m",)"
       R"("singleRead":"off","beginTime":"1796547900","orderTime":"","version":"mrtc@1.8.8",)"
       R"("roomID":"r","onwerId":"11","senderId":"11","roomName":"","selects":["5"]})"},
      {R"({"reqData":{"conferType":"2","selects":["5"],"conferMode":"m","roomId":"r",)"
       R"("groupId":"5"}})",
       nullptr},
      {R"({"reqData":{"conferType":"1","selects":["5"],"conferMode":"m"}})", nullptr},
  };
  for (const auto& row : unbind) {
    std::string text = "unchanged";
    bool ok = proxy().buildUnbindconferInfo(text, row.request);
    EXPECT_EQ(ok, row.expected != nullptr) << row.request;
    EXPECT_EQ(text, row.expected != nullptr ? row.expected : "unchanged") << row.request;
  }
}

TEST_F(CardsTest, LivingCards) {
  proxy().setMcallingTemplet(R"({"isVersion":"on"})");
  ASSERT_TRUE(proxy().sendLivingCard(
      R"({"groupId":"500","roomId":"live1","roomName":"","version":"2.0",)"
      R"("startTime":"1796547900","stopTime":"1796551200","serverAddr":"10.0.0.9:8"})"));
  proxy().setMcallingTemplet(R"({"isVersion":"off"})");
  ASSERT_TRUE(proxy().sendLivingCard(
      R"({"groupId":"500","roomId":"live2","roomName":"Show","startTime":"soon",)"
      R"("stopTime":"later"})"));
  EXPECT_FALSE(proxy().sendLivingCard(R"({"groupId":"500","roomName":"Show"})"));

  auto sent = client->sent();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(client->inserted().size(), 2u);
  EXPECT_EQ(route(sent[0]), "from 11 to 500 type 26 flag 1 limit []");
  EXPECT_EQ(sent[0].body,
            R"({"content":"Ann的直播间","createTime":0,)"
            R"("detailUrl":"https://cards.example.net:3443/livingupdate.html",)"
            R"("extendInfo":{"subType":15,"roomID":"live1","onwerId":"11","groupId":"500",)"
            R"("senderId":"11","roomName":"","version":"2.0","startTime":"1796547900",)"
            R"("stopTime":"1796551200","mode":"living","desc":"remark",)"
            R"("serverAddr":"10.0.0.9:8","selects":[]},"title":"Kelto直播",)"
            R"("title_eng":"Vorn living","toUsers":"","status":"","statusColor":"",)"
            R"("titleColor":"#FFFFFF","type":"rtc","titleBgColor":"#8600BF","creator":"Ann",)"
            R"("fields":[{"主播":"Ann"},{"日期":"2026年12月6日"},{"时间":"9:05-10:00"},)"
            R"({"版本":"2.0"}],"fields_eng":[{"anchor":"Ann"},{"data":"12/6/2026"},)"
            R"({"time":"9:05-10:00"},{"version":"2.0"}]})");
  // Start now and stop an hour later when the times are no numbers.
  EXPECT_EQ(sent[1].body,
            R"({"content":"Show","createTime":0,)"
            R"("detailUrl":"https://cards.example.net:3443/livingupdate.html",)"
            R"("extendInfo":{"subType":15,"roomID":"live2","onwerId":"11","groupId":"500",)"
            R"("senderId":"11","roomName":"Show","version":"","startTime":"1796547900",)"
            R"("stopTime":"1796551500","mode":"living","desc":"remark","serverAddr":"",)"
            R"("selects":[]},"title":"Kelto直播","title_eng":"Vorn living","toUsers":"",)"
            R"("status":"","statusColor":"","titleColor":"#FFFFFF","type":"rtc",)"
            R"("titleBgColor":"#8600BF","creator":"Ann","fields":[{"主播":"Ann"},)"
            R"({"日期":"2026年12月6日"},{"时间":"9:05-10:05"}],"fields_eng":[{"anchor":"Ann"},)"
            R"({"data":"12/6/2026"},{"time":"9:05-10:05"}]})");
}

// One thread keeps changing the template while two build cards; every card
// must come from one whole template state.
TEST_F(CardsTest, CardsStayConsistentWhileTheTemplateChanges) {
  simhost::setQuietLogs(*client, true);
  std::atomic<bool> stop{false};
  std::atomic<int> ready{0};
  std::thread writer([&] {
    // Change the template only while both builders are at work.
    while (ready.load() < 2) std::this_thread::yield();
    for (int i = 0; i < 3000; ++i) {
      proxy().setMcallingTemplet(i % 2 ? R"({"tempTitle":"TA","tempTitleColor":"#AAAAAA"})"
                                       : R"({"tempTitle":"TB","tempTitleColor":"#BBBBBB"})");
      proxy().upsertField("k" + std::to_string(i % 5), fieldKey::kUnique, "n", "v", "ne", "ve");
      if (i % 50 == 0) proxy().removeAllFields();
    }
    stop = true;
  });
  std::atomic<int> built{0};
  std::atomic<int> mixed{0};
  auto builder = [&] {
    talkInfo talk = cardGroupTalk();
    talk.oName = "QW5u";
    ++ready;
    do {
      std::string card;
      proxy().fillTempMessage(card, talk, {12}, {});
      json::Document doc;
      if (!parseText(doc, card)) {
        ++mixed;
        continue;
      }
      std::string title = toString(doc["title"]);
      std::string color = toString(doc["titleColor"]);
      bool whole = (title == "视频会议" && color == "#FFFFFF") ||
                   (title == "TA" && color == "#AAAAAA") || (title == "TB" && color == "#BBBBBB");
      if (!whole) ++mixed;
      ++built;
    } while (!stop);
  };
  std::thread first(builder);
  std::thread second(builder);
  writer.join();
  first.join();
  second.join();
  EXPECT_EQ(mixed.load(), 0);
  EXPECT_GT(built.load(), 0);
}

}  // namespace
}  // namespace imsdkmrtc
