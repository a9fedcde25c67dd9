// Runs a scenario: sets the clients up, runs each step at its time and
// settles what it set off, threads the plug-ins' records into the timeline,
// plays the applications and the media rooms, then checks what was expected.
#include "runner.h"

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string_view>

#include "base/json.h"
#include "base/ui_event_types.h"
#include "base/wire_words.h"
#include "clock_control.h"
#include "describe.h"
#include "expect.h"
#include "faults/fault_plan.h"
#include "host_message.h"
#include "host_records.h"
#include "invariants/invariants.h"
#include "media_room.h"
#include "notify/notify_texts.h"
#include "plugin_path.h"
#include "request_reader.h"
#include "run.h"
#include "signalling/card_texts.h"
#include "signalling/msg_proxy.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"
#include "simhost.h"
#include "timer/timer_texts.h"
#include "tools.h"

namespace mrtcsim {

namespace {

using imsdkmrtc::kTimerTickMs;

// The fixed text a log format starts with, up to its first field.
constexpr std::string_view formatHead(std::string_view format) {
  return format.substr(0, format.find('%'));
}

// Plug-in log lines the timeline is ordered by.
constexpr std::string_view kLogUiEvent = formatHead(imsdkmrtc::texts::notify::kLogUiSent);
constexpr std::string_view kLogSent = formatHead(imsdkmrtc::texts::wire::kLogSendSucc);
constexpr std::string_view kLogTimeout = formatHead(imsdkmrtc::texts::timer::kOneTimeout);
// The field of a sent message's line that says where it went.
constexpr std::string_view kSendTypeKey = "sendType=";
static_assert(std::string_view(imsdkmrtc::texts::wire::kLogSendSucc).find(kSendTypeKey) !=
              std::string_view::npos);

using codec::describeBody;
using codec::textMember;

int64_t numberAfter(const std::string& text, std::string_view key, int64_t fallback) {
  size_t at = text.find(key);
  if (at == std::string::npos) return fallback;
  return tools::strToInt64(text.substr(at + key.size()));
}

}  // namespace

ClientState& Run::state(const std::string& name) {
  auto it = byName_.find(name);
  if (it != byName_.end()) return clients_[it->second];
  throw RunError("unknown client \"" + name + "\"");
}

std::string Run::participant(int64_t user, int32_t device) const {
  auto it = byDevice_.find({user, device});
  if (it != byDevice_.end()) return clients_[it->second].spec->name;
  return "u" + std::to_string(user) + "_" + deviceName(device);
}

void Run::setUp() {
  for (const UserSpec& u : sc_.users) net_.addUser(u.id, u.name);
  for (const GroupSpec& g : sc_.groups) net_.addGroup(g.id, g.members);
  clients_.reserve(sc_.clients.size());
  for (const ClientSpec& spec : sc_.clients) {
    ClientState cs;
    cs.spec = &spec;
    cs.host = &net_.addClient(spec.name, spec.user, spec.device);
    simhost::ClientConfig& cfg = cs.host->config();
    cfg.timeOffsetMs = spec.timeOffsetMs;
    cfg.loginQuery = spec.loginQuery;
    for (const auto& entry : spec.serverConfig) cfg.configItems[{entry[0], entry[1]}] = entry[2];
    cs.plugin = libraryOf(spec).create();
    if (cs.plugin == nullptr) throw RunError("the plug-in library created no plug-in");
    cs.index = clients_.size();
    byName_.emplace(spec.name, cs.index);
    byHost_.emplace(cs.host, cs.index);
    byDevice_.emplace(std::make_pair(spec.user, spec.device), cs.index);
    clients_.push_back(cs);
    result_.clients.push_back({spec.name, spec.user, spec.device});
  }
  net_.setObserver([this](const simhost::NetMessage& msg, const simhost::Client& to) {
    collectAll();
    Item it = item(to.name(), kind::kDeliver);
    std::string from =
        msg.fromClient.empty() ? participant(msg.senderId, msg.senderDevice) : msg.fromClient;
    codec::deliverFields(it, from, msg.senderId, msg.senderDevice, msg.msgType, msg.targetId,
                         msg.chatId, quoted(msg));
    // A weak hint names its room only in its properties.
    if (!msg.properties.empty()) it.set("properties", msg.properties);
    // How long ago it was sent, when not just now (held, late or injected old).
    if (now() > msg.msgTime) it.set("age", now() - msg.msgTime);
    add(std::move(it));
  });
  if (sc_.faults.loss > 0 || sc_.faults.dup > 0 || sc_.faults.delay > 0 || !sc_.holds.empty()) {
    net_.setFaultPlan([this](const simhost::NetMessage& msg, const simhost::Client& to) {
      std::vector<int64_t> delays = deliveryFaults(sc_.faults, msg.seq, to.name(), result_.faults);
      const int64_t hold = holdFor(msg, to.name());
      if (hold > 0) {
        ++result_.faults["hold"];
        for (int64_t& d : delays) d += hold;
      }
      if (delays.size() == 1 && delays[0] == 0) return delays;
      Item it = item(to.name(), kind::kFault);
      it.set("fault", hold > 0            ? "hold"
                      : delays.empty()    ? "loss"
                      : delays.size() > 1 ? "dup"
                                          : "delay");
      it.set("from",
             msg.fromClient.empty() ? participant(msg.senderId, msg.senderDevice) : msg.fromClient);
      it.set("type", static_cast<int64_t>(msg.msgType));
      describeBody(it, msg.body);
      it.set("properties", msg.properties);
      it.set("delays", delays);
      add(std::move(it));
      return delays;
    });
  }
  for (ClientState& cs : clients_) {
    cs.host->attach(cs.plugin);
    if (cs.spec->login) {
      cs.host->preLogin(cs.spec->preLoginText);
      add(item(cs.spec->name, kind::kLifecycle).set("event", "pre-login"));
      cs.host->login();
      add(item(cs.spec->name, kind::kLifecycle).set("event", "login"));
      collect(cs);
    }
    for (const ExtraSpec& e : cs.spec->settings) extra(cs, e, "setting");
  }
  settle();
}

// A message's copies share its sequence number and body (held, duplicated
// and redelivered copies too), and this run's network never starts its
// numbers again: so a group message is described once for all deliveries.
const codec::QuotedBody& Run::quoted(const simhost::NetMessage& msg) {
  if (msg.seq != quotedSeq_ || msg.body.size() != quotedSize_) {
    quotedBody_ = codec::quoteBody(msg.body);
    quotedSeq_ = msg.seq;
    quotedSize_ = msg.body.size();
  }
  return quotedBody_;
}

void Run::tearDown() {
  for (ClientState& cs : clients_) {
    cs.host->setOnline(false);
  }
  for (ClientState& cs : clients_) {
    libraryOf(*cs.spec).release(cs.plugin);
    cs.plugin = nullptr;
  }
  // Released timer threads see their stop flag after their current sleep.
  commlib::advance(kTimerTickMs + 100);
}

// Only the clients that recorded something can have records to collect; they
// go in scenario order, as a pass over every client would take them.
void Run::collectAll() {
  std::vector<size_t> changed;
  for (const simhost::Client* host : net_.takeChanged()) changed.push_back(byHost_.at(host));
  std::sort(changed.begin(), changed.end());
  for (size_t i : changed) collect(clients_[i]);
}

// New records of one client, in the order the plug-in made them: its log
// lines name each UI event, sent message and fired time-out as it happens,
// so the records are threaded onto the log; anything the log did not name
// follows at the end.
void Run::collect(ClientState& cs) {
  const std::string& name = cs.spec->name;
  const simhost::RecordMarks from = cs.seen;
  // Ours alone: its member lists and bodies move into the timeline, and the
  // host keeps nothing of what is read here.
  simhost::NewRecords fresh = cs.host->takeRecordsAfter(from);
  const simhost::RecordMarks& to = fresh.to;

  auto emitEvent = [&]() {
    if (cs.seen.events >= to.events) return;
    simhost::UiEvent& e = fresh.events[cs.seen.events++ - from.events];
    Item it = item(name, kind::kEvent);
    codec::eventFields(it, e);
    add(std::move(it));
    reactToEvent(cs, result_.items.back());
  };
  auto emitSent = [&]() {
    if (cs.seen.sent >= to.sent) return;
    simhost::NetMessage& m = fresh.sent[cs.seen.sent++ - from.sent];
    Item it = item(name, kind::kMessage);
    codec::sentFields(it, m.msgType, m.targetId, m.chatId == 0 ? m.targetId : m.chatId,
                      m.limitRange, m.properties, m.body);
    add(std::move(it));
  };
  auto emitInserted = [&]() {
    if (cs.seen.inserted >= to.inserted) return;
    simhost::Inserted& m = fresh.inserted[cs.seen.inserted++ - from.inserted];
    Item it = item(name, kind::kInsert);
    codec::insertFields(it, m.msgType, m.targetId, m.limitRange, m.body);
    add(std::move(it));
  };
  // Time-outs armed and taken back: what the reports draw as bars.
  auto emitTimer = [&]() {
    if (cs.seen.timers >= to.timers) return;
    imsdk::timerCmd& c = fresh.timers[cs.seen.timers++ - from.timers].cmd;
    Item it = item(name, kind::kTimer);
    codec::timerFields(it, c);
    it.quiet = true;
    add(std::move(it));
  };

  for (; cs.seen.logs < to.logs; ++cs.seen.logs) {
    const simhost::LogLine& line = fresh.logs[cs.seen.logs - from.logs];
    // A client logs dozens of lines a call: their three fields get room for
    // exactly three.
    Item it = item(name, kind::kLog);
    it.fields.reserve(3);
    add(std::move(it.set("level", static_cast<int64_t>(line.level))
                      .set("func", line.func)
                      .set("text", line.text)));
    if (line.text.rfind(kLogUiEvent, 0) == 0) {
      emitEvent();
    } else if (line.text.rfind(kLogSent, 0) == 0) {
      int64_t sendType = numberAfter(line.text, kSendTypeKey, imsdkmrtc::kSendOnly);
      if (sendType == imsdkmrtc::kInsertOnly || sendType == imsdkmrtc::kInsertThenSend)
        emitInserted();
      if (sendType == imsdkmrtc::kSendOnly || sendType == imsdkmrtc::kInsertThenSend) emitSent();
    } else if (line.text.rfind(kLogTimeout, 0) == 0) {
      add(item(name, kind::kTimeout).set("type", numberAfter(line.text, kLogTimeout, 0)));
    } else if (line.func == imsdkmrtc::texts::timer::kFuncOnTimeout) {
      emitTimer();
    }
  }
  while (cs.seen.events < to.events) emitEvent();
  while (cs.seen.sent < to.sent) emitSent();
  while (cs.seen.inserted < to.inserted) emitInserted();
  while (cs.seen.timers < to.timers) emitTimer();
}

void Run::reactToEvent(ClientState& cs, const Item& ev) {
  if (!cs.appRunning) return;
  int64_t type = ev.num("type");
  if (type == imsdkmrtc::kEventCall || type == imsdkmrtc::kEventTalkState) setInTalk(cs, true);
  if (type == imsdkmrtc::kEventFinished) {
    setInTalk(cs, false);
    leaveMedia(cs);
  }
}

void Run::setInTalk(ClientState& cs, bool inTalk) {
  if (inTalk && !cs.inTalk && cs.spec->keepAliveMs > 0)
    setKeepAlive(cs, now() + cs.spec->keepAliveMs);
  if (!inTalk) setKeepAlive(cs, -1);
  cs.inTalk = inTalk;
}

// Keeps keepAlives_ in step with the client's due time (-1: none).
void Run::setKeepAlive(ClientState& cs, int64_t due) {
  if (cs.keepAliveDue >= 0) keepAlives_.erase({cs.keepAliveDue, cs.index});
  cs.keepAliveDue = due;
  if (due >= 0) keepAlives_.insert({due, cs.index});
}

void Run::schedule(const std::vector<MediaReport>& reports) {
  if (!media_.enabled) return;
  for (const MediaReport& r : reports) {
    const std::vector<int64_t> copies = mediaFaults(sc_.faults, ++mediaReports_, result_.faults);
    for (int64_t late : copies) pending_.push_back({now() + media_.delayMs + late, r});
    // A lost report leaves the reporter's view of the room stale for good.
    if (copies.empty()) {
      add(item(r.reporter, kind::kFault)
              .set("fault", "mediaLoss")
              .set("roomId", r.roomId)
              .set("annotation", r.annotation)
              .set("about", r.user));
    }
  }
}

void Run::enterMedia(ClientState& cs, const std::string& roomId, int64_t groupId) {
  schedule(rooms_.enter(cs.spec->name, cs.spec->user, roomId, groupId));
}

void Run::leaveMedia(ClientState& cs) { schedule(rooms_.leave(cs.spec->name)); }

// Runs the application actions that are due; true when any ran.
bool Run::runDue() {
  bool ran = false;
  const int64_t t = now();
  for (size_t i = 0; i < pending_.size();) {
    if (pending_[i].due > t) {
      ++i;
      continue;
    }
    MediaReport r = pending_[i].report;
    pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
    ClientState& cs = state(r.reporter);
    // A media SDK reports only while its own application is in that room.
    if (!cs.appRunning || rooms_.roomOf(r.reporter) != r.roomId) continue;
    imsdk::req_mrtc_request fields;
    fields.annotation = r.annotation;
    fields.groupId = r.groupId;
    fields.roomId = r.roomId;
    fields.members = {r.user};
    request(cs, imsdk::kCmdConnectState, fields, "media room");
    ran = true;
  }
  // The clients whose keep-alive is due, in scenario order.
  std::vector<size_t> due;
  for (auto it = keepAlives_.begin(); it != keepAlives_.end() && it->first <= t; ++it) {
    due.push_back(it->second);
  }
  std::sort(due.begin(), due.end());
  for (size_t i : due) {
    ClientState& cs = clients_[i];
    setKeepAlive(cs, t + cs.spec->keepAliveMs);
    if (!cs.appRunning || !cs.inTalk) continue;
    collect(cs);
    cs.host->keepAlive();
    Item it = item(cs.spec->name, kind::kRequest);
    it.set("cmd", int64_t{imsdk::kCmdKeepAlive}).set("by", "application");
    it.quiet = true;
    add(std::move(it));
    collect(cs);
    ran = true;
  }
  return ran;
}

// Delivers everything queued and runs what the applications do about it,
// until nothing more happens at this instant.
void Run::settle() {
  for (int rounds = 0; rounds < 10000; ++rounds) {
    size_t delivered = net_.pump();
    collectAll();
    bool ran = runDue();
    if (delivered == 0 && !ran && net_.pending() == 0) return;
  }
  throw RunError("messages keep bouncing between the clients (10000 rounds at one instant)");
}

void Run::advanceTo(int64_t target) {
  while (now() < target) {
    int64_t next = target;
    for (const Pending& p : pending_) next = std::min(next, p.due);
    if (!keepAlives_.empty()) next = std::min(next, keepAlives_.begin()->first);
    int64_t held = net_.nextHeldMs();
    if (held >= 0) next = std::min(next, held);
    if (next <= now()) next = now() + 1;
    commlib::advance(next - now(), [this] { settle(); });
    settle();
  }
}

void Run::request(ClientState& cs, uint16_t cmd, const imsdk::req_mrtc_request& fields,
                  const std::string& by) {
  collect(cs);
  int64_t id = cs.host->request(cmd, fields);
  Item it = item(cs.spec->name, kind::kRequest);
  codec::requestFields(it, cmd, fields);
  if (!by.empty()) it.set("by", by);
  answered(cs, it, id);
  add(it);
  size_t at = result_.items.size() - 1;
  collect(cs);
  afterRequest(cs, cmd, fields, result_.items[at]);
}

void Run::extra(ClientState& cs, const ExtraSpec& e, const std::string& by) {
  collect(cs);
  int64_t id = cs.host->extra(static_cast<int8_t>(e.type), e.cmd, e.extend);
  Item it = item(cs.spec->name, kind::kRequest);
  codec::extraFields(it, e.type, e.cmd, e.extend);
  if (!by.empty()) it.set("by", by);
  answered(cs, it, id);
  add(it);
  collect(cs);
}

void Run::answered(ClientState& cs, Item& it, int64_t id) {
  const std::vector<simhost::Result> results = cs.host->resultsAfter(cs.seen.results);
  codec::answerFields(it, results, 0, id);
  cs.seen.results += results.size();
}

// What the application does once its request was answered.
void Run::afterRequest(ClientState& cs, uint16_t cmd, const imsdk::req_mrtc_request& fields,
                       const Item& it) {
  bool ok = it.find("result") != nullptr && it.num("result") == 0;
  switch (cmd) {
    case imsdk::kCmdCall:
    case imsdk::kCmdIntoRoom:
    case imsdk::kCmdJoin:
      if (ok) {
        setInTalk(cs, true);
        enterMedia(cs, fields.roomId, fields.groupId);
      }
      break;
    case imsdk::kCmdTempletJoin:
      if (ok) {
        // The card names the room; the request's own fields may be empty.
        std::string room = textMember(fields.extend, imsdkmrtc::texts::kKeyRoomId);
        if (room.empty()) room = textMember(fields.extend, imsdkmrtc::texts::card::kKeyRoomIdCard);
        if (room.empty()) room = fields.roomId;
        std::string group = textMember(fields.extend, imsdkmrtc::texts::kKeyGroupId);
        setInTalk(cs, true);
        enterMedia(cs, room, group.empty() ? fields.groupId : tools::strToInt64(group));
      }
      break;
    case imsdk::kCmdHungup:
      setInTalk(cs, false);
      leaveMedia(cs);
      break;
    default:
      break;
  }
}

std::string Run::lastSignalBody(const std::string& client) {
  std::vector<simhost::NetMessage> sent = state(client).host->sent();
  for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
    if (it->msgType == imsdkmrtc::kMsgTypeAll || it->msgType == imsdkmrtc::kMsgTypeFew)
      return it->body;
  }
  throw RunError("client \"" + client + "\" has sent no signalling message to take a body from");
}

