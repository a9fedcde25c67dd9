// Every reader of msgProxy against texts from strangers: valid documents read
// exactly, a value of the wrong JSON type under a known key reads as if the
// key were absent, mixed arrays keep only usable elements, and huge or deeply
// nested texts neither crash nor hang.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "base/json.h"
#include "signalling/card_view.h"
#include "signalling/quick_events.h"
#include "signalling/readers.h"

namespace imsdkmrtc {
namespace {

using proxyreaders::reader;
using proxyreaders::Reader;
using proxyreaders::readers;
using proxyreaders::reviseCode;

struct ValidCase {
  const char* reader;
  const char* text;
  const char* expected;
};

// Documents as the builders and the application write them.
const ValidCase kValid[] = {
    {"transJson2Cmd",
     R"({"type":"multi_call","annotation":"x","senderId":"11","groupId":"500","onwerId":"11",)"
     R"("oName":"QW5u","roomId":"r1","roomToken":"tk","roomName":"daily","addr":"10.0.0.1:80",)"
     R"("srvVer":"3","srvTag":"t","videoType":"1","cmode":"m","beginTime":"99",)"
     R"("deviceType":"2","version":"mrtc@1.8.8","extend":"{\"mode\":\"single\"}",)"
     R"("rtcType":"rtc","VideoStatus":"multi","selects":["12",13,1.5,"x"],"members":[11,12],)"
     R"("memstates":[true,false,1],"hismembers":[9],"initState":["a",2],"flag":"recall"})",
     "ok cmdCode=1 rtcType=rtc annotation=x senderId=11 selects=[12,13,0] groupId=500 "
     "onwerId=11 oName=QW5u beginTime=99 roomId=r1 roomToken=tk roomName=daily "
     "addr=10.0.0.1:80 members=[11,12] memstates=[1,0,0] hismembers=[9] deviceType=2 "
     "version=mrtc@1.8.8 VideoStatus=multi extend={\"mode\":\"single\"} cmode=m "
     "initState=[a] recall=1 srvVer=3 srvTag=t videoType=1"},
    {"transJson2Cmd", "[1]", "false cmdCode=54 VideoStatus=multi"},
    {"parseCallExtend",
     R"({"addr":"a","conferMode":"m","mode":"single","rtcType":"p2pconfer","roomToken":"t",)"
     R"("srvVer":"3","srvTag":"g","initState":["1_011","2_100"],"outMembers":["4"]})",
     "ok addr=a conferMode=m mode=single initState=[1_011,2_100] outMembers=[4] "
     "rtcType=p2pconfer roomToken=t srvVer=3 srvTag=g videoType=2"},
    {"parseCallExtend", R"({"initState":["a",1]})", "false initState=[a] rtcType=rtc"},
    {"parseCallExtend", "", "ok"},
    {"parseCallExtend", "{}", "ok rtcType=rtc"},
    {"parseCallExtend", R"({"rtcType":"p2pconfer","initState":["42_312"]})",
     "ok initState=[42_312] rtcType=p2pconfer videoType=1"},
    {"parseCallExtend", R"({"rtcType":"p2pconfer","initState":["42_312","43_311","44_300"]})",
     "ok initState=[42_312,43_311,44_300] rtcType=p2pconfer videoType=2"},
    {"parseCallExtend", R"({"rtcType":"p2pconfer","initState":["42_911_3"]})",
     "ok initState=[42_911_3] rtcType=p2pconfer videoType=2"},
    {"parseCallExtend", R"({"rtcType":"p2pconfer","initState":["42_1111","x11","_"]})",
     "ok initState=[42_1111,x11,_] rtcType=p2pconfer videoType=1"},
    {"parseCallExtend", R"({"rtcType":"rtc","initState":["42_311"]})",
     "ok initState=[42_311] rtcType=rtc"},
    {"parseCallExtend", R"({"outMembers":["7",8]})", "false outMembers=[7] rtcType=rtc"},
    {"parseCallExtend", "[]", "false"},
    {"readCacheAnswer", R"({"code":0,"result":"ok","token":"tk"})", "ok code=0 result=ok token=tk"},
    {"readCacheAnswer", R"({"code":3,"token":"tk"})", "false code=3 token=tk"},
    {"readCacheAnswer", R"({"code":0,"result":"ok","token":""})", "false code=0 result=ok"},
    {"readCacheAnswer", "", "false code=-1"},
    {"fixSystemSender(to)", R"({"targetID":"5","other":"x"})",
     "sender=7 target=5 fixRef=-10001 fixState=-10002"},
    {"fixSystemSender(to)", R"({"sendUserID":"5"})", "sender=7 target=10001"},
    {"fixSystemSender(to)", R"({"targetID":"5x"})", "sender=7 target=10001"},
    {"fixSystemSender(to)", R"({"targetID":100})",
     "sender=7 target=100 fixRef=-10001 fixState=-10002"},
    {"fixSystemSender(from)", R"({"sendUserID":6,"targetID":"5"})",
     "sender=6 target=500 fixRef=-10001 fixState=-10002"},
    {"readCardInfo",
     R"({"content":"","createTime":0,"detailUrl":"u","extendInfo":{"subType":14,"rtcType":"rtc",)"
     R"("roomID":"r1","onwerId":"11","groupId":"500","senderId":"12","oName":"QW5u",)"
     R"("roomName":"daily","roomToken":"tk","addr":"10.0.0.1:80","srvVer":"3","srvTag":"t",)"
     R"("conferMode":"m","singleRead":"off","beginTime":"99","version":"mrtc@1.8.8",)"
     R"("adminId":"11","startTime":"0","stopTime":"0","mode":"mcalling","desc":"remark",)"
     R"("selects":["13","14"],"initState":["a"]},"title":"t","type":"rtc","fields":[]})",
     "ok rtcType=rtc conferMode=m roomId=r1 roomName=daily roomToken=tk addr=10.0.0.1:80 "
     "srvVer=3 srvTag=t onwerId=11 senderId=12 groupId=500 oName=QW5u version=mrtc@1.8.8 "
     "mode=mcalling beginTime=99 subType=14 selects=[13,14]"},
    // Microconfer data inside a card: no group and no subType needed.
    {"readCardInfo",
     R"({"extendInfo":{"mode":"mcalling","rtcType":"microconfer","conferType":"1",)"
     R"("conferMode":"m","singleRead":"on","beginTime":"77","version":"mrtc@1.8.8",)"
     R"("roomID":"11-4982727645","onwerId":"11","senderId":"11","roomName":"n",)"
     R"("selects":["5","6"]},"type":"microconfer"})",
     "ok rtcType=microconfer conferType=1 conferMode=m roomId=11-4982727645 roomName=n "
     "singleRead=1 onwerId=11 senderId=11 version=mrtc@1.8.8 mode=mcalling beginTime=77 "
     "selects=[5,6]"},
    // The info object itself, keys at the top level.
    {"readCardInfo",
     R"({"mode":"mcalling","rtcType":"microconfer","conferMode":"m","singleRead":"off",)"
     R"("beginTime":"77","version":"v","roomID":"r","onwerId":"3",)"
     R"("senderId":"4","roomName":"n","addr":"a","selects":["5","x"]})",
     "ok rtcType=microconfer conferMode=m roomId=r roomName=n addr=a onwerId=3 "
     "senderId=4 version=v mode=mcalling beginTime=77 selects=[5,0]"},
    {"readCardInfo",
     R"({"extendInfo":{"rtcType":"","conferType":"2","conferMode":"m","addr":"a",)"
     R"("srvVer":"3","srvTag":"t","roomName":"n","roomID":"r9","onwerId":"8"}})",
     "ok rtcType=unbindconfer conferMode=m roomId=r9 roomName=n addr=a srvVer=3 srvTag=t "
     "onwerId=8 version=mrtc@1.8.8"},
    {"readCardInfo", R"({"conferType":"1","roomId":"r","groupId":"42","rtcType":"x"})",
     "ok conferType=1 roomId=r groupId=42"},
    {"readCardInfo", R"({"conferType":"2","roomID":"r","onwerId":"8","addr":"a"})",
     "ok rtcType=unbindconfer conferType=2 roomId=r addr=a onwerId=8 version=mrtc@1.8.8"},
    {"readCardInfo", R"({"conferType":"2","roomID":"r"})",
     "false rtcType=unbindconfer "
     "conferType=2 roomId=r"},
    {"readCardInfo", R"({"extendInfo":{"rtcType":"rtc","roomID":"r","senderId":"1"}})",
     "false rtcType=rtc roomId=r senderId=1"},
    {"readCardInfo", "", "false"},
    {"readConfRequest",
     R"({"reqData":{"conferType":"1","selects":["5",6,"7",null],"conferMode":"m",)"
     R"("roomName":"n","addr":"a","singleRead":"yes","groupId":"9","roomId":"r",)"
     R"("orderTime":"o","roomToken":"t","srvVer":"3","srvTag":"g"}})",
     "ok conferType=1 selects=[5,7] conferMode=m roomName=n addr=a singleRead=off groupId=9 "
     "roomId=r orderTime=o roomToken=t srvVer=3 srvTag=g"},
    {"readConfRequest", R"({"reqData":{"conferType":"1","selects":[],"conferMode":"m"}})", "false"},
    {"readShareInfo",
     R"({"groupId":"77","shareText":"hello","members":[{"peer":"9","rank":"onwer"},)"
     R"({"peer":"9","rank":"mgr"},{"peer":"7","rank":"mem"},{"peer":"7","rank":"mem"},)"
     R"({"peer":"6","rank":"mgr"},{"peer":"5","rank":"guest"}],)"
     R"("outMembers":["1",2,3.5,true,{},null,"x"]})",
     "code=0 groupId=77 ownerId=9 outMembers=[1,2,0] managers=[6] memberIds=[7,6] "
     "shareText={ \"body\":\"hello\" }"},
    {"readShareInfo", R"({"faceToId":"3","groupId":"4","shareText":"x"})", "code=5"},
    {"readShareInfo", R"({"faceToId":"","shareText":"x"})", "code=4"},
    {"readShareInfo", R"({"faceToId":"3"})", "code=6 faceToId=3"},
    {"readShareInfo", R"({"faceToId":"3","shareText":"x","members":[]})",
     "code=8 faceToId=3 shareText={ \"body\":\"x\" }"},
    {"readShareInfo", R"({"faceToId":"3","shareText":"x","members":[{"peer":"1","rank":"mem"}]})",
     "code=9 faceToId=3 shareText={ \"body\":\"x\" }"},
    {"readShareInfo",
     R"({"faceToId":"3","shareText":"x","members":[{"peer":"1","rank":"onwer"},"2"]})",
     "code=8 ownerId=1 faceToId=3 shareText={ \"body\":\"x\" }"},
    {"readShareInfo",
     R"({"faceToId":"3","shareText":"x","members":[{"peer":"1","rank":"onwer"},)"
     R"({"peer":"","rank":"mem"}]})",
     "code=11 ownerId=1 faceToId=3 shareText={ \"body\":\"x\" }"},
    {"readShareInfo", "{", "code=99"},
    {"readReqRoomId", R"({"reqData":{"roomId":"r5"},"roomId":"top"})", "roomId=r5"},
    {"readReqRoomId", R"({"roomId":"top"})", "roomId="},
    {"reviseVnioMicroTemplet",
     R"({"type":"vnio","msgProperties":"{\"extendInfo\":{\"rtcType\":\"microconfer\",\"a\":1}}"})",
     R"(code=0 {"type":"vnio","msgProperties":"{\"extendInfo\":{\"rtcType\":\"microconfer\",\"a\":1}}","extendInfo":{"rtcType":"microconfer","a":1}})"},
    // A nested object ends the copy at its first closing brace.
    {"reviseVnioMicroTemplet",
     R"({"type":"1","msgProperties":"{\"extendInfo\":{\"b\":{\"c\":2},\"rtcType\":\"unbindconfer\"}}"})",
     R"(code=0 {"type":"1","msgProperties":"{\"extendInfo\":{\"b\":{\"c\":2},\"rtcType\":\"unbindconfer\"}}","extendInfo":{"b":{"c":2}})"},
    {"reviseVnioMicroTemplet", "", "code=1"},
    {"reviseVnioMicroTemplet", "{\"type\":", "code=2"},
    {"reviseVnioMicroTemplet", R"({"type":"card"})", "code=3"},
    {"reviseVnioMicroTemplet", R"({"type":"vnio"})", "code=4"},
    {"reviseVnioMicroTemplet", R"({"type":"vnio","msgProperties":"{"})", "code=5"},
    {"reviseVnioMicroTemplet", R"({"type":"vnio","msgProperties":"{\"extendInfo\":1}"})", "code=6"},
    {"reviseVnioMicroTemplet",
     R"({"type":"vnio","msgProperties":"{\"extend\\u0049nfo\":{\"rtcType\":\"microconfer\"}}"})",
     "code=7"},
    {"reviseVnioMicroTemplet",
     R"({"type":"vnio","msgProperties":"{\"extendInfo\":{\"rtcType\":\"rtc\"}}"})", "code=8"},
    // The key written with an escape, its plain name only in a later text:
    // no object follows that name, and the card is left as it came.
    {"reviseVnioMicroTemplet",
     R"({"type":"vnio","msgProperties":"{\"extend\\u0049nfo\":{\"rtcType\":\"microconfer\"},\"y\":\"extendInfo\"}"})",
     "code=9"},
};

