// Calls, hints, cards, shared texts and answers carrying arbitrary values,
// played on the simulated network, and the check that every text the
// plug-ins sent, inserted or posted as JSON parses and gives each value back.
// Shared by the escaping test and the round-trip fuzz target; free of gtest.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/base64.h"
#include "base/text_readers.h"
#include "clock_control.h"
#include "notify/plugin_notify.h"
#include "plugin/mrtc_plugin.h"
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

// A JSON string written by RapidJSON.
inline std::string quoted(const std::string& value) {
  rj::StringBuffer buf;
  rj::Writer<rj::StringBuffer> w(buf);
  w.String(value.data(), static_cast<rj::SizeType>(value.size()));
  return std::string(buf.GetString(), buf.GetSize());
}

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

constexpr int64_t kAnn = 1001, kBob = 1002, kDan = 1004, kEve = 4004, kGroup = 5001;

// The network and the three hosts a run plays on. The fuzz target keeps one
// for the whole process: every run attaches new plug-ins, sets the users'
// names and Ann's answers, and leaves the world as it found it (no plug-in,
// record, message or thread, the ids and the clock at their start).
struct World {
  World() { net.addGroup(kGroup, {kAnn, kBob, kDan, kEve}); }
  simhost::Network net;
  simhost::Client& ann = net.addClient("ann", kAnn, 1);
  simhost::Client& bob = net.addClient("bob", kBob, 1);
  simhost::Client& dan = net.addClient("dan", kDan, 1);
};