std::string Run::lastBodyOfType(const std::string& client, int64_t type) {
  std::vector<simhost::NetMessage> sent = state(client).host->sent();
  for (auto it = sent.rbegin(); it != sent.rend(); ++it) {
    if (it->msgType == type) return it->body;
  }
  // A random workload cannot know whether the card was ever posted (the call
  // may have failed): the application then has no card to join from.
  if (!sc_.invariants.empty()) return "";
  throw RunError("client \"" + client + "\" has sent no message of type " + std::to_string(type));
}

imsdk::hostMessage Run::hostMessage(const MessageSpec& m) {
  imsdk::hostMessage hm;
  static int64_t pulledIds = 900000;
  hm.msgId = m.msgId != 0 ? m.msgId : ++pulledIds;
  hm.sendUserId = m.senderId;
  hm.targetId = m.target;
  hm.msgTime = now() - m.ageMs;
  hm.body = m.bodyFrom.empty() ? m.body : lastSignalBody(m.bodyFrom);
  hm.bodyType = static_cast<uint8_t>(m.bodyType);
  hm.extension = m.properties;
  return hm;
}

// Messages that would have reached this client while it was away.
std::vector<imsdk::hostMessage> Run::missedMessages(ClientState& cs) {
  std::vector<imsdk::hostMessage> out;
  if (cs.offlineSince < 0) return out;
  const int64_t me = cs.spec->user;
  for (const simhost::NetMessage& msg : net_.traffic()) {
    if (msg.seq <= cs.offlineSince || msg.fromClient == cs.spec->name) continue;
    if (cs.offlineUntil >= 0 && msg.seq > cs.offlineUntil) break;
    if (msg.fromClient.empty() && msg.senderId == me && msg.senderDevice == cs.spec->device)
      continue;
    bool reaches = false;
    if (msg.toGroup) {
      for (const GroupSpec& g : sc_.groups) {
        if (g.id == msg.chatId) reaches = std::count(g.members.begin(), g.members.end(), me) > 0;
      }
    } else {
      reaches = msg.chatId == me || msg.senderId == me;
    }
    if (reaches && !msg.limitRange.empty()) {
      reaches = std::count(msg.limitRange.begin(), msg.limitRange.end(), me) > 0;
    }
    if (!reaches) continue;
    out.push_back(codec::toHostMessage(msg));
  }
  return out;
}