// Documents whose ids come in the other form, read exactly but left out of
// the wrong-type sweep below.
const ValidCase kOther[] = {
    // Only the card's own first "type" counts, and only when it is a text
    // (repeated names, nested ones: outside the sweep).
    {"reviseVnioMicroTemplet", R"({"a":{"type":"vnio"},"b":[{"type":"1"}],"type":"x"})", "code=3"},
    {"reviseVnioMicroTemplet", R"({"type":{"type":"vnio"},"type":"vnio"})", "code=3"},
    {"reviseVnioMicroTemplet", R"({"type":1,"type":"vnio"})", "code=3"},
    {"reviseVnioMicroTemplet", R"([{"type":"vnio"}])", "code=3"},
    {"reviseVnioMicroTemplet", R"({"x":[{"type":"card"}],"type":"vnio"})", "code=4"},
    {"reviseVnioMicroTemplet", R"({"type":"vnio"} {})", "code=2"},
    {"transJson2Cmd",
     R"({"selects":["12",13,1.5,true,null,{},[],"-4"],"members":"12",)"
     R"("hismembers":[18446744073709551615,9223372036854775808,9223372036854775807,5],)"
     R"("memstates":[true,1,false,"true",null,true]})",
     "ok cmdCode=54 rtcType=rtc selects=[12,13,-4] memstates=[1,0,0,0,0,1] "
     "hismembers=[9223372036854775807,5] "
     "VideoStatus=multi"},
    // Plain ids read in one go up to an element of another form, then one by
    // one.
    {"transJson2Cmd",
     R"({"selects":[ 5 , -6,true,8,[9,{}],"10", 11 ],"members":[],)"
     R"("hismembers":[1,-0,123456789012345678]})",
     "ok cmdCode=54 rtcType=rtc selects=[5,-6,8,10,11] hismembers=[1,0,123456789012345678] "
     "VideoStatus=multi"},
    {"transJson2Cmd",
     R"({"senderId":12,"groupId":"","onwerId":"8","beginTime":[1],"deviceType":"4294967298",)"
     R"("roomId":5,"annotation":null,"initState":["a",1,"b"],"VideoStatus":{},"version":"v"})",
     "ok cmdCode=54 rtcType=rtc onwerId=8 deviceType=2 version=v VideoStatus=multi "
     "initState=[a,b]"},
    {"transJson2Cmd", R"({"flag":"recall "})", "ok cmdCode=54 rtcType=rtc VideoStatus=multi"},
    {"transJson2Cmd", R"({"flag":"recall\u0000x"})", "ok cmdCode=54 rtcType=rtc VideoStatus=multi"},
    {"transJson2Cmd", R"({"flag":true})", "ok cmdCode=54 rtcType=rtc VideoStatus=multi"},
    {"readCacheAnswer", R"({"code":"0","token":"T1"})", "false code=-1 token=T1"},
    // A card's first extendInfo decides, even when it is no object; a second
    // one, or one nested deeper, is not read.
    {"readCardInfo",
     R"({"extendInfo":"x","extendInfo":{"conferType":"2","roomID":"r","onwerId":"8"},)"
     R"("a":{"extendInfo":{"conferType":"2"}},"conferType":"2","roomID":"q","onwerId":"9"})",
     "ok rtcType=unbindconfer conferType=2 roomId=q onwerId=9 version=mrtc@1.8.8"},
    {"readCardInfo",
     R"({"extendInfo":{"rtcType":"rtc","roomID":"r","senderId":"1","groupId":"2","onwerId":"3",)"
     R"("version":"v","mode":"m","subType":2147483648,"subType":1}})",
     "false rtcType=rtc roomId=r onwerId=3 senderId=1 groupId=2 version=v mode=m"},
    {"readCardInfo",
     R"({"extendInfo":{"rtcType":"rtc","roomID":"r","senderId":"1","groupId":"2","onwerId":"3",)"
     R"("version":"v","mode":"m","subType":-7,"selects":[["4"],"5",{"selects":["6"]},7],)"
     R"("selects":["8"]},"selects":["9"]})",
     "ok rtcType=rtc roomId=r onwerId=3 senderId=1 groupId=2 version=v mode=m subType=-7 "
     "selects=[5]"},
    {"readCardInfo",
     R"({"mode":"m","rtcType":"microconfer","roomID":"r","onwerId":"3","senderId":"4",)"
     R"("version":"v","selects":[ "4" , "-5","06"," 7","8\"",9,"10",["11"],)"
     R"(" 0000000000000000000000000000000012"]})",
     "ok rtcType=microconfer roomId=r onwerId=3 senderId=4 version=v mode=m "
     "selects=[4,-5,6,7,8,10,12]"},
    // Texts of one width read in a run, up to a text of another width or
    // form, then on one by one.
    {"readCardInfo",
     R"({"mode":"m","rtcType":"microconfer","roomID":"r","onwerId":"3","senderId":"4",)"
     R"("version":"v","selects":["100002","100003","1000004","100005","1a0006","100007",)"
     R"("10\"8","1","2","123456789012345","123456789012345","1234567890123456","99"]})",
     "ok rtcType=microconfer roomId=r onwerId=3 senderId=4 version=v mode=m "
     "selects=[100002,100003,1000004,100005,1,100007,10,1,2,123456789012345,123456789012345,"
     "1234567890123456,99]"},
};

