// The simulated host: an in-memory IM network shared by several clients, each
// a host service object driving one plug-in instance.
//
// What it does, as a real host and server would:
// - service 16 (send): the message is queued on the network with the clock's
//   time; pump() delivers it as notification 144 on slot 4. A message to a
//   user reaches that user's devices and the sender's other devices; a
//   message to a group reaches the devices of every member; a limit range
//   keeps only the users in it (the sender's other devices included); a
//   message never comes back to the device that sent it. Recipients are
//   chosen when the message is delivered: a client offline or without a
//   plug-in then gets nothing, and nothing is kept for it (pull() hands a
//   client what it missed).
// - faults: a fault plan, when set, decides for each delivery how many copies
//   reach the client and after how long (none: the message is lost; a later
//   copy is held and delivered by the first pump() at or after its time, so
//   messages overtake each other). A held copy reaches the client only if it
//   is online with a plug-in when it is due.
// - a message to the service account 10001 is relayed to the real target
//   named by "targetID" in its properties; it arrives still addressed to 10001
//   with those properties, as a server relays it. Without a usable
//   "targetID" it goes to user 10001.
// - service 17 (insert): kept per inserting client (the record names the chat).
// - service 12 is looped back to slot 6 and service 15 to slot 7, once each,
//   in posting order, on the posting thread; timer commands posted are copied.
// - service 11: every result and UI event is recorded, then the record is
//   released through its virtual destructor (also when the post fails).
// - Client::keepRecords(false) stops the recording of results, events,
//   messages sent and inserted, and timer posts; the services act the same.
// - services 4, 5, 21, 37, 46, 49 and 54 answer from per-client
//   configuration, 6 with the client's user, 51 from the network's users;
//   service 23 formats and keeps every log line; 56 records the address.
//
// Threads: every public member may be called from any thread. Network and
// client state is guarded by one network mutex, which is never held while a
// plug-in slot runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "IPlugin.h"
#include "host_records.h"
#include "host_service.h"
#include "records.h"
#include "sdk_cmd.h"
#include "signalling/msg_types.h"
#include "signalling/wire_texts.h"

namespace simhost {

constexpr int64_t kServiceAccount = imsdkmrtc::texts::wire::kServiceAccount;

// A message as it travelled over the network (or was injected).
struct NetMessage {
  int64_t seq = 0;         // network order
  std::string fromClient;  // name of the sending client ("" when injected)
  int64_t msgId = 0;
  int64_t senderId = 0;
  int32_t senderDevice = 0;  // device type of the sender
  int64_t targetId = 0;      // as addressed (10001 for a redirected message)
  int64_t chatId = 0;        // the real chat: group or peer user
  bool toGroup = false;
  uint16_t msgType = 0;  // body type on arrival
  uint8_t msgFlag = 0;
  std::string body;
  std::string properties;
  std::vector<int64_t> limitRange;
  int64_t msgTime = 0;  // ms
};

struct Inserted {
  int64_t msgId = 0;
  int64_t senderId = 0;
  int64_t targetId = 0;
  uint16_t msgType = 0;
  uint8_t msgFlag = 0;
  std::string body;
  std::string properties;
  std::vector<int64_t> limitRange;
};

using codec::Result;
using codec::UiEvent;

struct LogLine {
  int32_t level = 0;
  std::string tag;
  std::string func;
  std::string text;
};

// A copy of a timer command posted with service 12.
struct TimerPost {
  imsdk::timerCmd cmd;
};

// How many records of each kind a client holds: a reader that keeps these
// asks only for what came after (Client::recordsAfter).
struct RecordMarks {
  size_t logs = 0;
  size_t events = 0;
  size_t sent = 0;
  size_t inserted = 0;
  size_t timers = 0;
  size_t results = 0;
};

// The records made after some marks; `to` are the marks after them.
struct NewRecords {
  RecordMarks to;
  std::vector<LogLine> logs;
  std::vector<UiEvent> events;
  std::vector<NetMessage> sent;
  std::vector<Inserted> inserted;
  std::vector<TimerPost> timers;
};

class Client;
// The delays in ms of the copies of one delivery, in order; empty: lost.
using FaultPlan = std::function<std::vector<int64_t>(const NetMessage&, const Client&)>;

// Per-client answers to the host services.
struct ClientConfig {
  int64_t ticketValue = 0;                                                 // service 4
  std::string ticketText;                                                  // service 5
  bool loginQuery = true;                                                  // service 46
  std::string preLoginDesc;                                                // service 49
  std::map<std::pair<std::string, std::string>, std::string> configItems;  // service 54
  int64_t timeOffsetMs = 0;  // service 37 = clock + offset
  // Service 21 (request 208): answers by room id (CacheParam key).
  bool cacheOk = true;
  int32_t cacheCode = 0;
  std::map<std::string, std::string> cacheValues;
  // Failure switches.
  bool refuseSend = false;  // service 16 reports failure
  bool failPost = false;    // service 11 returns non-zero
};

class Network;

class Client : public imsdk::IHostService {
 public:
  Client(Network* net, std::string name, int64_t userId, int32_t deviceType);
  ~Client() override;