void Run::runStep(const Step& step) {
  if (step.hasAt) {
    int64_t target = sc_.startMs + step.atMs;
    if (target < now()) {
      throw RunError("\"at\" " + std::to_string(step.atMs) +
                     " ms is earlier than the current time, " +
                     std::to_string(now() - sc_.startMs) + " ms (an \"advance\" went past it)");
    }
    advanceTo(target);
  }
  ClientState* cs = step.client.empty() ? nullptr : &state(step.client);
  if (step.action != nullptr) {
    if (cs != nullptr && cs->frozen && step.action->asksApp) return;
    (this->*step.action->run)(cs, step);
  }
  settle();
}

// The device drops off the network and its application stops: no
// keep-alive, and the media server sees it leave its room.
void Run::goAway(ClientState& cs) {
  cs.offlineSince = lastTraffic();
  cs.offlineUntil = -1;
  cs.host->setOnline(false);
  setInTalk(cs, false);
  leaveMedia(cs);
  cs.appRunning = false;
}

void Run::comeBack(ClientState& cs) {
  cs.offlineUntil = lastTraffic();
  cs.host->setOnline(true);
  // An application that froze stays frozen when its device comes back.
  cs.appRunning = !cs.frozen;
}

// Event 38 with what the server kept for the client while it was away.
void Run::pullMissed(ClientState& cs) { handOver(cs, missedMessages(cs)); }