TEST(ReadersBadInput, ValidDocumentsReadExactly) {
  for (const ValidCase& c : kOther) {
    EXPECT_EQ(reader(c.reader).read(c.text), c.expected) << c.reader << " on " << c.text;
  }
  for (const ValidCase& c : kValid) {
    EXPECT_EQ(reader(c.reader).read(c.text), c.expected) << c.reader << " on " << c.text;
  }
}

std::string write(const json::Value& value) {
  json::StringBuffer buffer;
  json::Writer<json::StringBuffer> writer(buffer);
  value.Accept(writer);
  return buffer.GetString();
}

// Values of every JSON kind, the mixed array among them.
std::vector<std::string> wrongValuesFor(const json::Value& original, bool idsEitherWay) {
  const std::pair<json::Type, const char*> kinds[] = {
      {json::kStringType, "\"7\""},
      {json::kNumberType, "7"},
      {json::kNumberType, "-1.5e300"},
      {json::kTrueType, "true"},
      {json::kFalseType, "false"},
      {json::kNullType, "null"},
      {json::kArrayType, "[\"7\",7,{},null,[true]]"},
      {json::kObjectType, "{\"7\":7}"},
  };
  std::vector<std::string> out;
  for (const auto& kind : kinds) {
    bool sameKind =
        kind.first == original.GetType() ||
        (original.IsBool() && (kind.first == json::kTrueType || kind.first == json::kFalseType));
    bool idKinds = idsEitherWay && (original.IsString() || original.IsInt64()) &&
                   (std::string(kind.second) == "7" || std::string(kind.second) == "\"7\"");
    if (!sameKind && !idKinds) out.push_back(kind.second);
  }
  return out;
}

