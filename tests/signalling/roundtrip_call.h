// Calls, hints, cards, shared texts and answers carrying arbitrary values,
// played on the simulated network, and the check that every text the
// plug-ins sent, inserted or posted as JSON parses and gives each value back.
// Shared by the escaping test and the round-trip fuzz target; free of gtest.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "clock_control.h"
#include "notify/plugin_notify.h"
#include "plugin/base64.h"
#include "plugin/mrtc_plugin.h"
#include "plugin/text_readers.h"
#include "signalling/msg_proxy.h"
#include "simhost/simhost.h"
#include "timer/plugin_other.h"
#include "timer/timeout_record.h"

namespace roundtrip {

namespace rj = RAPIDJSON_NAMESPACE;

// What users, applications and strangers may put into a call.
struct Values {
  std::string name;   // every user's display name
  std::string room;   // room id (after a fixed "r"), room name, share text
  std::string token;  // room token, also the server's address
  std::string addr;   // address, srvVer, srvTag, initState entry, stranger's extend
  std::string label;  // card template: title, content, a row's labels and values
};

// A JSON object written by RapidJSON: string members, or raw JSON members
// (arrays, objects) when the key starts with '@'.
inline std::string object(const std::vector<std::pair<std::string, std::string>>& members) {
  rj::StringBuffer buf;
  rj::Writer<rj::StringBuffer> w(buf);
  w.StartObject();
  for (const auto& m : members) {
    const bool raw = m.first[0] == '@';
    const std::string key = raw ? m.first.substr(1) : m.first;
    w.Key(key.data(), static_cast<rj::SizeType>(key.size()));
    if (raw) {
      w.RawValue(m.second.data(), m.second.size(), rj::kObjectType);
    } else {
      w.String(m.second.data(), static_cast<rj::SizeType>(m.second.size()));
    }
  }
  w.EndObject();
  return std::string(buf.GetString(), buf.GetSize());
}

inline std::string array(const std::vector<std::string>& texts) {
  rj::StringBuffer buf;
  rj::Writer<rj::StringBuffer> w(buf);
  w.StartArray();
  for (const auto& t : texts) w.String(t.data(), static_cast<rj::SizeType>(t.size()));
  w.EndArray();
  return std::string(buf.GetString(), buf.GetSize());
}

class Run {
 public:
  explicit Run(const Values& v) : v_(v), room_("r" + v.room) {
    commlib::useVirtualTime(1700000000000);
    for (int64_t id : {kAnn, kBob, kDan, kEve}) net_.addUser(id, v.name);
    net_.addGroup(kGroup, {kAnn, kBob, kDan, kEve});
  }
  ~Run() {
    for (auto& p : plugins_) p->other()->stop();
    commlib::advance(10000);
  }

  // Plays everything and returns the faults found (empty: all held).
  std::vector<std::string> faults() {
    settings();
    groupCall();
    extras();
    hangUp();
    stranger();
    for (simhost::Client* c : {&ann_, &bob_, &dan_}) audit(*c);
    return faults_;
  }

 private:
  static constexpr int64_t kAnn = 1001, kBob = 1002, kDan = 1004, kEve = 4004, kGroup = 5001;

  simhost::Client& add(const std::string& name, int64_t user) {
    plugins_.push_back(std::make_unique<imsdkmrtc::mrtc_plugin>(1));
    simhost::Client& c = net_.addClient(name, user, 1);
    c.attach(plugins_.back().get());
    return c;
  }
  imsdkmrtc::mrtc_plugin& plugin(size_t i) { return *plugins_[i]; }
  void pump() { net_.pump(); }

  void fault(const std::string& what, const std::string& text) {
    faults_.push_back(what + ": " + text);
  }
  // text parsed as JSON with RapidJSON's default reader; a fault when not.
  bool parse(rj::Document& doc, const std::string& what, const std::string& text) {
    doc.Parse(text.c_str(), text.size());
    if (doc.HasParseError() || !doc.IsObject()) {
      fault(what + " is not JSON", text);
      return false;
    }
    return true;
  }
  static std::string text(const rj::Value& s) {
    return std::string(s.GetString(), s.GetStringLength());
  }
  // The string member key of object (a path of keys) equals want.
  void expect(const rj::Value& object, std::vector<const char*> path, const std::string& want,
              const std::string& what) {
    const rj::Value* at = &object;
    for (const char* key : path) {
      auto it = at->IsObject() ? at->FindMember(key) : at->MemberEnd();
      if (!at->IsObject() || it == at->MemberEnd()) return fault(what + " lacks " + key, want);
      at = &it->value;
    }
    if (!at->IsString() || text(*at) != want) {
      fault(what + " does not read back " + path.back(), want);
    }
  }
  // The extend of the one answer with this request id, parsed.
  bool answer(rj::Document& doc, simhost::Client& c, int64_t id, const std::string& what) {
    for (const simhost::Result& r : c.results()) {
      if (r.id == id) return r.result == 0 && parse(doc, what, r.extend);
    }
    fault(what + " got no answer", "");
    return false;
  }
  // The first record keep accepts; a fault when there is none.
  template <class T, class Keep>
  std::optional<T> first(const std::vector<T>& all, const std::string& what, Keep keep) {
    for (const T& x : all) {
      if (keep(x)) return x;
    }
    fault(what + " is missing", "");
    return std::nullopt;
  }