  const std::string& name() const { return name_; }
  int64_t userId() const { return userId_; }
  int32_t deviceType() const { return deviceType_; }

  // Attaches a plug-in (calls slot 0). The client does not own it.
  void attach(imsdk::IPlugin* plugin);
  imsdk::IPlugin* plugin() const { return plugin_; }
  // Stops delivering to this client (a client that vanished).
  void setOnline(bool online);
  bool online() const;

  // Set the configuration before the client is busy; updateConfig() changes
  // it under the network mutex while other threads use the client.
  ClientConfig& config() { return config_; }
  void updateConfig(const std::function<void(ClientConfig&)>& change);

  // Life-cycle events on slot 12.
  void preLogin(const std::string& logo = "");
  void login();
  // Event 38 with these messages; returns them as the plug-in left them
  // (status may be set).
  std::vector<imsdk::hostMessage> pull(std::vector<imsdk::hostMessage> messages);
  // Address registration (slot 6, type 2).
  bool registerAddress();

  // Application requests: built with the plug-in's own factory (slot 15),
  // handed to slot 3 in an envelope. Returns the request id used.
  int64_t request(uint16_t cmdId, const imsdk::req_mrtc_request& fields);
  int64_t extra(int8_t type, const std::string& cmd, const std::string& extend = "");
  void keepAlive();

  // What the plug-in produced (copies; safe to call any time).
  std::vector<Result> results() const;
  std::vector<UiEvent> events() const;
  std::vector<LogLine> logs() const;
  std::vector<Inserted> inserted() const;
  std::vector<TimerPost> timerPosts() const;
  std::vector<NetMessage> sent() const;  // what this client sent
  // The records made after the marks given (all of them for empty marks).
  NewRecords recordsAfter(const RecordMarks& marks) const;
  // Drops the log lines, events, inserts and timer posts before the marks,
  // for a reader that has them already (a long simulation would otherwise
  // hold everything twice). Marks keep counting from the first record;
  // logs(), events(), inserted() and timerPosts() return what is left.
  void forgetRecords(const RecordMarks& marks);
  // recordsAfter and then forgetRecords up to the marks it returns, for a
  // reader that reads each record once: the log lines, events, inserts and
  // timer posts after the marks move out rather than being copied (a group
  // call's events carry every member).
  NewRecords takeRecordsAfter(const RecordMarks& marks);
  std::vector<Result> resultsAfter(size_t mark) const;
  // True when some log line's text contains the given text.
  bool hasLog(const std::string& text) const;
  void clearRecords();
  // Whether results, events, messages sent and inserted, and timer posts are
  // recorded (on by default). A harness that reads none of them turns it
  // off: each was a copy or a move of what the plug-in handed over, made
  // for nobody. What the services do is the same either way.
  void keepRecords(bool keep);

  // IHostService.
  int64_t getTicketValue() override;
  std::string getTicketText() override;
  int64_t getOwnUserId() override;
  int32_t postToApp(uint16_t cmdId, void* block, int32_t len, int32_t flag) override;
  int32_t postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t flag) override;
  int32_t passRequest(uint16_t cmdId, void* data, int32_t len, int32_t flag) override;
  bool sendMessage(imsdk::req_sendMessage* msg, int32_t len, int32_t flag) override;
  int32_t insertMessage(imsdk::req_insertMessage* msg, int32_t len, int32_t flag) override;
  bool syncRequest(int32_t request, com::zbq::im::ap::SessionTicket* ticket,
                   com::zbq::im::ap::CacheRet* ret) override;
  void log(int32_t level, const char* tag, const char* func, const char* fmt, ...) override
      __attribute__((format(printf, 5, 6)));
  int64_t getTimeMs() override;
  bool loginQuery() override;
  std::string getPreLoginDesc() override;
  bool getUserInfo(imsdk::userInfo* out, int64_t userId) override;
  std::string getConfigItem(const std::string& key, const std::string& field) override;
  int32_t registerAddress(const char* name, int32_t zero, const char* ip, uint16_t port,
                          int32_t kind) override;

  // Cache requests seen (service 21), and registered addresses (service 56).
  int cacheRequests() const;
  std::vector<std::pair<std::string, uint16_t>> registered() const;

 private:
  friend class Network;
  Network* net_;
  std::string name_;
  int64_t userId_;
  int32_t deviceType_;
  imsdk::IPlugin* plugin_ = nullptr;
  bool online_ = true;
  ClientConfig config_;
  std::vector<Result> results_;
  std::vector<UiEvent> events_;
  std::vector<LogLine> logs_;
  std::vector<Inserted> inserted_;
  std::vector<TimerPost> timerPosts_;
  std::vector<NetMessage> sent_;
  int cacheRequests_ = 0;
  std::vector<std::pair<std::string, uint16_t>> registered_;
  std::atomic<bool> quietLogs_{false};
  std::atomic<bool> keepRecords_{true};
  bool changed_ = false;   // listed in the network's changed clients
  RecordMarks forgotten_;  // records dropped by forgetRecords
  // Lists the client among the changed ones (network mutex held).
  void recordedLocked();
  // The attached plug-in, read under the network mutex.
  imsdk::IPlugin* attached() const;
  friend void setQuietLogs(Client&, bool);
};