using Visit = std::function<void(const std::string&, const std::string&, const std::string&)>;

// Calls visit(key, doc-with-the-key-unknown, doc-with-a-wrong-value) for every
// member of every object (objects inside arrays included) and every value of
// another kind than the member's. The document is restored after each change.
void sweep(json::Document& doc, json::Value& at, bool idsEitherWay, const Visit& visit) {
  auto& alloc = doc.GetAllocator();
  if (at.IsArray()) {
    for (auto& element : at.GetArray()) sweep(doc, element, idsEitherWay, visit);
    return;
  }
  if (!at.IsObject()) return;
  for (auto it = at.MemberBegin(); it != at.MemberEnd(); ++it) {
    const std::string name = toString(it->name);
    it->name.SetString("~", alloc);
    const std::string without = write(doc);
    it->name.SetString(name.c_str(), alloc);
    json::Value saved(it->value, alloc);
    for (const std::string& wrong : wrongValuesFor(saved, idsEitherWay)) {
      json::Document value;
      value.Parse(wrong.c_str());
      it->value.CopyFrom(value, alloc);
      visit(name, without, write(doc));
    }
    it->value = saved;
    sweep(doc, it->value, idsEitherWay, visit);
  }
}

TEST(ReadersBadInput, WrongTypeUnderAKnownKeyReadsAsAbsent) {
  int checked = 0;
  for (const ValidCase& c : kValid) {
    json::Document doc;
    if (!parseText(doc, c.text) || !doc.IsObject()) continue;
    const Reader& r = reader(c.reader);
    auto outcome = r.outcome ? r.outcome : r.read;
    sweep(doc, doc, r.idsEitherWay,
          [&](const std::string& key, const std::string& without, const std::string& wrong) {
            EXPECT_EQ(outcome(wrong), outcome(without))
                << r.name << " key " << key << ": " << wrong;
            ++checked;
          });
  }
  EXPECT_GT(checked, 500);
}

// The parse events of a text as one line each; a number as its value
// whichever call carried it, a string with the id read from it. Asked for,
// it has the quick pass read every array's plain elements of one form
// without events, and logs them, and the events of that form, as ids only;
// or pass over its plain texts, and logs no text at all.
class eventLog : public json::BaseReaderHandler<json::UTF8<>, eventLog> {
 public:
  using form = quick::plainIds::form;
  explicit eventLog(form plain) : plain_(plain) {}
  std::vector<std::string> lines;
  quick::plainIds plainList() { return {plain_, &ids_}; }
  bool Null() { return add("null"); }
  bool Bool(bool b) { return add(b ? "true" : "false"); }
  bool Int(int i) { return add("n " + std::to_string(i)); }
  bool Uint(unsigned u) { return add("n " + std::to_string(u)); }
  bool Int64(int64_t i) { return add("n " + std::to_string(i)); }
  bool Uint64(uint64_t u) { return add("n " + std::to_string(u)); }
  bool Double(double /*d*/) { return add("double"); }
  bool String(const char* text, json::SizeType length, bool /*copy*/) {
    if (plain_ == form::kSkipTexts) return true;
    const std::string id = std::to_string(quick::textId(text, length));
    return add(plain_ == form::kTexts ? "id " + id
                                      : "s " + std::string(text, length) + " id " + id);
  }
  bool Key(const char* text, json::SizeType length, bool /*copy*/) {
    return add("k " + std::string(text, length));
  }
  bool StartObject() { return add("{"); }
  bool EndObject(json::SizeType n) { return add("} " + std::to_string(n)); }
  bool StartArray() { return add("["); }
  bool EndArray(json::SizeType n) { return add("] " + std::to_string(n)); }