class Run {
 public:
  Run(World& world, const Values& v) : v_(v), room_("r" + v.room), world_(world) {
    commlib::useVirtualTime(1700000000000);
    for (int64_t id : {kAnn, kBob, kDan, kEve}) net_.addUser(id, v.name);
    ann_.updateConfig([](simhost::ClientConfig& config) { config = simhost::ClientConfig(); });
    for (simhost::Client* c : {&ann_, &bob_, &dan_}) {
      plugins_.push_back(std::make_unique<imsdkmrtc::mrtc_plugin>(1));
      c->attach(plugins_.back().get());
    }
  }
  ~Run() {
    for (auto& p : plugins_) p->other()->stop();
    commlib::advance(10000);
    for (simhost::Client* c : {&ann_, &bob_, &dan_}) {
      c->attach(nullptr);
      c->clearRecords();
    }
    net_.pump();
    net_.clearTraffic();
    net_.restartIds();
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Plays everything and returns the faults found (empty: all held).
  std::vector<std::string> faults() {
    play();
    for (simhost::Client* c : {&ann_, &bob_, &dan_}) collect(*c);
    const std::string usersInfo = "groupId=5001,roomId=" + room_ + ",operUserName=" + v_.name;
    const imsdkmrtc::cardTemplate tpl = plugins_[0]->proxy().templateCopy();
    using imsdkmrtc::getJsonString;
    // clang-format off
    const std::vector<std::pair<std::string, std::vector<std::string>>> wants = {
        {"ann answer call", {plugins_[0]->slb().getMultiServer()}},
        {"ann sent 8 properties", {usersInfo, "21"}},
        {"ann inserted 8 body", {v_.name + "发起了语音通话"}},
        {"ann sent 26 body", {tpl.title, tpl.content, v_.name, imsdkmrtc::base64Encode(v_.name),
                              room_, v_.room, v_.token, v_.addr, v_.label}},
        {"bob event 1", {v_.token, v_.addr}},
        {"ann answer micro info", {v_.room, v_.addr}},
        {"ann answer unbind info", {room_, v_.token, v_.addr}},
        {"ann sent 26 body", {"microconfer", v_.name, v_.room}},
        {"ann sent 26 body", {getJsonString(living(), "roomName"),
                              getJsonString(living(), "version"), v_.name}},
        {"ann event 21", {usersInfo, "22"}},
        {"ann sent 8 properties", {usersInfo, "22"}},
        {"dan event 8", {v_.addr}},
        {"bob inserted 8 properties", {"deviceType=2,callType=1,operUserName=" + v_.name}},
    };
    // clang-format on
    for (const auto& want : wants) check(want.first, want.second);
    if (!v_.token.empty()) check("ann answer token", {room_, v_.token});
    if (!v_.room.empty()) check("ann sent 2 body", {v_.room});
    return faults_;
  }

 private:
  // A text as the client produced it, and every string (keys included) it
  // holds once parsed.
  struct Text {
    std::string where;
    std::string json;
    std::vector<std::string> strings;
  };

  void extra(simhost::Client& c, int8_t type, const std::string& cmd, const char* label = "",
             const std::string& extend = "") {
    asked_[c.extra(type, cmd, extend)] = label;
  }
  imsdk::req_mrtc_request req(const std::string& room, int64_t member, const char* word) const {
    imsdk::req_mrtc_request r;
    r.groupId = kGroup;
    r.roomId = room;
    r.roomName = v_.room;
    r.members = {member};
    r.annotation = word;
    return r;
  }
  std::string living() const {
    return "{\"groupId\":\"5001\",\"roomId\":\"" + room_ + "\",\"roomName\":\"" + v_.room +
           "\",\"version\":\"" + v_.label + "\"}";
  }
  std::string call(const std::string& room, const std::string& version) const {
    // clang-format off
    return object({{"type", "multi_call"}, {"senderId", "4004"}, {"groupId", "5001"},
                   {"onwerId", "4004"}, {"roomId", room}, {"roomName", v_.room},
                   {"deviceType", "2"}, {"version", version}, {"rtcType", "rtc"},
                   {"extend", v_.addr}, {"addr", v_.addr}, {"roomToken", v_.token},
                   {"srvVer", v_.addr}, {"srvTag", v_.addr},
                   {"@initState", "[" + roundtrip::quoted(v_.addr) + "]"}, {"@selects", "[1002,4005]"},
                   {"@members", "[4004,1002,4005]"}, {"@memstates", "[true,false,false]"}});
    // clang-format on
  }

  void play() {
    // Settings texts are read as they stand between the quotes.
    extra(ann_, 7, "{\"tempTitle\":\"" + v_.label + "\",\"tempContent\":\"" + v_.label + "\"}");
    plugins_[0]->proxy().upsertField("row", imsdkmrtc::fieldKey::kUnique, v_.label, v_.label,
                                     v_.label, v_.label);
    extra(ann_, 13, R"({"forceOwnerAddr":"on"})");
    ann_.config().configItems[{"mediaServerAddr", "extend"}] =
        object({{"mediaServerAddr", v_.token}});
    ann_.config().cacheValues[room_] = object({{"@code", "0"}, {"token", v_.token}});
    extra(dan_, 6, R"({"boardSwitch":"on"})");
    extra(dan_, 3, R"({"groupId":"5001"})");

    imsdk::req_mrtc_request r = req(room_, kBob, "");
    // clang-format off
    r.extend = object({{"rtcType", "rtc"}, {"conferMode", "chat"}, {"roomToken", v_.token},
                       {"addr", v_.addr}, {"srvVer", v_.addr}, {"srvTag", v_.addr},
                       {"@initState", "[" + roundtrip::quoted(v_.addr) + "]"}});
    // clang-format on
    asked_[ann_.request(24001, r)] = "call";
    net_.pump();
    bob_.request(24003, req(room_, kBob, "accept"));
    net_.pump();

    extra(ann_, 22, object({{"@reqData", object({{"roomId", room_}})}}), "token");
    // clang-format off
    const std::string conference = object({{"@reqData", object({
        {"conferType", "1"}, {"conferMode", "chat"}, {"groupId", "5001"},
        {"@selects", "[\"1004\"]"}, {"roomName", v_.room}, {"roomId", room_},
        {"roomToken", v_.token}, {"addr", v_.addr}, {"srvTag", v_.addr}})}});
    // clang-format on
    extra(ann_, 17, conference, "micro info");
    extra(ann_, 20, conference, "unbind info");
    extra(ann_, 101, conference);
    extra(ann_, 21, R"({"type":"history"})", "",
          object({{"groupId", "5001"}, {"shareText", v_.room}, {"@outMembers", "[1002]"}}));
    extra(ann_, 8, living());
    bob_.request(24005, req(room_, kBob, "hungup_uiclick"));
    net_.pump();
    ann_.request(24005, req(room_, kAnn, "hungup_uiclick"));
    net_.pump();

    // A phone user's call, seen by Bob (it rings) and by Dan (who watches
    // the group's board); then one from a newer protocol, which only leaves
    // a version hint in Bob's chat.
    net_.inject(kEve, 2, kGroup, call("e" + room_, "mrtc@1.8.8"));
    net_.pump();
    imsdkmrtc::timeoutRecord board;
    board.category = imsdkmrtc::kTimeoutBoardCategory;
    board.type = imsdkmrtc::kTimeoutWait;
    board.key = "e" + room_;
    board.members = {4005};
    plugins_[2]->notify()->onTimeoutDispatch(board);
    net_.inject(kEve, 2, kBob, call("n" + room_, "mrtc@2.0.0"));
    net_.pump();
  }

  // Keeps every text of the client that is JSON by its format, parsed.
  void collect(simhost::Client& c) {
    auto jsonBody = [](uint16_t type) {
      return type == 14 || type == 15 || type == 26 || type == 8 || type == 2;
    };
    auto message = [&](const char* how, uint16_t type, const std::string& body,
                       const std::string& properties) {
      const std::string where = c.name() + how + std::to_string(type);
      if (jsonBody(type)) add(where + " body", body);
      if (!properties.empty()) add(where + " properties", properties);
    };
    for (const auto& m : c.sent()) message(" sent ", m.msgType, m.body, m.properties);
    for (const auto& m : c.inserted()) message(" inserted ", m.msgType, m.body, m.properties);
    for (const auto& e : c.events()) {
      if (!e.extend.empty()) add(c.name() + " event " + std::to_string(e.eventType), e.extend);
    }
    for (const auto& r : c.results()) {
      if (!r.extend.empty()) add(c.name() + " answer " + asked_[r.id], r.extend);
    }
  }
  void add(const std::string& where, const std::string& json) {
    rj::Document doc;
    doc.Parse(json.c_str(), json.size());
    if (doc.HasParseError() || !doc.IsObject()) {
      faults_.push_back(where + " is not JSON: " + json);
      return;
    }
    texts_.push_back({where, json, {}});
    gather(doc, texts_.back().strings);
  }
  static void gather(const rj::Value& v, std::vector<std::string>& out) {
    if (v.IsString()) out.emplace_back(v.GetString(), v.GetStringLength());
    if (v.IsArray()) {
      for (const auto& e : v.GetArray()) gather(e, out);
    }
    if (v.IsObject()) {
      for (const auto& m : v.GetObject()) {
        gather(m.name, out);
        gather(m.value, out);
      }
    }
  }
  // Some text of this kind holds every value whole inside one of its strings.
  void check(const std::string& where, const std::vector<std::string>& values) {
    for (const Text& t : texts_) {
      if (t.where != where) continue;
      bool all = true;
      for (const std::string& value : values) {
        bool found = false;
        for (const std::string& s : t.strings) found = found || s.find(value) != std::string::npos;
        all = all && found;
      }
      if (all) return;
    }
    std::string list;
    for (const std::string& value : values) list += " [" + value + "]";
    faults_.push_back("no " + where + " reads back" + list);
  }

  Values v_;
  std::string room_;
  World& world_;
  simhost::Network& net_ = world_.net;
  simhost::Client& ann_ = world_.ann;
  simhost::Client& bob_ = world_.bob;
  simhost::Client& dan_ = world_.dan;
  std::vector<std::unique_ptr<imsdkmrtc::mrtc_plugin>> plugins_;
  std::map<int64_t, std::string> asked_;  // request id -> answer label
  std::vector<Text> texts_;
  std::vector<std::string> faults_;
};

inline std::vector<std::string> faults(World& world, const Values& v) {
  return Run(world, v).faults();
}
inline std::vector<std::string> faults(const Values& v) {
  World world;
  return faults(world, v);
}

}  // namespace roundtrip
