// Calls, hints, cards, shared texts and answers carrying arbitrary values,
// played on the simulated network, and the check that every text the
// plug-ins sent, inserted or posted as JSON parses and gives each value back.
// Shared by the escaping test and the round-trip fuzz target; free of gtest.
//
// A run plays one road of a call (the call itself, its answer, a hang-up, a
// card, ...) with only the steps that road needs. The fuzz target lets each
// input pick its road, so an input costs one road, not the whole call; the
// escaping test plays every road for each of its values.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdio>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/base64.h"
#include "base/text_readers.h"
#include "clock_control.h"
#include "notify/plugin_notify.h"
#include "plugin/mrtc_plugin.h"
#include "signalling/roundtrip_texts.h"
#include "simhost.h"
#include "timer/plugin_other.h"
#include "timer/timeout_record.h"
#include "timer/timer_texts.h"

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
// (arrays, objects) when the key starts with '@'. The members are views, so
// no value is copied into a list before it is written.
inline std::string object(
    std::initializer_list<std::pair<std::string_view, std::string_view>> members) {
  rj::StringBuffer buf;
  rj::Writer<rj::StringBuffer> w(buf);
  w.StartObject();
  for (const auto& m : members) {
    const bool raw = m.first[0] == '@';
    const std::string_view key = raw ? m.first.substr(1) : m.first;
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
// record, message, thread or answer, the ids and the clock at their start).
struct World {
  World() {
    net.addGroup(kGroup, {kAnn, kBob, kDan, kEve});
    // The checks read each client's records, not the network's copy of
    // every message.
    net.keepTraffic(false);
  }
  Texts texts;  // kept so that its buffers are reused from run to run
  simhost::Network net;
  simhost::Client& ann = net.addClient("ann", kAnn, 1);
  simhost::Client& bob = net.addClient("bob", kBob, 1);
  simhost::Client& dan = net.addClient("dan", kDan, 1);
};

// The roads a run can play. Each starts from a world without a call.
enum class Road : uint8_t {
  kCall,         // Ann calls Bob with a card template set: Bob rings
  kAnswer,       // Ann calls, Bob answers and hangs up
  kHangUp,       // Ann calls and hangs up before an answer
  kServerInfo,   // Ann asks for a room token and two conferences' details
  kMicroCard,    // Ann sends a micro-conference card
  kShare,        // Ann shares a text to the group
  kLiving,       // Ann sends a living card
  kPhoneCall,    // a phone user calls the group: Bob rings, Dan's board counts
  kVersionHint,  // a newer protocol's call leaves a version hint in Bob's chat
};
constexpr int kRoads = 9;

// Who takes part in each road, as bits: Ann 1, Bob 2, Dan 4. A client
// without a plug-in is left out of the network's deliveries, so a road does
// not pay for a second reader of the same group text. Dan watches the group
// when a call ends before an answer (the finish notice), Ann reads Bob's
// version reply.
constexpr uint8_t kPlayers[kRoads] = {3, 3, 7, 1, 5, 7, 3, 6, 3};

class Run {
 public:
  Run(World& world, const Values& v, Road road)
      : v_(v), room_("r" + v.room), road_(road), world_(world) {
    commlib::useVirtualTime(1700000000000);
    texts_.clear();
    for (int64_t id : {kAnn, kBob, kDan, kEve}) net_.addUser(id, v.name);
    simhost::Client* clients[] = {&ann_, &bob_, &dan_};
    for (int i = 0; i < 3; ++i) {
      if ((kPlayers[static_cast<int>(road)] & (1 << i)) == 0) continue;
      plugins_[i] = std::make_unique<imsdkmrtc::mrtc_plugin>(1);
      clients[i]->attach(plugins_[i].get());
    }
  }
  ~Run() {
    texts_.clear();  // it points into the records cleared below
    for (auto& p : plugins_) {
      if (p) p->other()->stop();
    }
    // A stopped timer thread ends at its next tick; the clock goes no further.
    for (int tick = 0; tick < 4 && commlib::liveThreads() > 0; ++tick) {
      commlib::advance(imsdkmrtc::kTimerTickMs, [this] { net_.pump(); });
    }
    for (simhost::Client* c : {&ann_, &bob_, &dan_}) {
      c->attach(nullptr);
      c->clearRecords();
    }
    // Ann's answers go with the run that set them: the fuzzer counts an
    // input that allocates more than it frees as a possible leak and runs
    // it again.
    ann_.updateConfig([](simhost::ClientConfig& config) { config = simhost::ClientConfig(); });
    net_.pump();
    net_.clearTraffic();
    net_.restartIds();
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;

  // Appends what the plug-ins produced, read by faults(): two runs of one
  // input must write the same, whatever ran before them.
  void transcribe(std::string& out) const {
    for (int i = 0; i < 3; ++i) {
      const std::string who = std::to_string(i) + " ";
      for (const auto& r : results_[i]) {
        out += who + "answer " + std::to_string(r.cmdId) + " " + std::to_string(r.id) + " " +
               std::to_string(r.result) + " " + r.extend + "\n";
      }
      for (const auto& e : records_[i].events) {
        out += who + "event " + std::to_string(e.eventType) + " " + e.annotation + " " + e.roomId +
               " " + e.extend + "\n";
      }
      for (const auto& m : records_[i].sent) {
        out += who + "sent " + std::to_string(m.msgType) + " " + std::to_string(m.msgId) + " " +
               std::to_string(m.targetId) + " " + m.body + " " + m.properties + "\n";
      }
      for (const auto& m : records_[i].inserted) {
        out += who + "inserted " + std::to_string(m.msgType) + " " + m.body + " " + m.properties +
               "\n";
      }
      for (const auto& t : records_[i].timers) {
        out += who + "timer " + std::to_string(t.cmd.op) + " " + std::to_string(t.cmd.type) + " " +
               t.cmd.key + "\n";
      }
    }
  }

  // Plays the road and returns the faults found (empty: all held).
  std::vector<std::string> faults() {
    play(road_);
    simhost::Client* clients[] = {&ann_, &bob_, &dan_};
    for (int i = 0; i < 3; ++i) collect(*clients[i], records_[i], results_[i]);
    checkRoad();
    return texts_.faults();
  }

 private:
  // The texts of the road that must give the values back.
  void checkRoad() {
    const std::string usersInfo = "groupId=5001,roomId=" + room_ + ",operUserName=" + v_.name;
    Texts& t = texts_;
    switch (road_) {
      case Road::kCall: {
        const auto tpl = plugins_[0]->proxy().currentTemplate();
        t.check("ann answer call", {plugins_[0]->slb().getMultiServer()});
        t.check("ann sent 8 properties", {usersInfo, "21"});
        t.check("ann inserted 8 body", {v_.name + "发起了语音通话"});
        t.check("ann sent 26 body",
                {tpl->title, tpl->content, v_.name, imsdkmrtc::base64Encode(v_.name), room_,
                 v_.room, v_.token, v_.addr, v_.label});
        t.check("bob event 1", {v_.token, v_.addr});
        return;
      }
      case Road::kAnswer:
        t.check("bob sent 15 body", {room_, v_.room});
        t.check("bob event 1", {v_.token, v_.addr});
        return;
      case Road::kHangUp:
        t.check("ann event 21", {usersInfo, "22"});
        t.check("ann sent 8 properties", {usersInfo, "22"});
        return;
      case Road::kServerInfo:
        t.check("ann answer micro info", {v_.room, v_.addr});
        t.check("ann answer unbind info", {room_, v_.token, v_.addr});
        if (!v_.token.empty()) t.check("ann answer token", {room_, v_.token});
        return;
      case Road::kMicroCard:
        t.check("ann sent 26 body", {"microconfer", v_.name, v_.room});
        return;
      case Road::kShare:
        if (!v_.room.empty()) t.check("ann sent 2 body", {v_.room});
        return;
      case Road::kLiving:
        t.check("ann sent 26 body", {imsdkmrtc::getJsonString(living(), "roomName"),
                                     imsdkmrtc::getJsonString(living(), "version"), v_.name});
        return;
      case Road::kPhoneCall:
        t.check("dan event 8", {v_.addr});
        t.check("bob event 1", {v_.token, v_.addr});
        return;
      case Road::kVersionHint:
        t.check("bob inserted 8 properties", {"deviceType=2,callType=1,operUserName=" + v_.name});
        return;
    }
  }

  void extra(simhost::Client& c, int8_t type, const std::string& cmd, const char* label = "",
             const std::string& extend = "") {
    asked_.emplace_back(c.extra(type, cmd, extend), label);
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
  std::string phoneCall(const std::string& room, const std::string& version) const {
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
  std::string conference() const {
    // clang-format off
    return object({{"@reqData", object({
        {"conferType", "1"}, {"conferMode", "chat"}, {"groupId", "5001"},
        {"@selects", "[\"1004\"]"}, {"roomName", v_.room}, {"roomId", room_},
        {"roomToken", v_.token}, {"addr", v_.addr}, {"srvTag", v_.addr}})}});
    // clang-format on
  }

  // Ann's card template: settings texts are read as they stand between the
  // quotes, and a row is added as an application would.
  void cardTemplate() {
    extra(ann_, 7, "{\"tempTitle\":\"" + v_.label + "\",\"tempContent\":\"" + v_.label + "\"}");
    plugins_[0]->proxy().upsertField("row", imsdkmrtc::fieldKey::kUnique, v_.label, v_.label,
                                     v_.label, v_.label);
  }
  // Where Ann's host finds the media server and the room's token.
  void serverAnswers() {
    extra(ann_, 13, R"({"forceOwnerAddr":"on"})");
    ann_.config().configItems[{"mediaServerAddr", "extend"}] =
        object({{"mediaServerAddr", v_.token}});
    ann_.config().cacheValues[room_] = object({{"@code", "0"}, {"token", v_.token}});
  }
  void call() {
    imsdk::req_mrtc_request r = req(room_, kBob, "");
    // clang-format off
    r.extend = object({{"rtcType", "rtc"}, {"conferMode", "chat"}, {"roomToken", v_.token},
                       {"addr", v_.addr}, {"srvVer", v_.addr}, {"srvTag", v_.addr},
                       {"@initState", "[" + roundtrip::quoted(v_.addr) + "]"}});
    // clang-format on
    asked_.emplace_back(ann_.request(24001, r), "call");
    net_.pump();
  }
  void hangUp(simhost::Client& c, int64_t member) {
    c.request(24005, req(room_, member, "hungup_uiclick"));
    net_.pump();
  }

  void play(Road road) {
    switch (road) {
      case Road::kCall:
        cardTemplate();
        serverAnswers();
        call();
        break;
      case Road::kAnswer:
        call();
        bob_.request(24003, req(room_, kBob, "accept"));
        net_.pump();
        hangUp(bob_, kBob);
        break;
      case Road::kHangUp:
        call();
        hangUp(ann_, kAnn);
        break;
      case Road::kServerInfo:
        serverAnswers();
        extra(ann_, 22, object({{"@reqData", object({{"roomId", room_}})}}), "token");
        extra(ann_, 17, conference(), "micro info");
        extra(ann_, 20, conference(), "unbind info");
        break;
      case Road::kMicroCard:
        cardTemplate();
        extra(ann_, 101, conference());
        break;
      case Road::kShare:
        extra(ann_, 21, R"({"type":"history"})", "",
              object({{"groupId", "5001"}, {"shareText", v_.room}, {"@outMembers", "[1002]"}}));
        break;
      case Road::kLiving:
        extra(ann_, 8, living());
        break;
      case Road::kPhoneCall:
        phoneCallOnBoard();
        break;
      case Road::kVersionHint:
        net_.inject(kEve, 2, kBob, phoneCall("n" + room_, "mrtc@2.0.0"));
        break;
    }
    net_.pump();
  }
  // Bob rings; Dan, who watches the group's board, counts who is in when
  // the board's wait ends.
  void phoneCallOnBoard() {
    extra(dan_, 6, R"({"boardSwitch":"on"})");
    extra(dan_, 3, R"({"groupId":"5001"})");
    net_.inject(kEve, 2, kGroup, phoneCall("e" + room_, "mrtc@1.8.8"));
    net_.pump();
    imsdkmrtc::timeoutRecord board;
    board.category = imsdkmrtc::kTimeoutBoardCategory;
    board.type = imsdkmrtc::kTimeoutWait;
    board.key = "e" + room_;
    board.members = {4005};
    plugins_[2]->notify()->onTimeoutDispatch(board);
  }

  // Reads every text of the client that is JSON by its format. The records
  // move to the run (the client's are cleared when it ends), as the texts
  // read point into them.
  void collect(simhost::Client& c, simhost::NewRecords& records,
               std::vector<simhost::Result>& results) {
    records = c.takeRecordsAfter({});
    results = c.results();
    auto jsonBody = [](uint16_t type) {
      return type == 14 || type == 15 || type == 26 || type == 8 || type == 2;
    };
    auto message = [&](const char* how, uint16_t type, const std::string& body,
                       const std::string& properties) {
      if (jsonBody(type)) texts_.add(name(c, how, type, " body"), body);
      if (!properties.empty()) texts_.add(name(c, how, type, " properties"), properties);
    };
    for (const auto& m : records.sent) message(" sent ", m.msgType, m.body, m.properties);
    for (const auto& m : records.inserted) message(" inserted ", m.msgType, m.body, m.properties);
    for (const auto& e : records.events) {
      if (!e.extend.empty()) texts_.add(name(c, " event ", e.eventType), e.extend);
    }
    for (const auto& r : results) {
      if (!r.extend.empty()) texts_.add(name(c, " answer ", -1, askedFor(r.id)), r.extend);
    }
  }
  const char* askedFor(int64_t id) const {
    for (const auto& a : asked_) {
      if (a.first == id) return a.second;
    }
    return "";
  }
  // "ann sent 26 body", "bob event 1", "ann answer token": written into one
  // buffer, as there are a dozen texts a run.
  const std::string& name(const simhost::Client& c, const char* how, int type,
                          const char* tail = "") {
    where_.assign(c.name()).append(how);
    if (type >= 0) where_.append(std::to_string(type));
    return where_.append(tail);
  }

  const Values& v_;
  std::string room_;
  Road road_;
  World& world_;
  simhost::Network& net_ = world_.net;
  simhost::Client& ann_ = world_.ann;
  simhost::Client& bob_ = world_.bob;
  simhost::Client& dan_ = world_.dan;
  Texts& texts_ = world_.texts;
  std::unique_ptr<imsdkmrtc::mrtc_plugin> plugins_[3];  // Ann, Bob, Dan; null: not playing
  std::vector<std::pair<int64_t, const char*>> asked_;  // request id, answer label
  std::string where_;
  simhost::NewRecords records_[3];  // what each client's plug-in produced
  std::vector<simhost::Result> results_[3];
};

// The faults of one road; with a transcript, what the plug-ins produced is
// appended to it.
inline std::vector<std::string> faults(World& world, const Values& v, Road road,
                                       std::string* transcript = nullptr) {
  Run run(world, v, road);
  std::vector<std::string> found = run.faults();
  if (transcript != nullptr) run.transcribe(*transcript);
  return found;
}
// Every road, one after another on one world, as the fuzz target plays them.
inline std::vector<std::string> faults(const Values& v) {
  std::vector<std::string> all;
  World world;
  for (int road = 0; road < kRoads; ++road) {
    for (std::string& f : faults(world, v, static_cast<Road>(road))) all.push_back(std::move(f));
  }
  return all;
}

}  // namespace roundtrip