void Run::handOver(ClientState& cs, const std::vector<imsdk::hostMessage>& msgs) {
  collect(cs);
  Item it = item(cs.spec->name, kind::kPull);
  it.set("count", static_cast<int64_t>(msgs.size()));
  size_t at = result_.items.size();
  add(std::move(it));
  std::vector<imsdk::hostMessage> back = cs.host->pull(msgs);
  IdList statuses;
  for (const imsdk::hostMessage& hm : back) statuses.push_back(hm.status);
  result_.items[at].set("statuses", statuses);
  collect(cs);
}

int64_t Run::lastTraffic() const {
  std::vector<simhost::NetMessage> traffic = net_.traffic();
  return traffic.empty() ? 0 : traffic.back().seq;
}

bool Run::quiet() const {
  if (commlib::liveThreads() > 0 || !pending_.empty() || net_.held() > 0) return false;
  // A keep-alive is due only for a client in a talk.
  return keepAlives_.empty();
}

RunResult Run::go() {
  commlib::useVirtualTime(sc_.startMs);
  // The timer workers run as fibers on this thread, in the clock's order.
  commlib::useCooperativeThreads(true);
  try {
    setUp();
    for (const Step& step : sc_.steps) {
      size_t from = result_.items.size();
      try {
        runStep(step);
      } catch (const RunError& e) {
        throw RunError("step " + std::to_string(step.index) + ": " + e.what());
      }
      result_.steps.push_back({from, result_.items.size()});
      std::string context = "step " + std::to_string(step.index);
      if (!step.client.empty()) context += " (" + step.client + ")";
      if (!step.note.empty()) context += " \"" + step.note + "\"";
      std::vector<std::string> failed =
          check(step.expects, result_.items, from, result_.items.size(), context);
      result_.failures.insert(result_.failures.end(), failed.begin(), failed.end());
    }
    // Let the talk run out: until no timer thread and no application action
    // is left, or the run-out time is over.
    result_.lastStepMs = now() - sc_.startMs;
    const int64_t limit = now() + sc_.runOutMs;
    while (now() < limit) {
      if (quiet()) break;
      advanceTo(std::min(limit, now() + kTimerTickMs));
    }
    if (quiet()) result_.quietMs = now() - sc_.startMs;
    std::vector<std::string> failed =
        check(sc_.expects, result_.items, 0, result_.items.size(), "final expectations");
    result_.failures.insert(result_.failures.end(), failed.begin(), failed.end());
    if (!sc_.invariants.empty()) {
      for (const Violation& v : checkInvariants(sc_, result_)) {
        if (!v.excusedBy.empty()) {
          result_.excused.push_back(v.invariant + " (" + v.excusedBy + "): " + v.what);
          continue;
        }
        if (std::find(sc_.invariants.begin(), sc_.invariants.end(), v.invariant) ==
                sc_.invariants.end() &&
            std::find(sc_.invariants.begin(), sc_.invariants.end(), "all") ==
                sc_.invariants.end()) {
          continue;
        }
        result_.failures.push_back("invariant " + v.invariant + ": " + v.what);
      }
    }
  } catch (const RunError& e) {
    result_.error = sc_.file + ": " + e.what();
  }
  result_.endMs = now() - sc_.startMs;
  tearDown();
  return std::move(result_);
}

