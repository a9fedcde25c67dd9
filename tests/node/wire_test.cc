// The node's message element: what one node writes, another reads back
// field for field, and what a hostile or foreign client writes is refused
// rather than half read.
#include "wire.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

class WireTest : public ::testing::Test {
 protected:
  void SetUp() override { ctx_ = xmpp_ctx_new(nullptr, nullptr); }
  void TearDown() override { xmpp_ctx_free(ctx_); }

  // The stanza as text and parsed again: what the other end receives.
  bool throughText(xmpp_stanza_t* stanza, node::WireMessage& out) {
    char* text = nullptr;
    size_t len = 0;
    xmpp_stanza_to_text(stanza, &text, &len);
    xmpp_stanza_t* back = xmpp_stanza_new_from_string(ctx_, text);
    xmpp_free(ctx_, text);
    const bool ok = node::fromStanza(back, out);
    xmpp_stanza_release(back);
    return ok;
  }

  bool read(const std::string& xml) {
    xmpp_stanza_t* s = xmpp_stanza_new_from_string(ctx_, xml.c_str());
    node::WireMessage m;
    const bool ok = s != nullptr && node::fromStanza(s, m);
    if (s != nullptr) xmpp_stanza_release(s);
    return ok;
  }

  xmpp_ctx_t* ctx_ = nullptr;
};

TEST_F(WireTest, EveryFieldComesBackAsSentMarkupAndAllInTheTexts) {
  node::WireMessage m;
  m.msgId = 17966270108120;
  m.senderId = 20001;
  m.senderDevice = 2;
  m.targetId = 10001;
  m.chatId = 30001;
  m.toGroup = true;
  m.msgType = 15;
  m.msgFlag = 1;
  m.msgTime = 1796627010908;
  m.body = R"({"type":"multi_call","roomName":"<a & b>","oName":"\"x\"  ]]>"})";
  m.properties = R"({"targetID":"30001"})";
  m.limitRange = {20002, 20003};
  xmpp_stanza_t* stanza = node::toStanza(ctx_, m, "30001@mrtc.local");
  node::WireMessage back;
  ASSERT_TRUE(throughText(stanza, back));
  xmpp_stanza_release(stanza);
  EXPECT_EQ(back.msgId, m.msgId);
  EXPECT_EQ(back.senderId, m.senderId);
  EXPECT_EQ(back.senderDevice, m.senderDevice);
  EXPECT_EQ(back.targetId, m.targetId);
  EXPECT_EQ(back.chatId, m.chatId);
  EXPECT_TRUE(back.toGroup);
  EXPECT_EQ(back.msgType, m.msgType);
  EXPECT_EQ(back.msgFlag, m.msgFlag);
  EXPECT_EQ(back.msgTime, m.msgTime);
  EXPECT_EQ(back.body, m.body);
  EXPECT_EQ(back.properties, m.properties);
  EXPECT_EQ(back.limitRange, m.limitRange);
}

TEST_F(WireTest, AMessageThatIsNotWholeIsRefused) {
  const std::string head = "<message><m xmlns='urn:mrtcplugin:im:1' ";
  const std::string ok =
      "id='1' sender='2' device='1' target='3' chat='3' type='14' flag='0' time='5'";
  EXPECT_TRUE(read(head + ok + "><body>x</body></m></message>"));
  EXPECT_FALSE(read("<message><body>hello from an ordinary client</body></message>"));
  EXPECT_FALSE(read("<message><m xmlns='other:ns' " + ok + "/></message>"));
  EXPECT_FALSE(read(
      head + "id='1' sender='2' device='1' target='3' chat='3' type='14' flag='0'/></message>"));
  EXPECT_FALSE(read(
      head +
      "id='x1' sender='2' device='1' target='3' chat='3' type='14' flag='0' time='5'/></message>"));
  EXPECT_FALSE(read(head + "id='1' sender='2' device='1' target='3' chat='3' type='70000' flag='0' "
                           "time='5'/></message>"));
  EXPECT_FALSE(read(head + "id='1' sender='2' device='1' target='3' chat='3' type='14' flag='300' "
                           "time='5'/></message>"));
  EXPECT_FALSE(read(head + ok + " limit='1,,2'/></message>"));
  EXPECT_FALSE(read(head + ok + " limit='1,two'/></message>"));
}

}  // namespace