 private:
  bool add(const std::string& line) {
    for (int64_t id : ids_) {
      lines.push_back((plain_ == form::kTexts ? "id " : "n ") + std::to_string(id));
    }
    ids_.clear();
    lines.push_back(line);
    return true;
  }
  form plain_;
  std::vector<int64_t> ids_;
};

// Where the quick pass finishes a text, the general reader takes it too and
// feeds the same events, whether plain lists are read without them, passed
// over, or not. True when the quick pass finished it.
bool quickAgrees(const std::string& t) {
  int done = 0;
  for (auto plain : {eventLog::form::kNone, eventLog::form::kNumbers, eventLog::form::kTexts,
                     eventLog::form::kSkipTexts}) {
    eventLog quick(plain);
    if (quickEvents(t, quick) != quickPass::kDone) continue;
    ++done;
    eventLog general(plain);
    EXPECT_TRUE(parseEvents(t, general)) << t;
    EXPECT_EQ(quick.lines, general.lines) << t;
  }
  EXPECT_TRUE(done == 0 || done == 4) << t;
  return done == 4;
}

std::string viewText(const cardObject& object) {
  std::string out = object.hasSelects ? " selects=" + proxyreaders::listText(object.selects) : "";
  for (const cardObject::member& m : object.members) {
    out += " " + m.name + "/" + std::to_string(static_cast<int>(m.type)) + "/" +
           std::to_string(m.number) + "/" + m.text;
  }
  return out;
}

std::string viewText(bool read, const cardView& view) {
  return std::string(read ? "read" : "refused") + (view.parsed ? " parsed" : "") +
         (view.hasExtend ? " extend" : "") + " root" + viewText(view.root) + " extendInfo" +
         viewText(view.extend);
}

// A card read without its selects reads as the full read, but for the
// selects left empty: the same texts parse, and every member and
// hasSelects read the same. True when the full read found ids to skip.
bool skippedSelectsAgree(const std::string& t) {
  cardView full;
  const bool read = readCardView(t, full);
  const bool ids = !full.root.selects.empty() || !full.extend.selects.empty();
  full.root.selects.clear();
  full.extend.selects.clear();
  cardView shown;
  const bool readShown = readCardView(t, shown, cardSelects::kSkip);
  EXPECT_EQ(viewText(readShown, shown), viewText(read, full)) << t;
  return ids;
}

// Values at the edges of what the quick pass reads itself: numbers around
// its 18 digits, the words it reads short ids by and the general reader's int
// widths, literals, strings with and without escapes, and containers.
const char* const kEdgeNumbers[] = {"0",   "-0",  "-",  "01",         "-01",        "1.5",
                                    "1e3", "1E3", "2.", "2147483648", "-2147483649"};
const char* const kEdgeLongNumbers[] = {"999999999999999999", "-999999999999999999",
                                        "1000000000000000000", "18446744073709551616"};
const char* const kEdgeWordNumbers[] = {"1234567", "12345678", "123456789012345",
                                        "1234567890123456"};
const char* const kEdgeWords[] = {"true", "tru", "false", "fals", "null", "nul", "truex"};
const char* const kEdgeStrings[] = {
    R"("")", R"("12")", R"(" 12")", R"("-3 ")", R"("+")", R"("a\"b")", R"("\/\b\f\n\r\t")",
    R"("\u0041")", R"("\x")", "\"\t\"", "\"\xe4\xbd\xa0\"", R"("12a")",
    // Longer than the sixteen bytes judged at once: an escape, a control byte
    // and the closing quote at either side of a block.
    R"("0123456789abcde\nghijklmnopqrstu\u0041wxyz0123456789")",
    R"("0123456789abcdef\"hijklmnopqrstuv\\")", "\"0123456789abcdef\x1fhijklmnopqrstuvw\"",
    "\"0123456789abcdefghijklmnopqrstu\x7f\xff\"", R"("0123456789abcdefghijklmnopqrstuv\q")"};
// \u escapes of one byte, which the quick pass resolves itself, and of wider
// code points, surrogates and bad digits, which it leaves to the general
// reader.
const char* const kEdgeEscapes[] = {R"("\u0000\u001F")", R"("\u007f\u0080")", R"("\u00e4")",
                                    R"("\uD83D\uDE00")", R"("\uDE00")",       R"("\u00")",
                                    R"("\u00G1")",       R"("\u000g")",       R"("\u 041")"};
// Id texts at the widths the quick pass reads a word at a time, and one
// longer than the copy it makes on the stack.
const char* const kEdgeIdTexts[] = {R"("1234567")", R"("12345678")", R"("123456789012345")",
                                    R"("1234567890123456")",
                                    R"("000000000000000000000000000000012")"};