  void settings() {
    // Texts the settings reader takes as they stand between the quotes.
    ann_.extra(7, "{\"tempTitle\":\"" + v_.label + "\",\"tempContent\":\"" + v_.label + "\"}");
    plugin(0).proxy().upsertField("row", true, v_.label, v_.label, v_.label, v_.label);
    ann_.extra(13, R"({"forceOwnerAddr":"on"})");
    ann_.config().configItems[{"mediaServerAddr", "extend"}] =
        object({{"mediaServerAddr", v_.token}});
    ann_.config().cacheValues[room_] = object({{"@code", "0"}, {"token", v_.token}});
    dan_.extra(6, R"({"boardSwitch":"on"})");
    dan_.extra(3, R"({"groupId":"5001"})");
  }

  std::string callExtend() const {
    // clang-format off
    return object({{"rtcType", "rtc"}, {"conferMode", "chat"}, {"roomToken", v_.token},
                   {"addr", v_.addr}, {"srvVer", v_.addr}, {"srvTag", v_.addr},
                   {"@initState", array({v_.addr})}});
    // clang-format on
  }

  // The values of the call in an event extend (type 1 at the callee).
  void expectCallExtend(const rj::Value& ext, const std::string& what) {
    if (!v_.token.empty()) expect(ext, {"roomToken"}, v_.token, what);
    if (v_.addr.empty()) return;
    for (const char* key : {"addr", "srvVer", "srvTag"}) expect(ext, {key}, v_.addr, what);
    auto init = ext.FindMember("initState");
    if (init == ext.MemberEnd() || !init->value.IsArray() || init->value.Empty() ||
        !init->value[0].IsString() || text(init->value[0]) != v_.addr) {
      fault(what + " does not read back initState", v_.addr);
    }
  }

  void expectHint(const std::optional<simhost::NetMessage>& m, const std::string& operType,
                  const std::string& usersInfo, const std::string& what) {
    rj::Document props;
    if (!m || !parse(props, what, m->properties)) return;
    expect(props, {"operType"}, operType, what);
    expect(props, {"usersInfo"}, usersInfo, what);
  }

  void groupCall() {
    const imsdkmrtc::cardTemplate tpl = plugin(0).proxy().templateCopy();
    imsdk::req_mrtc_request call;
    call.groupId = kGroup;
    call.roomId = room_;
    call.roomName = v_.room;
    call.members = {kBob};
    call.extend = callExtend();
    const int64_t id = ann_.request(24001, call);
    pump();
    rj::Document doc;
    if (answer(doc, ann_, id, "call answer")) {
      expect(doc, {"addr"}, plugin(0).slb().getMultiServer(), "call answer");
    }
    const std::string usersInfo = "groupId=5001,roomId=" + room_ + ",operUserName=" + v_.name;
    expectHint(first(ann_.sent(), "begin hint", [](auto& m) { return m.msgType == 8; }), "21",
               usersInfo, "begin hint");
    if (auto m = first(ann_.inserted(), "begin hint body", [](auto& m) { return m.msgType == 8; });
        m && parse(doc, "begin hint body", m->body)) {
      expect(doc, {"body"}, v_.name + "发起了语音通话", "begin hint body");
    }
    if (auto m = first(ann_.sent(), "call card", [](auto& m) { return m.msgType == 26; });
        m && parse(doc, "call card", m->body)) {
      expect(doc, {"title"}, tpl.title, "call card");
      expect(doc, {"content"}, tpl.content, "call card");
      expect(doc, {"creator"}, v_.name, "call card");
      expect(doc, {"extendInfo", "roomID"}, room_, "call card");
      expect(doc, {"extendInfo", "roomName"}, v_.room, "call card");
      if (!v_.name.empty()) {
        expect(doc, {"extendInfo", "oName"}, imsdkmrtc::base64Encode(v_.name), "call card");
      }
      if (!v_.token.empty()) expect(doc, {"extendInfo", "roomToken"}, v_.token, "call card");
      if (!v_.addr.empty()) expect(doc, {"extendInfo", "srvTag"}, v_.addr, "call card");
      // The added row, labelled and valued v.label, among the fields.
      auto fields = doc.FindMember("fields");
      bool row = false;
      if (fields != doc.MemberEnd() && fields->value.IsArray()) {
        for (const rj::Value& f : fields->value.GetArray()) {
          row = row ||
                (f.IsObject() && f.MemberCount() == 1 && text(f.MemberBegin()->name) == v_.label &&
                 f.MemberBegin()->value.IsString() && text(f.MemberBegin()->value) == v_.label);
        }
      }
      if (!row) fault("call card does not read back its row", m->body);
    }
    if (auto e = first(bob_.events(), "ring", [](auto& e) { return e.eventType == 1; });
        e && parse(doc, "ring extend", e->extend)) {
      expectCallExtend(doc, "ring extend");
    }
    bob_.request(24003, answerOf(room_));
    pump();
  }