// Logging can be switched off per client (benchmarks).
void setQuietLogs(Client& client, bool quiet);

class Network {
 public:
  Network();
  ~Network();
  Network(const Network&) = delete;
  Network& operator=(const Network&) = delete;

  void addUser(int64_t userId, const std::string& name);
  void addGroup(int64_t groupId, const std::vector<int64_t>& members);
  // A device of a user. The name identifies the client in records.
  Client& addClient(const std::string& name, int64_t userId, int32_t deviceType = 1);
  Client* client(const std::string& name);
  std::vector<Client*> clients();
  bool isGroup(int64_t id) const;
  std::string userName(int64_t userId) const;

  // Puts a message on the network as any user and device, like a phone
  // client or a malicious one would. bodyType 14 unless told otherwise; the
  // time is the clock's unless given. A client of that same user and device
  // counts as the sender and gets nothing back.
  void inject(int64_t senderId, int32_t senderDevice, int64_t targetId, const std::string& body,
              uint16_t bodyType = imsdkmrtc::kMsgTypeAll, const std::string& properties = "",
              const std::vector<int64_t>& limitRange = {}, int64_t msgTimeMs = -1);

  // Delivers queued messages (also those sent while delivering) until none is
  // left; returns how many deliveries were made. Called without locks held.
  // Pumps from several threads take turns; a pump from inside a delivery
  // returns 0 at once (the running pump delivers what it queued).
  size_t pump();
  // Messages waiting for pump().
  size_t pending() const;
  // Every message that went over the network, in order.
  std::vector<NetMessage> traffic() const;
  void clearTraffic();
  // Whether traffic() keeps a copy of every message (on by default). A
  // harness that never reads it turns it off: each message's body and
  // properties were copied once more only for it.
  void keepTraffic(bool keep);
  // Starts message, injection and request ids from 1 again (with nothing
  // queued or held): a harness that replays inputs in one process gives each
  // the same ids.
  void restartIds();
  // The clients that recorded a log line, event, message, insert or timer
  // post since the last call, in the order they first did. A reader that
  // follows every client's records looks at these only.
  std::vector<Client*> takeChanged();
  // Called for each message as it is delivered (simulator timelines).
  void setObserver(std::function<void(const NetMessage&, const Client&)> observer);

  // Clock used for message times (the commLib clock).
  int64_t nowMs() const;

  // Faults: see the top of this file. An empty plan delivers every message
  // once, at once.
  void setFaultPlan(FaultPlan plan);
  // Hands the client a copy of a message that already went over the network
  // (same id and time), after the given delay: a redelivery.
  void redeliver(const NetMessage& msg, const std::string& client, int64_t afterMs);
  // Time the next held copy is due (-1: none held).
  int64_t nextHeldMs() const;
  size_t held() const;

 private:
  friend class Client;
  struct Delivery {
    Client* client;
    imsdk::IPlugin* plugin;
  };
  // Both with mu_ held.
  void enqueueLocked(NetMessage& msg);
  // A queued message, or a held copy that is due.
  bool deliverableLocked() const;
  void recipientsLocked(const NetMessage& msg, std::vector<Delivery>& out) const;
  int64_t nextRequestId();

  mutable std::mutex mu_;
  std::mutex pumpMu_;  // one pump at a time; never taken with mu_ held
  std::map<int64_t, std::string> users_;
  std::map<int64_t, std::set<int64_t>> groups_;
  std::vector<std::unique_ptr<Client>> clients_;
  // Indexes into clients_, so that delivery costs what it delivers: by user
  // (in clients_ order) and by name.
  std::map<int64_t, std::vector<size_t>> clientsOfUser_;
  std::multimap<std::string, size_t> clientNamed_;
  std::vector<Client*> changed_;
  std::deque<NetMessage> queue_;
  struct Held {
    NetMessage msg;
    std::string client;
  };
  // Held copies by due time, then by the order they were held in.
  std::map<std::pair<int64_t, int64_t>, Held> held_;
  int64_t heldOrder_ = 0;
  FaultPlan plan_;
  std::vector<NetMessage> traffic_;
  bool keepTraffic_ = true;
  // recipientsLocked's working lists, kept so that a delivery allocates
  // nothing once they have grown (guarded by mu_).
  mutable std::vector<int64_t> scratchUsers_;
  mutable std::vector<size_t> scratchIndexes_;
  int64_t seq_ = 0;
  int64_t injectedIds_ = 0;
  int64_t requestIds_ = 0;
  std::function<void(const NetMessage&, const Client&)> observer_;
};

}  // namespace simhost