const char* const kEdgeContainers[] = {"[]", "{}", "[1,]", "[,1]", "{\"a\":1,}", "[[[[1]]]]"};
// Lists of ids, read in runs of one width a word or two an id, and ids of up
// to seven digits two at a time from the second id on: the runs' ends at a
// change of width (also at the last id), a leading zero, white space, a
// sign, a fraction, another form or no element, each at the first and the
// second id of a two-id step; ids of one, seven and 15 or 16 digits; and
// more ids than the room the first one reserved.
const char* const kEdgeRuns[] = {
    "100002,100003,100004,100005,100006",
    "100002,100003,100004,100005",
    "100002,100003,1000004,100005,100006,100007",
    "100002,100003,100004,1000005,100006,100007",
    "100002,100003,100004,100005,1000006",
    "100002,100003,100004,100005,10006",
    "100002,100003,100004,10005,100006,100007",
    "1,2,34,5,6,7",
    "1,2,3,45,6,7",
    "5,6,0,0,7,8",
    "1234567,7654321,1000000,9999999,1234567,7654321",
    "1234567,1234567,0234567,1234567,1234567",
    "1234567,1234567,1234567,0234567,1234567",
    "1234567,1234567,1234567,123456,1234567",
    "1,2,3,4,5,6,7,8,9,0,1,2,3,4,5,6,7,8,9,0",
    "1000000,1,2,3,4,5,6,7,8,9,1,2,3,4,5,6,7,8,9",
    "1234567,1234567,1234567,1234567,9999999",
    "123456789012345,123456789012345,1234567890123456,123456789012345",
    "100002,100003,010004,100005,100006",
    "10,20,00,30,40,50,60,70",
    "100002,100003, 100004,100005 ,100006,100007",
    "100002,100003,100004, 100005,100006,100007",
    "100002,100003,100004,100005 ,100006,100007",
    "100002,100003,-100004,100005,100006",
    "100002,100003,100004.5,100005,100006",
    "100002,100003,100004e1,100005,100006",
    "100002,100003,100004,\"100005\",100006",
    "100002,100003,100004,,100005,100006",
    "100002,100003,100004,100005,",
    "100000001,100000002,100000003,100000004,100000005",
    "100000001,100000002,010000003,100000004,100000005",
    "100000001,100000002,1000000003,100000004,10000005",
    "100000001,100000002,100000003 ,100000004,10000000a,1",
    "12345678,12345678,12345678,12345678",
};
// Lists of id texts, read in runs of one width: the runs' ends at a change
// of width (also at the last text), a text that is no digits, an escape
// (one that ends where a text of the run's width would), a control
// character, an empty text, white space, a number, a missing quote or
// element; texts of one, seven, eight, 15 and 16 digits. Passed over, runs
// of empty texts, of the widest texts taken a block at a time and one
// wider, a run's texts with marks that the blocks let through (':' to
// '?') and others that they leave to one text at a time, an escape right
// after a block, and a quote, a bad escape and a control character in a
// run's middle.
const char* const kEdgeTextRuns[] = {
    R"("100002","100003","100004","100005","100006")",
    R"("100002","100003","1000004","100005","100006","100007")",
    R"("100002","100003","100004","1000005")",
    R"("100002","100003","100004","10005")",
    R"("1","2","3","4","5","6","7","8","9","0","1","2","3","4","5","6","7","8","9")",
    R"("1234567","1234567","1234567","9999999","1234567")",
    R"("12345678","12345678","12345678","123456789")",
    R"("100000001","100000002","100000003","100000004")",
    R"("123456789012345","123456789012345","1234567890123456","123456789012345")",
    R"("1234567890123456","1234567890123456")",
    R"("100002","100003","10a004","100005","-10006","+10007"," 10008","100009")",
    R"("100002","100003","10\"004","100005","10\n006","100007")",
    R"("100002","100003","10\u0030004","100005")",
    R"("100002","100003","10000\",","100005")",
    "\"100002\",\"100003\",\"10\t004\",\"100005\"",
    R"("100002","","100004","100005")",
    R"("100002", "100003","100004" ,"100005","100006")",
    R"("100002","100003",100004,"100005","100006")",
    R"("100002","100003,"100004","100005")",
    R"("100002","100003",,"100004")",
    R"("100002","100003",)",
    R"("000002","000003","000004")",
    R"("100002","100003","10:004","10?005","100006","10/007","10@008","102你","100009")",
    R"("100002","100003","100004","100005","10\"06","100007",100008,"100009")",
    R"("100002","100003","100004","10"005","100006","100007","100008","100009")",
    R"("100002","100003","100004","10\q05","100006","100007","100008","100009")",
    "\"100002\",\"100003\",\"100004\",\"10\t005\",\"100006\",\"100007\",\"100008\"",
    R"("","","","","","","","","","","","","")",
    R"("123456789012345678901","123456789012345678901","123456789012345678901","1")",
    R"("1234567890123456789012","1234567890123456789012","1234567890123456789012")",
};