  imsdk::req_mrtc_request answerOf(const std::string& room) const {
    imsdk::req_mrtc_request r;
    r.groupId = kGroup;
    r.roomId = room;
    r.members = {kBob};
    r.annotation = "accept";
    return r;
  }

  void extras() {
    rj::Document doc;
    int64_t id = ann_.extra(22, object({{"@reqData", object({{"roomId", room_}})}}));
    if (!v_.token.empty() && answer(doc, ann_, id, "token answer")) {
      expect(doc, {"roomId"}, room_, "token answer");
      expect(doc, {"roomToken"}, v_.token, "token answer");
    }
    // clang-format off
    const std::string request = object({{"@reqData", object({
        {"conferType", "1"}, {"conferMode", "chat"}, {"groupId", "5001"},
        {"@selects", "[\"1004\"]"}, {"roomName", v_.room}, {"roomId", room_},
        {"roomToken", v_.token}, {"addr", v_.addr}, {"srvTag", v_.addr}})}});
    // clang-format on
    id = ann_.extra(17, request);
    if (answer(doc, ann_, id, "micro info")) {
      expect(doc, {"roomName"}, v_.room, "micro info");
      if (!v_.addr.empty()) expect(doc, {"addr"}, v_.addr, "micro info");
    }
    id = ann_.extra(20, request);
    if (answer(doc, ann_, id, "unbind info")) {
      expect(doc, {"roomID"}, room_, "unbind info");
      if (!v_.token.empty()) expect(doc, {"roomToken"}, v_.token, "unbind info");
      if (!v_.addr.empty()) expect(doc, {"srvTag"}, v_.addr, "unbind info");
    }
    ann_.extra(101, request);
    ann_.extra(21, R"({"type":"history"})",
               object({{"groupId", "5001"}, {"shareText", v_.room}, {"@outMembers", "[1002]"}}));
    const std::string living = "{\"groupId\":\"5001\",\"roomId\":\"" + room_ +
                               "\",\"roomName\":\"" + v_.room + "\",\"version\":\"" + v_.label +
                               "\"}";
    ann_.extra(8, living);
    pump();
    auto card = [](const std::string& type) {
      return [type](const simhost::NetMessage& m) {
        return m.msgType == 26 && m.body.find("\"type\":\"" + type + "\"") != std::string::npos;
      };
    };
    if (auto m = first(ann_.sent(), "micro card", card("microconfer"));
        m && parse(doc, "micro card", m->body)) {
      expect(doc, {"creator"}, v_.name, "micro card");
      expect(doc, {"extendInfo", "roomName"}, v_.room, "micro card");
    }
    if (auto m = first(ann_.sent(), "living card",
                       [](auto& m) { return m.body.find("\"subType\":15") != std::string::npos; });
        m && parse(doc, "living card", m->body)) {
      using imsdkmrtc::getJsonString;
      expect(doc, {"extendInfo", "roomName"}, getJsonString(living, "roomName"), "living card");
      expect(doc, {"extendInfo", "version"}, getJsonString(living, "version"), "living card");
      expect(doc, {"creator"}, v_.name, "living card");
    }
    if (!v_.room.empty()) {
      if (auto m = first(ann_.sent(), "share text", [](auto& m) { return m.msgType == 2; });
          m && parse(doc, "share text", m->body)) {
        expect(doc, {"body"}, v_.room, "share text");
      }
    }
  }

