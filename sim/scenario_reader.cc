// Reads a scenario file: its top level, its steps (each action by the reader
// the table names) and its expectations.
#include <rapidjson/error/en.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>

#include "base/json.h"
#include "names.h"
#include "reader.h"
#include "request_reader.h"
#include "scenario.h"
#include "sdk_cmd.h"
#include "step_actions.h"
#include "step_readers.h"

namespace mrtcsim {

namespace {

using JValue = json::Value;

using codec::Reader;
using codec::readExtra;

// Expectation keys by item kind; "client" and "count" are allowed for all.
const std::set<std::string>& expectKeys(const std::string& k) {
  static const std::set<std::string> kRequest = {"cmd",     "result",  "answer",  "annotation",
                                                 "groupId", "roomId",  "members", "type",
                                                 "by",      "answered"};
  static const std::set<std::string> kEvent = {"type",    "annotation", "senderId", "selects",
                                               "groupId", "onwerId",    "roomId",   "roomName",
                                               "members", "extend",     "contains"};
  static const std::set<std::string> kMessage = {
      "type",    "target",     "chat",     "limitRange", "body",
      "command", "annotation", "contains", "properties", "flag"};
  static const std::set<std::string> kDeliver = {"from",    "type",       "target",
                                                 "command", "annotation", "contains"};
  static const std::set<std::string> kTimeout = {"type"};
  static const std::set<std::string> kLog = {"contains", "level", "func"};
  if (k == kind::kRequest) return kRequest;
  if (k == kind::kEvent) return kEvent;
  if (k == kind::kMessage || k == kind::kInsert) return kMessage;
  if (k == kind::kDeliver) return kDeliver;
  if (k == kind::kTimeout) return kTimeout;
  return kLog;
}

Expectation readExpectation(const Reader& r, const JValue& v, const std::string& where,
                            const std::string& itemKind, const std::string& label,
                            const Scenario& sc) {
  std::string at = where + ": " + label;
  r.object(v, at);
  Expectation e;
  e.kind = itemKind;
  e.label = label;
  const std::set<std::string>& keys = expectKeys(itemKind);
  for (auto it = v.MemberBegin(); it != v.MemberEnd(); ++it) {
    std::string key(it->name.GetString(), it->name.GetStringLength());
    const JValue& val = it->value;
    if (key == "count") {
      int64_t n = r.integer(val, at, "count");
      if (n < 0 || n > 100000) r.fail(at, "\"count\" must be 0 or more");
      e.count = static_cast<int>(n);
      continue;
    }
    if (key != "client" && keys.count(key) == 0) r.fail(at, "unknown key \"" + key + "\"");
    if ((key == "client" || key == "from") && val.IsString()) {
      std::string name(val.GetString(), val.GetStringLength());
      if (sc.client(name) == nullptr && key == "client") {
        r.fail(at, "unknown client \"" + name + "\"");
      }
    }
    if (key == "contains") {
      e.contains = r.string(val, at, "contains");
    } else if (val.IsInt64()) {
      e.want.push_back({key, val.GetInt64()});
    } else if (val.IsArray()) {
      e.want.push_back({key, r.ids(val, at, key.c_str())});
    } else if (val.IsString() || val.IsObject()) {
      e.want.push_back({key, r.text(val, at, key.c_str())});
    } else {
      r.fail(at, "\"" + key + "\" must be an integer, a string or an array of integers");
    }
  }
  return e;
}

std::vector<Expectation> readExpectBlock(const Reader& r, const JValue& v, const std::string& where,
                                         const Scenario& sc, const Step* step) {
  std::string at = where + ": expect";
  r.object(v, at);
  static const std::pair<const char*, const char*> kLists[] = {
      {"results", kind::kRequest}, {"events", kind::kEvent},       {"messages", kind::kMessage},
      {"inserted", kind::kInsert}, {"deliveries", kind::kDeliver}, {"timeouts", kind::kTimeout},
      {"logs", kind::kLog}};
  std::vector<Expectation> out;
  for (auto it = v.MemberBegin(); it != v.MemberEnd(); ++it) {
    std::string key(it->name.GetString(), it->name.GetStringLength());
    if (key == "result") {
      if (step == nullptr || step->action == nullptr || !step->action->makesRequest) {
        r.fail(at, "\"result\" belongs to a step that makes a request");
      }
      Expectation e;
      e.kind = kind::kRequest;
      e.label = "result";
      e.want.push_back({"client", step->client});
      // A request step names its request; extra and push steps make 24006.
      e.want.push_back({"cmd", step->request.cmd != 0 ? static_cast<int64_t>(step->request.cmd)
                                                      : int64_t{imsdk::kCmdExtra}});
      e.want.push_back({"result", r.integer(it->value, at, "result")});
      out.push_back(std::move(e));
      continue;
    }
    const char* itemKind = nullptr;
    for (const auto& l : kLists) {
      if (key == l.first) itemKind = l.second;
    }
    if (itemKind == nullptr) {
      r.fail(at,
             "unknown key \"" + key +
                 "\" (result, results, events, messages, inserted, deliveries, timeouts, logs)");
    }
    if (!it->value.IsArray()) r.fail(at, "\"" + key + "\" must be an array");
    int i = 0;
    for (const JValue& e : it->value.GetArray()) {
      out.push_back(readExpectation(r, e, at, itemKind, key + "[" + std::to_string(i++) + "]", sc));
    }
  }
  return out;
}

double probability(const Reader& r, const JValue& obj, const char* key) {
  const JValue* v = r.member(obj, key);
  if (v == nullptr) return 0;
  if (!v->IsNumber() || v->GetDouble() < 0 || v->GetDouble() > 1)
    r.fail("faults", std::string("\"") + key + "\" must be a probability from 0 to 1");
  return v->GetDouble();
}

FaultSpec readFaults(const Reader& r, const JValue& v) {
  r.object(v, "faults");
  r.onlyKeys(v, "faults",
             {"seed", "loss", "dup", "delay", "delayMax", "mediaLoss", "mediaDup", "mediaLate"});
  FaultSpec f;
  const int64_t seed = r.intOr(v, "seed", 0, "faults");
  if (seed < 0) r.fail("faults", "\"seed\" must not be negative");
  f.seed = static_cast<uint64_t>(seed);
  f.loss = probability(r, v, "loss");
  f.dup = probability(r, v, "dup");
  f.delay = probability(r, v, "delay");
  f.mediaLoss = probability(r, v, "mediaLoss");
  f.mediaDup = probability(r, v, "mediaDup");
  if (const JValue* d = r.member(v, "delayMax")) f.delayMaxMs = r.seconds(*d, "faults", "delayMax");
  if (const JValue* d = r.member(v, "mediaLate"))
    f.mediaLateMs = r.seconds(*d, "faults", "mediaLate");
  return f;
}

std::vector<HoldSpec> readHolds(const Reader& r, const JValue& v, const Scenario& sc) {
  if (!v.IsArray()) r.fail("holds", "must be an array");
  std::vector<HoldSpec> out;
  int i = 0;
  for (const JValue& h : v.GetArray()) {
    std::string where = "holds[" + std::to_string(i++) + "]";
    r.object(h, where);
    r.onlyKeys(h, where, {"roomId", "command", "to", "seconds"});
    HoldSpec spec;
    spec.roomId = r.string(r.required(h, "roomId", where), where, "roomId");
    spec.command = r.string(r.required(h, "command", where), where, "command");
    spec.to = r.stringOr(h, "to", where);
    if (!spec.to.empty() && sc.client(spec.to) == nullptr) {
      r.fail(where, "unknown client \"" + spec.to + "\" in \"to\"");
    }
    spec.ms = r.seconds(r.required(h, "seconds", where), where, "seconds");
    if (spec.ms <= 0) r.fail(where, "\"seconds\" must be more than 0");
    out.push_back(spec);
  }
  return out;
}

// The step's one action key, checking that every other key is known.
std::string actionKey(const Reader& r, const JValue& v, const std::string& where,
                      const std::set<std::string>& requestFields) {
  std::string action;
  for (auto it = v.MemberBegin(); it != v.MemberEnd(); ++it) {
    std::string key(it->name.GetString(), it->name.GetStringLength());
    if (findStepAction(key) != nullptr) {
      if (!action.empty())
        r.fail(where, "one action per step (\"" + action + "\" and \"" + key + "\")");
      action = key;
    } else if (key != "at" && key != "client" && key != "note" && key != "expect" &&
               requestFields.count(key) == 0) {
      r.fail(where, "unknown key \"" + key + "\"");
    }
  }
  if (action != "request") {
    for (const std::string& f : requestFields) {
      if (r.member(v, f.c_str()) != nullptr) {
        r.fail(where, "\"" + f + "\" belongs to a \"request\" step");
      }
    }
  }
  return action;
}

Step readStep(const Reader& r, const JValue& v, int index, const Scenario& sc) {
  std::string where = "step " + std::to_string(index);
  r.object(v, where);
  static const std::set<std::string> kRequestFields = [] {
    std::set<std::string> keys = codec::requestFieldKeys();
    keys.insert("extendFrom");
    return keys;
  }();
  Step s;
  s.index = index;
  const std::string action = actionKey(r, v, where, kRequestFields);
  if (const JValue* at = r.member(v, "at")) {
    s.hasAt = true;
    s.atMs = r.seconds(*at, where, "at");
  }
  s.note = r.stringOr(v, "note", where);
  s.client = r.stringOr(v, "client", where);
  if (!s.client.empty() && sc.client(s.client) == nullptr) {
    r.fail(where, "unknown client \"" + s.client + "\"");
  }
  s.action = findStepAction(action);
  if (s.action != nullptr) {
    s.action->read(StepInput{r, v, v[action.c_str()], where, sc, s.action->name}, s);
    // A keep-alive written as a request is the keep-alive step.
    if (s.request.cmd == imsdk::kCmdKeepAlive) {
      s.action = findStepAction(codec::requestName(imsdk::kCmdKeepAlive));
    }
    if (s.action->needsClient && s.client.empty()) r.fail(where, "\"client\" is missing");
  }
  if (const JValue* e = r.member(v, "expect")) s.expects = readExpectBlock(r, *e, where, sc, &s);
  return s;
}

// "5 s", "2.5 s".
std::string secondsText(int64_t ms) {
  std::string out = std::to_string(ms / 1000);
  if (ms % 1000 != 0) {
    char frac[8];
    std::snprintf(frac, sizeof(frac), ".%03d", static_cast<int>(ms % 1000));
    std::string f(frac);
    while (f.back() == '0') f.pop_back();
    out += f;
  }
  return out + " s";
}

std::string lineAndColumn(const std::string& text, size_t offset) {
  int line = 1;
  int col = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      col = 1;
    } else {
      ++col;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(col);
}

std::set<int64_t> readUsers(const Reader& r, const JValue& doc, Scenario& sc) {
  std::set<int64_t> userIds;
  if (const JValue* users = r.member(doc, "users")) {
    if (!users->IsArray()) r.fail("users", "must be an array");
    int i = 0;
    for (const JValue& u : users->GetArray()) {
      std::string where = "users[" + std::to_string(i++) + "]";
      r.object(u, where);
      r.onlyKeys(u, where, {"id", "name"});
      UserSpec spec;
      spec.id = r.integer(r.required(u, "id", where), where, "id");
      if (spec.id <= 0) r.fail(where, "\"id\" must be positive");
      if (!userIds.insert(spec.id).second)
        r.fail(where, "user " + std::to_string(spec.id) + " twice");
      spec.name = r.stringOr(u, "name", where);
      sc.users.push_back(spec);
    }
  }
  return userIds;
}

void readGroups(const Reader& r, const JValue& doc, const std::set<int64_t>& userIds,
                Scenario& sc) {
  if (const JValue* groups = r.member(doc, "groups")) {
    if (!groups->IsArray()) r.fail("groups", "must be an array");
    int i = 0;
    for (const JValue& g : groups->GetArray()) {
      std::string where = "groups[" + std::to_string(i++) + "]";
      r.object(g, where);
      r.onlyKeys(g, where, {"id", "members"});
      GroupSpec spec;
      spec.id = r.integer(r.required(g, "id", where), where, "id");
      if (spec.id <= 0) r.fail(where, "\"id\" must be positive");
      spec.members = r.ids(r.required(g, "members", where), where, "members");
      for (int64_t m : spec.members) {
        if (userIds.count(m) == 0)
          r.fail(where, "member " + std::to_string(m) + " is not in users");
      }
      sc.groups.push_back(spec);
    }
  }
}

// `names` are the clients read before; this one's is added.
ClientSpec readClient(const Reader& r, const JValue& c, const std::string& where,
                      const std::set<int64_t>& userIds, std::set<std::string>& names) {
  r.object(c, where);
  r.onlyKeys(c, where,
             {"name", "user", "device", "settings", "keepAlive", "login", "loginQuery",
              "timeOffset", "preLogin", "serverConfig", "plugin"});
  ClientSpec spec;
  spec.name = r.string(r.required(c, "name", where), where, "name");
  if (spec.name.empty()) r.fail(where, "\"name\" must not be empty");
  if (!names.insert(spec.name).second) r.fail(where, "client \"" + spec.name + "\" twice");
  spec.user = r.integer(r.required(c, "user", where), where, "user");
  if (userIds.count(spec.user) == 0) {
    r.fail(where, "user " + std::to_string(spec.user) + " is not in users");
  }
  spec.device = static_cast<int32_t>(r.intOr(c, "device", 1, where));
  if (const JValue* ka = r.member(c, "keepAlive"))
    spec.keepAliveMs = r.seconds(*ka, where, "keepAlive");
  spec.login = r.boolOr(c, "login", true, where);
  spec.loginQuery = r.boolOr(c, "loginQuery", true, where);
  if (const JValue* off = r.member(c, "timeOffset")) {
    if (!off->IsNumber()) r.fail(where, "\"timeOffset\" must be a number of seconds");
    spec.timeOffsetMs = std::llround(off->GetDouble() * 1000.0);
  }
  spec.preLoginText = r.stringOr(c, "preLogin", where);
  spec.plugin = r.stringOr(c, "plugin", where);
  if (const JValue* settings = r.member(c, "settings")) {
    if (!settings->IsArray()) r.fail(where, "\"settings\" must be an array of extra requests");
    int si = 0;
    for (const JValue& s : settings->GetArray()) {
      spec.settings.push_back(readExtra(r, s, where + ": settings[" + std::to_string(si++) + "]"));
    }
  }
  if (const JValue* cfg = r.member(c, "serverConfig")) {
    if (!cfg->IsArray()) r.fail(where, "\"serverConfig\" must be an array of [key, field, value]");
    for (const JValue& e : cfg->GetArray()) {
      if (!e.IsArray() || e.Size() != 3 || !e[0].IsString() || !e[1].IsString() ||
          !e[2].IsString()) {
        r.fail(where, "\"serverConfig\" entries must be [key, field, value] strings");
      }
      spec.serverConfig.push_back({e[0].GetString(), e[1].GetString(), e[2].GetString()});
    }
  }
  return spec;
}

void readClients(const Reader& r, const JValue& doc, const std::set<int64_t>& userIds,
                 Scenario& sc) {
  const JValue& clients = r.required(doc, "clients", "top level");
  if (!clients.IsArray() || clients.Empty()) r.fail("clients", "must be a non-empty array");
  int ci = 0;
  std::set<std::string> names;
  for (const JValue& c : clients.GetArray()) {
    sc.clients.push_back(readClient(r, c, "clients[" + std::to_string(ci++) + "]", userIds, names));
  }
}

void readSteps(const Reader& r, const JValue& doc, Scenario& sc) {
  const JValue& steps = r.required(doc, "steps", "top level");
  if (!steps.IsArray()) r.fail("steps", "must be an array");
  int index = 0;
  int64_t lastAt = 0;
  for (const JValue& s : steps.GetArray()) {
    Step step = readStep(r, s, ++index, sc);
    if (step.hasAt) {
      if (step.atMs < lastAt) {
        r.fail("step " + std::to_string(index),
               "\"at\" goes back in time (" + secondsText(step.atMs) +
                   " after an earlier step at " + secondsText(lastAt) + ")");
      }
      lastAt = step.atMs;
    }
    sc.steps.push_back(std::move(step));
  }
}

}  // namespace

Scenario readScenario(const std::string& text, const std::string& file) {
  Reader r(file);
  json::Document doc;
  doc.Parse(text.c_str(), text.size());
  if (doc.HasParseError()) {
    r.fail(lineAndColumn(text, doc.GetErrorOffset()),
           std::string("not valid JSON (") + json::GetParseError_En(doc.GetParseError()) + ")");
  }
  r.object(doc, "top level");
  r.onlyKeys(doc, "top level",
             {"name", "description", "start", "runOut", "users", "groups", "clients", "mediaRoom",
              "faults", "holds", "invariants", "steps", "expect"});
  Scenario sc;
  sc.file = file;
  sc.name = r.stringOr(doc, "name", "top level");
  sc.description = r.stringOr(doc, "description", "top level");
  sc.startMs = r.intOr(doc, "start", sc.startMs, "top level");
  if (const JValue* ro = r.member(doc, "runOut"))
    sc.runOutMs = r.seconds(*ro, "top level", "runOut");

  const std::set<int64_t> userIds = readUsers(r, doc, sc);
  readGroups(r, doc, userIds, sc);
  readClients(r, doc, userIds, sc);
  if (const JValue* m = r.member(doc, "mediaRoom"))
    sc.media = readMedia(r, *m, "mediaRoom", sc.media);
  if (const JValue* f = r.member(doc, "faults")) sc.faults = readFaults(r, *f);
  if (const JValue* h = r.member(doc, "holds")) sc.holds = readHolds(r, *h, sc);
  if (const JValue* inv = r.member(doc, "invariants")) {
    if (!inv->IsArray()) r.fail("invariants", "must be an array of names");
    for (const JValue& n : inv->GetArray()) {
      sc.invariants.push_back(r.string(n, "invariants", "invariants"));
    }
  }
  readSteps(r, doc, sc);
  if (const JValue* e = r.member(doc, "expect")) {
    sc.expects = readExpectBlock(r, *e, "final", sc, nullptr);
  }
  return sc;
}

Scenario loadScenarioFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(path + ": cannot be read");
  std::stringstream buf;
  buf << in.rdbuf();
  return readScenario(buf.str(), path);
}

}  // namespace mrtcsim