// Texts with those values, alone and after plain ids of either form, and
// whole texts at the same edges.
std::vector<std::string> quickEdges() {
  std::vector<std::string> out;
  auto withValues = [&out](const auto& values) {
    for (const char* v : values) {
      const std::string value = v;
      out.push_back("{\"selects\":[" + value + "],\"v\":" + value + "}");
      // First, after a plain id and its comma, and after spaces; with room
      // behind for reading a word or two at a time.
      const std::string tail = "],\"a\":\"room for two words\"}";
      out.push_back("{\"members\":[" + value + ",7, -8 ," + value + ",9" + tail);
      out.push_back("{\"selects\":[" + value + ",\"7\" ,\"8\"," + value + ",\"9\"" + tail);
    }
  };
  withValues(kEdgeNumbers);
  withValues(kEdgeLongNumbers);
  withValues(kEdgeWordNumbers);
  withValues(kEdgeWords);
  withValues(kEdgeStrings);
  withValues(kEdgeEscapes);
  withValues(kEdgeIdTexts);
  withValues(kEdgeContainers);
  // Each run closed, with more behind, and every prefix of it: a text that
  // ends within a word of a run's id. And closed with the text's end two
  // to sixteen bytes after its last id, so that the last ids are read with
  // less room than a word or two.
  auto withRuns = [&out](const auto& runs, const std::string& head) {
    for (const char* run : runs) {
      const std::string list = head + std::string(run) + "]}";
      out.push_back(head + std::string(run) + "],\"a\":\"room for a word\"}");
      for (size_t at = 1; at <= list.size(); ++at) out.push_back(list.substr(0, at));
      for (size_t spaces = 1; spaces <= 14; ++spaces) {
        out.push_back(head + std::string(run) + "]" + std::string(spaces, ' ') + "}");
      }
    }
  };
  withRuns(kEdgeRuns, "{\"members\":[");
  withRuns(kEdgeTextRuns, "{\"selects\":[");
  std::string deep;
  for (int i = 0; i < 40; ++i) deep = "{\"extendInfo\":" + (deep.empty() ? "1" : deep) + "}";
  out.push_back(deep);
  for (const char* t :
       {" {} ", "{}x", "{} {}", "{\"a\" : [ 1 , 2 ] }", "\t\r\n{}", "[1]", "1",
        "{\"a\":[ ],\"b\":[\n]}", "{\"a\":[1,2", "{\"a\":[1 2]}", "{\"a\":[\"1\",\"2]}",
        "{\"a\":[\"1\" \"2\"]}", "{\"a\":[\"1\",]}", "{\"a\":[1,2]]}", "{\"a\"}", "{\"a\":}",
        "{1:2}", "{\"a\":1 \"b\":2}",
        // A bad escape whose text would read on as JSON.
        "{\"a\":\"\\q,\"b\":1}",
        // Selects that are no list, or lists in a list.
        R"({"selects":{"selects":["1"]},"extendInfo":{"selects":"2","x":["3"]}})",
        R"({"extendInfo":{"selects":[["1","2"],"3",[],"4"]},"selects":[[["5"]],"6"]})"}) {
    out.push_back(t);
  }
  out.push_back(std::string("{}\0x", 4));
  out.push_back(std::string("{\"a\":\"\0\"}", 8));
  return out;
}

// Every prefix of each valid body and card, each with one byte dropped or
// replaced by one that breaks JSON, and texts at the quick pass's edges: the
// one-pass readers refuse exactly the texts that a document parse refuses, a
// refused command is left as it was, and the quick pass feeds the general
// reader's events wherever it finishes.
TEST(ReadersBadInput, RefusedExactlyWhereADocumentIsRefused) {
  const std::string kBreakers("\"}],\0", 5);
  int refused = 0;
  int quick = 0;
  int skipped = 0;
  for (const ValidCase& c : kValid) {
    const std::string name = c.reader;
    if (name != "transJson2Cmd" && name != "readCardInfo") continue;
    const std::string text = c.text;
    std::vector<std::string> broken = quickEdges();
    for (size_t at = 0; at < text.size(); ++at) {
      broken.push_back(text.substr(0, at));
      broken.push_back(text.substr(0, at) + text.substr(at + 1));
      for (char b : kBreakers) broken.push_back(text.substr(0, at) + b + text.substr(at + 1));
    }
    for (const std::string& t : broken) {
      quick += quickAgrees(t) ? 1 : 0;
      skipped += skippedSelectsAgree(t) ? 1 : 0;
      json::Document doc;
      const bool parses = parseText(doc, t);
      refused += parses ? 0 : 1;
      const std::string cmd = reader("transJson2Cmd").read(t);
      if (parses && doc.IsObject()) {
        EXPECT_EQ(cmd.substr(0, 3), "ok ") << t;
      } else {
        EXPECT_EQ(cmd, "false cmdCode=54 VideoStatus=multi") << t;
      }
      if (!parses) {
        EXPECT_EQ(reader("readCardInfo").read(t), "false") << t;
      }
      EXPECT_EQ(reviseCode(t) == "code=2", !parses && !t.empty()) << t;
    }
  }
  EXPECT_GT(refused, 5000);
  EXPECT_GT(quick, 500);
  EXPECT_GT(skipped, 500);
  // What clients write is read by the quick pass itself: escaped texts (the
  // control characters as \u00XX), numbers of every leading digit, and the
  // three words.
  EXPECT_TRUE(quickAgrees(
      R"({"a":"\/\b\f\n\r\t\"\\\u0000\u001F\u001f","b":[9,-9,19,0,-1],"c":[true,false,null]})"));
}

// What a run of ids of kWidth digits reads from the start of text with two
// (or no) ids a step read by two: whether the list closed, where the run
// stopped and its mark, and the ids.
template <unsigned kWidth, typename Two>
std::string readRun(const std::string& text, Two two) {
  std::vector<int64_t> ids;
  const char* p = text.data();
  const char* mark = nullptr;
  json::SizeType count = 0;
  const bool closed = quick::run(ids, kWidth + 1, 8, p, text.data() + text.size(), count, mark,
                                 quick::oneId<kWidth>, two);
  std::string out = std::string(closed ? "closed" : "open") + " at " +
                    std::to_string(p - text.data()) + " mark " +
                    (mark == nullptr ? "none" : std::to_string(mark - text.data())) + " count " +
                    std::to_string(count) + " ids";
  for (int64_t id : ids) out += " " + std::to_string(id);
  return out;
}

// Lists of count ids of kWidth digits, of every digit at every place, with
// one byte replaced near the end and near the run's first block end, and
// cut short at every byte of their last steps.
template <unsigned kWidth>
std::vector<std::string> runTexts(size_t count) {
  std::string list;
  for (size_t i = 0; i < count; ++i) {
    for (unsigned d = 0; d < kWidth; ++d) {
      const size_t digit = (i * 7 + d * 3 + (d == 0 ? 1 : 0)) % 10;
      list += static_cast<char>('0' + (d == 0 && kWidth > 1 && digit == 0 ? 1 : digit));
    }
    list += i + 1 < count ? ',' : ']';
  }
  const std::string text = list + std::string(16, ' ');
  constexpr size_t kStep = kWidth + 1;
  std::vector<size_t> at;
  for (size_t i = list.size() - std::min(list.size(), 3 * kStep); i < list.size() + 1; ++i) {
    at.push_back(i);
  }
  for (size_t i = 62 * kStep; i < 66 * kStep && i < list.size(); ++i) at.push_back(i);
  std::vector<std::string> out = {text};
  for (size_t i : at) {
    for (char b : std::string("019,] -.e\"x/:\0\x80\xb9", 16)) {
      std::string changed = text;
      changed[i] = b;
      out.push_back(changed);
    }
  }
  for (size_t i = list.size() - std::min(list.size(), 3 * kStep); i < text.size(); ++i) {
    out.push_back(text.substr(0, i));
  }
  return out;
}