const simhost::PluginLibrary& Run::libraryOf(const ClientSpec& spec) {
  if (spec.plugin.empty()) return lib_;
  auto found = ownLibs_.find(spec.plugin);
  if (found != ownLibs_.end()) return *found->second;
  std::string path = spec.plugin;
  if (path.find('/') == std::string::npos) {
    const std::string beside = defaultPluginPath();
    const size_t slash = beside.rfind('/');
    path = (slash == std::string::npos ? std::string(".") : beside.substr(0, slash)) + "/" + path;
  }
  auto lib = std::make_unique<simhost::PluginLibrary>(path);
  if (!lib->loaded()) throw RunError("client \"" + spec.name + "\": " + lib->error());
  return *ownLibs_.emplace(spec.plugin, std::move(lib)).first->second;
}

int64_t Run::holdFor(const simhost::NetMessage& msg, const std::string& recipient) const {
  if (sc_.holds.empty()) return 0;
  Item probe;
  describeBody(probe, msg.body);
  const std::string command = probe.str("command");
  const std::string room = textMember(msg.body, "roomId");
  for (const HoldSpec& h : sc_.holds) {
    if (h.command == command && h.roomId == room && (h.to.empty() || h.to == recipient)) {
      return h.ms;
    }
  }
  return 0;
}

RunResult runScenario(const Scenario& scenario, const simhost::PluginLibrary& library) {
  Run run(scenario, library);
  return run.go();
}

}  // namespace mrtcsim
