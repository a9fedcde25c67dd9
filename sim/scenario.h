// A scenario: the users, groups and clients of a simulated IM network and
// the timed steps that drive them, with the expectations each step checks.
// Read from JSON; every mistake is reported with the file and the place
// ("step 4", "clients[1]", "line 3, column 7") before anything runs.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "read_error.h"
#include "request_fields.h"
#include "signalling/msg_types.h"
#include "timeline.h"

namespace mrtcsim {

using ScenarioError = codec::ReadError;

// One expected item (or, with count 0, one that must not happen).
struct Expectation {
  std::string kind;   // the timeline item kind it looks for
  std::string label;  // where it is written, e.g. "events[1]"
  std::vector<Field> want;
  std::string contains;  // substring of the item's body, extend or log text
  int count = -1;        // -1: at least one; otherwise exactly this many
};

struct UserSpec {
  int64_t id = 0;
  std::string name;
};

struct GroupSpec {
  int64_t id = 0;
  IdList members;
};

using ExtraSpec = codec::ExtraFields;

struct ClientSpec {
  std::string name;
  int64_t user = 0;
  int32_t device = 1;
  std::vector<ExtraSpec> settings;  // sent once after login, in order
  int64_t keepAliveMs = 20000;      // 0: the application sends no keep-alive
  bool login = true;                // pre-login and login at the start
  bool loginQuery = true;           // host service 46; false switches the redirect on
  int64_t timeOffsetMs = 0;         // host time = clock + offset
  std::string preLoginText;
  std::vector<std::array<std::string, 3>> serverConfig;  // key, field, value
  // Another build of the plug-in for this client alone (an older peer): a
  // library file name next to the simulator's plug-in, or a path.
  std::string plugin;
};

// A message put on the network or handed over in an offline pull.
struct MessageSpec {
  std::string as;  // a client whose user and device send it
  int64_t senderId = 0;
  int32_t device = 1;
  int64_t target = 0;
  std::string body;
  std::string bodyFrom;  // the last signalling message this client sent
  int64_t bodyType = imsdkmrtc::kMsgTypeAll;
  std::string properties;
  IdList limitRange;
  int64_t ageMs = 0;  // how long ago it was sent
  int64_t msgId = 0;
};

struct RequestSpec : codec::RequestFields {
  // Instead of extend: the body of the last message of this type that the
  // client sent (a card to join from, for instance).
  std::string extendFromClient;
  int64_t extendFromType = 0;
};

struct PushSpec {
  int64_t senderId = 0;
  std::string cmd;
  std::string bodyFrom;
  std::string extend;  // given as it is, instead of the one built below
  int64_t ageMs = 0;   // the push's "msgStampTime" is now minus this
};

struct MediaSpec {
  bool enabled = true;
  int64_t delayMs = 0;
};

// Faults drawn from a seed: each decision is a hash of the seed and what it
// is about (the message, the recipient, the copy), so a run replays exactly.
struct FaultSpec {
  uint64_t seed = 0;
  double loss = 0;          // a delivery is lost
  double dup = 0;           // a delivery comes twice (the copy later)
  double delay = 0;         // a delivery comes late
  int64_t delayMaxMs = 0;   // how much later a late copy or a duplicate comes, at most
  double mediaLoss = 0;     // a media room report never comes
  double mediaDup = 0;      // a media room report comes twice
  int64_t mediaLateMs = 0;  // a media room report comes up to this much later
  bool any() const {
    return loss > 0 || dup > 0 || delay > 0 || mediaLoss > 0 || mediaDup > 0 || mediaLateMs > 0;
  }
};

// A message a client sent, delivered once more to another client (same id
// and time), as an at-least-once network redelivers after a reconnect.
struct RedeliverSpec {
  std::string from;     // the client that sent it
  std::string command;  // its last signalling message with this "type"
  // As a new message: a new id and the current time, as a server's retry
  // queue hands a message over again.
  bool asNew = false;
  // The last one without the recall flag: the call itself.
  bool notRecall = false;
};

// Every delivery of a signalling command for a room (to one client, or to
// all) is held back this long on the network: calls that cross, a delivery
// that comes minutes late.
struct HoldSpec {
  std::string roomId;
  std::string command;
  std::string to;  // a client; empty: every recipient
  int64_t ms = 0;
};

struct Step;
struct StepInput;
struct ClientState;
class Run;

// What a step does: its key in the file, how its value is read and what the
// runner does with it (the table is in step_actions.cc).
struct StepAction {
  const char* name;
  void (*read)(const StepInput& in, Step& step);
  void (Run::*run)(ClientState* cs, const Step& step);
  bool needsClient;   // the step must name its client
  bool asksApp;       // the application acts: nothing once it froze
  bool makesRequest;  // the step may expect a "result"
};

struct Step {
  int index = 0;  // 1-based, as reported
  bool hasAt = false;
  int64_t atMs = 0;
  std::string client;
  std::string note;
  const StepAction* action = nullptr;  // none: the step only waits or checks
  RequestSpec request;
  ExtraSpec extra;
  int64_t advanceMs = 0;
  MessageSpec message;
  bool pullMissed = false;
  std::vector<MessageSpec> pulled;
  PushSpec push;
  std::string text;
  bool online = true;
  MediaSpec media;
  bool cut = false;
  RedeliverSpec redeliver;
  std::vector<Expectation> expects;
};

struct Scenario {
  std::string file;
  std::string name;
  std::string description;
  int64_t startMs = 1767225600000;  // 2026-01-01 00:00:00 UTC
  int64_t runOutMs = 300000;        // time allowed after the last step to go quiet
  std::vector<UserSpec> users;
  std::vector<GroupSpec> groups;
  std::vector<ClientSpec> clients;
  MediaSpec media;
  FaultSpec faults;
  std::vector<HoldSpec> holds;
  // Invariants checked over the whole run (see invariants/invariants.h); a broken
  // one is a failed expectation.
  std::vector<std::string> invariants;
  std::vector<Step> steps;
  std::vector<Expectation> expects;  // checked over the whole run

  const ClientSpec* client(const std::string& name) const {
    for (const ClientSpec& c : clients) {
      if (c.name == name) return &c;
    }
    return nullptr;
  }
  // The longest hold (0 when none).
  int64_t longestHoldMs() const {
    int64_t longest = 0;
    for (const HoldSpec& h : holds) longest = std::max(longest, h.ms);
    return longest;
  }
};

// Throws ScenarioError with "file: place: problem" (scenario_reader.cc).
Scenario readScenario(const std::string& text, const std::string& file);
Scenario loadScenarioFile(const std::string& path);

// The scenario that runs when none is named.
extern const char* const kDefaultScenarioText;
constexpr const char* kDefaultScenarioName = "(built-in default scenario)";

}  // namespace mrtcsim