// Ids read two at a time, with SIMD or without, are the ids read one at a
// time, and the run stops where it did, with the same mark and count: at
// every place of a two-id step, at a block's end, and wherever the text ends.
TEST(ReadersBadInput, IdsReadTwoAtATimeAsOneAtATime) {
  for (unsigned width = 1; width < 8; ++width) {
    quick::withWidth(width, [](auto constant) {
      constexpr unsigned kWidth = decltype(constant)::value;
      if constexpr (kWidth < 8) {
        for (size_t count : {1, 2, 3, 4, 65, 66, 67, 130}) {
          for (const std::string& text : runTexts<kWidth>(count)) {
            const std::string expected = readRun<kWidth>(text, quick::oneAtATime{});
            EXPECT_EQ(readRun<kWidth>(text, quick::twoIds<kWidth>), expected) << text;
            EXPECT_EQ(readRun<kWidth>(text, quick::twoIdsPlain<kWidth>), expected) << text;
          }
        }
      }
      return true;
    });
  }
}

std::string repeated(const std::string& piece, size_t count) {
  std::string out;
  out.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) out += piece;
  return out;
}

struct Hostile {
  const char* reader;  // nullptr: every reader
  std::string text;
  const char* expected;  // start of the reader's summary, when given
};

// Texts no reader must choke on: megabyte arrays, deep nesting, garbage.
std::vector<Hostile> hostileTexts() {
  const size_t kDepth = 100000;
  const std::string mib = repeated("\"1\",", 256 * 1024) + "\"1\"";
  const std::string deepObject = repeated("{\"extendInfo\":", kDepth) + "1" + repeated("}", kDepth);
  const std::string lists =
      "{\"selects\":[" + mib + "],\"initState\":[\"1\",\"1\",{}],\"memstates\":[1,{}]}";
  return {
      {nullptr, "[" + mib + "]", nullptr},
      {nullptr, repeated("[", kDepth) + repeated("]", kDepth), nullptr},
      {nullptr, repeated("[", kDepth), nullptr},
      {nullptr, deepObject, nullptr},
      {nullptr, "{\"reqData\":" + deepObject + "}", nullptr},
      {nullptr, std::string("{\"roomId\":\"\0\",\"x\":1}", 20), nullptr},
      {nullptr, "\xff\xfe{\"type\":\"vnio\"}", nullptr},
      {nullptr, "null", nullptr},
      {nullptr, "\"extendInfo\"", nullptr},
      {nullptr, "{\"extendInfo\":[],\"reqData\":[],\"members\":{},\"selects\":{}}", nullptr},
      {"transJson2Cmd", lists, "ok cmdCode=54 rtcType=rtc selects=[1,1,1,1"},
      {"parseCallExtend", lists, "false initState=[1,1] rtcType=rtc"},
      {"readCacheAnswer", "{\"code\":0,\"token\":[" + mib + "]}", "false code=0"},
      {"fixSystemSender(to)", "{\"targetID\":[" + mib + "]}", "sender=7 target=10001"},
      {"readConfRequest",
       "{\"reqData\":{\"conferType\":\"1\",\"conferMode\":\"m\",\"selects\":[" + mib + "]}}",
       "ok conferType=1 selects=[1,1,1"},
      {"readCardInfo",
       "{\"extendInfo\":{\"rtcType\":\"microconfer\",\"roomID\":\"r\",\"senderId\":\"1\","
       "\"onwerId\":\"1\",\"version\":\"v\",\"mode\":\"m\",\"selects\":[" +
           mib + "]}}",
       "ok rtcType=microconfer roomId=r onwerId=1 senderId=1 version=v mode=m selects=[1,1"},
      {"readShareInfo",
       "{\"faceToId\":\"1\",\"shareText\":\"x\",\"outMembers\":[" + mib + "],\"members\":[" +
           repeated("{\"peer\":\"1\",\"rank\":\"onwer\"},", 40000) + "{}]}",
       "code=8 ownerId=1 faceToId=1 shareText"},
      {"reviseVnioMicroTemplet",
       "{\"type\":\"vnio\",\"msgProperties\":\"" + repeated("{\\\"extendInfo\\\":", kDepth) + "\"}",
       "code=5"},
      {"reviseVnioMicroTemplet",
       "{\"type\":\"vnio\",\"msgProperties\":\"{\\\"microconfer\\\":1,\\\"extendInfo\\\":{" +
           repeated("\\\"a\\\":1,", 100000) + "\\\"z\\\":{}}}\"}",
       "code=0"},
  };
}

TEST(ReadersBadInput, HugeAndDeepTextsAreReadInBoundedTime) {
  for (const Hostile& h : hostileTexts()) {
    for (const Reader& r : readers()) {
      if (h.reader != nullptr && std::string(h.reader) != r.name) continue;
      auto start = std::chrono::steady_clock::now();
      std::string result = r.read(h.text);
      auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                    std::chrono::steady_clock::now() - start)
                    .count();
      EXPECT_LT(ms, 5000) << r.name << " on " << h.text.substr(0, 40);
      if (h.expected != nullptr) {
        EXPECT_EQ(result.substr(0, std::string(h.expected).size()), h.expected) << r.name;
      } else {
        EXPECT_FALSE(result.empty());
      }
    }
  }
}

}  // namespace
}  // namespace imsdkmrtc