  void hangUp() {
    audit(ann_);
    imsdk::req_mrtc_request r = answerOf(room_);
    r.annotation = "hungup_uiclick";
    bob_.request(24005, r);
    pump();
    r.members = {kAnn};
    ann_.request(24005, r);
    pump();
    const std::string usersInfo = "groupId=5001,roomId=" + room_ + ",operUserName=" + v_.name;
    expectHint(first(ann_.sent(), "finish hint", [](auto& m) { return m.msgType == 8; }), "22",
               usersInfo, "finish hint");
    rj::Document doc;
    if (auto e =
            first(ann_.events(), "finish hint event", [](auto& e) { return e.eventType == 21; });
        e && parse(doc, "finish hint event", e->extend)) {
      expect(doc, {"usersInfo"}, usersInfo, "finish hint event");
    }
  }

  // A phone user's calls: one Bob can take (Dan, watching the group, keeps
  // it), one from a newer protocol that Bob can only note in his chat.
  void stranger() {
    auto call = [&](const std::string& room, const std::string& version) {
      // clang-format off
      return object({{"type", "multi_call"}, {"senderId", "4004"}, {"groupId", "5001"},
                     {"onwerId", "4004"}, {"roomId", room}, {"roomName", v_.room},
                     {"cmode", "chat"}, {"deviceType", "2"}, {"version", version},
                     {"rtcType", "rtc"}, {"extend", v_.addr}, {"addr", v_.addr},
                     {"roomToken", v_.token}, {"srvVer", v_.addr}, {"srvTag", v_.addr},
                     {"@initState", array({v_.addr})}, {"@selects", "[1002,4005]"},
                     {"@members", "[4004,1002,4005]"}, {"@memstates", "[true,false,false]"}});
      // clang-format on
    };
    audit(bob_);
    net_.inject(kEve, 2, kGroup, call("e" + room_, "mrtc@1.8.8"));
    pump();
    rj::Document doc;
    if (auto e = first(bob_.events(), "stranger's ring", [](auto& e) { return e.eventType == 1; });
        e && parse(doc, "stranger's ring", e->extend)) {
      expectCallExtend(doc, "stranger's ring");
    }
    imsdkmrtc::timeoutRecord board;
    board.category = imsdkmrtc::kTimeoutBoardCategory;
    board.type = imsdkmrtc::kTimeoutWait;
    board.key = "e" + room_;
    board.members = {4005};
    plugin(2).notify()->onTimeoutDispatch(board);
    if (auto e = first(dan_.events(), "board summary", [](auto& e) { return e.eventType == 8; });
        e && parse(doc, "board summary", e->extend)) {
      expect(doc, {"onwer_name"}, v_.addr, "board summary");
    }
    // A call from a newer protocol only leaves a version hint in Bob's chat.
    net_.inject(kEve, 2, kBob, call("n" + room_, "mrtc@2.0.0"));
    pump();
    if (auto m = first(bob_.inserted(), "version hint", [](auto& m) { return m.msgType == 8; });
        m && parse(doc, "version hint", m->properties)) {
      expect(doc, {"usersInfo"}, "deviceType=2,callType=1,operUserName=" + v_.name, "version hint");
    }
  }

  // Every text the client sent, inserted or posted that is JSON by format
  // must parse; then its records are cleared.
  void audit(simhost::Client& c) {
    rj::Document doc;
    auto jsonBody = [](uint16_t type) {
      return type == 14 || type == 15 || type == 26 || type == 8 || type == 2;
    };
    for (const auto& m : c.sent()) {
      if (jsonBody(m.msgType)) parse(doc, c.name() + " sent body", m.body);
      if (!m.properties.empty()) parse(doc, c.name() + " sent properties", m.properties);
    }
    for (const auto& m : c.inserted()) {
      if (jsonBody(m.msgType)) parse(doc, c.name() + " inserted body", m.body);
      if (!m.properties.empty()) parse(doc, c.name() + " inserted properties", m.properties);
    }
    for (const auto& e : c.events()) {
      if (!e.extend.empty()) parse(doc, c.name() + " event extend", e.extend);
    }
    for (const auto& r : c.results()) {
      if (!r.extend.empty()) parse(doc, c.name() + " answer", r.extend);
    }
    c.clearRecords();
  }

  Values v_;
  std::string room_;
  simhost::Network net_;
  std::vector<std::unique_ptr<imsdkmrtc::mrtc_plugin>> plugins_;
  simhost::Client& ann_ = add("ann", kAnn);
  simhost::Client& bob_ = add("bob", kBob);
  simhost::Client& dan_ = add("dan", kDan);
  std::vector<std::string> faults_;
};

inline std::vector<std::string> faults(const Values& v) { return Run(v).faults(); }

}  // namespace roundtrip
