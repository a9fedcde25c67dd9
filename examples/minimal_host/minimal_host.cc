// The smallest complete host: two plug-ins in one process, Alice (1001) and
// Bob (1002), joined by an in-memory IM network, on the real clock. Alice
// rings Bob one-to-one, Bob accepts, Alice hangs up, both are released.
// Exits 0 only when every UI event and answer expected came.
//
// Usage: minimal_host [-v] [path of libmrtcplugin.so.1]; -v prints every log
// line and UI event. Without a path it loads the installed plug-in.
// The plug-in needs a libcommlib.so it can find (LD_LIBRARY_PATH, or a copy
// your process loaded before it).
#include <dlfcn.h>

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "IPlugin.h"

using namespace imsdk;

namespace {

bool verbose = false;

int64_t nowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// What the applications saw, from any thread: a UI event (its type and
// annotation) or an answer (the request's id and the result code).
struct Seen {
  int64_t user;
  bool event;
  int64_t id;
  int32_t type;
  std::string annotation;
};

class Board {
 public:
  void add(Seen s) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (verbose)
      std::printf("%lld: %d %d %s\n", (long long)s.user, s.event, s.type, s.annotation.c_str());
    seen_.push_back(std::move(s));
    changed_.notify_all();
  }
  // Waits up to 5 s for a UI event of this type (and annotation, when given).
  bool waitEvent(int64_t user, int32_t type, const std::string& annotation = {}, int seconds = 5) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(seconds), [&] {
      for (const Seen& s : seen_) {
        if (s.user == user && s.event && s.type == type &&
            (annotation.empty() || s.annotation == annotation)) {
          return true;
        }
      }
      return false;
    });
  }
  // The answer to request id of user, -1 when none came.
  int32_t answer(int64_t user, int64_t id) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Seen& s : seen_) {
      if (s.user == user && !s.event && s.id == id) return s.type;
    }
    return -1;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Seen> seen_;
};

// The IM network: a queue of messages and one thread that delivers them, as
// a host's notification thread would. Only one-to-one messages are routed.
class Network {
 public:
  void join(int64_t user, IPlugin* plugin) { plugins_.push_back({user, plugin}); }
  void send(int64_t from, const req_sendMessage& m) {
    hostMessage msg;
    msg.sendUserId = from;
    msg.targetId = m.targetId;
    msg.msgTime = nowMs();
    msg.body = m.body;
    msg.bodyType = static_cast<uint8_t>(m.msgType);
    msg.extension = m.properties;
    std::lock_guard<std::mutex> lock(mutex_);
    msg.msgId = ++lastId_;  // the server's id: the same for every copy of one message
    queue_.push_back(std::move(msg));
    ready_.notify_one();
  }
  void run() {
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      ready_.wait(lock, [&] { return stop_ || !queue_.empty(); });
      if (queue_.empty()) return;
      hostMessage msg = std::move(queue_.front());
      queue_.pop_front();
      lock.unlock();
      for (const auto& p : plugins_) {
        if (p.first == msg.targetId && p.first != msg.sendUserId) {
          p.second->onNotify(kNotifyMessage, reinterpret_cast<uintptr_t>(&msg), 0);
        }
      }
    }
  }
  void stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
    ready_.notify_one();
  }

 private:
  std::vector<std::pair<int64_t, IPlugin*>> plugins_;
  std::mutex mutex_;
  std::condition_variable ready_;
  std::deque<hostMessage> queue_;
  int64_t lastId_ = 0;
  bool stop_ = false;
};

// [guide:host]
class Host : public IHostService {
 public:
  Host(int64_t user, Network& net, Board& board) : user_(user), net_(net), board_(board) {}
  IPlugin* plugin = nullptr;

  int64_t getTicketValue() override { return 0; }
  std::string getTicketText() override { return {}; }
  int64_t getOwnUserId() override { return user_; }
  // Answers and UI events: read the record, then free it through the plug-in.
  int32_t postToApp(uint16_t cmdId, void* block, int32_t, int32_t) override {
    auto* record = static_cast<_sdkcmd_base*>(static_cast<cmdEnvelope*>(block)->record);
    if (cmdId == kCmdUiEvent) {
      auto* e = static_cast<resp_mrtcEvent*>(record);
      board_.add({user_, true, 0, e->eventType, e->annotation});
    } else {
      auto* r = static_cast<resp_commonResult*>(record);
      board_.add({user_, false, r->id, r->result, {}});
    }
    plugin->releaseCmd(cmdId, record, 0);
    return 0;  // posted: the record was ours to free
  }
  // Loop-backs, run at once on the calling thread.
  int32_t postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t) override {
    plugin->onOther(cmdId, reinterpret_cast<uintptr_t>(data), static_cast<uintptr_t>(len));
    return 0;
  }
  int32_t passRequest(uint16_t cmdId, void* data, int32_t len, int32_t) override {
    plugin->onNetRequest(cmdId, reinterpret_cast<uintptr_t>(data), static_cast<uintptr_t>(len));
    return 0;
  }
  bool sendMessage(req_sendMessage* msg, int32_t, int32_t) override {
    net_.send(user_, *msg);  // copied: the record is gone after this call
    return true;
  }
  int32_t insertMessage(req_insertMessage*, int32_t, int32_t) override { return 0; }
  bool syncRequest(int32_t, com::zbq::im::ap::SessionTicket*,
                   com::zbq::im::ap::CacheRet*) override {
    return false;
  }
  void log(int32_t level, const char*, const char* func, const char* fmt, ...) override {
    if (level < 2 && !verbose) return;
    char line[1200];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(line, sizeof line, fmt, args);
    va_end(args);
    std::fprintf(stderr, "[%lld %d] %s: %s\n", (long long)user_, level, func, line);
  }
  int64_t getTimeMs() override { return nowMs(); }
  bool loginQuery() override { return true; }
  std::string getPreLoginDesc() override { return R"({"netId":1,"apHost":"ap.example.net:443"})"; }
  bool getUserInfo(userInfo* out, int64_t userId) override {
    out->userId = userId;
    out->name = userId == 1001 ? "Alice" : "Bob";
    return true;
  }
  std::string getConfigItem(const std::string&, const std::string&) override { return {}; }
  int32_t registerAddress(const char*, int32_t, const char*, uint16_t, int32_t) override {
    return 0;
  }

 private:
  int64_t user_;
  Network& net_;
  Board& board_;
};
// [/guide:host]

// [guide:request]
// One application request: a record from the plug-in's factory, passed in an
// envelope on slot 3; it comes back on slot 7 through passRequest and is
// answered through postToApp before onRequest returns here.
int64_t lastRequestId = 0;
int64_t request(IPlugin* plugin, uint16_t cmdId, const std::string& annotation,
                const std::string& roomId, std::vector<int64_t> members,
                const std::string& extend) {
  auto* req = static_cast<req_mrtc_request*>(plugin->createCmd(cmdId, true));
  req->id = ++lastRequestId;
  req->annotation = annotation;
  req->groupId = 0;  // a one-to-one call names no group
  req->roomId = roomId;
  req->roomName = "Alice and Bob";
  req->members = std::move(members);
  req->extend = extend;
  cmdEnvelope envelope{req, 0};
  plugin->onRequest(cmdId, reinterpret_cast<uintptr_t>(&envelope), &envelope);
  plugin->releaseCmd(cmdId, req, 0);
  return lastRequestId;
}

int64_t setting(IPlugin* plugin, int8_t type, const std::string& cmd) {
  auto* req = static_cast<req_mrtc_extra*>(plugin->createCmd(kCmdExtra, true));
  req->id = ++lastRequestId;
  req->type = type;
  req->cmd = cmd;
  cmdEnvelope envelope{req, 0};
  plugin->onRequest(kCmdExtra, reinterpret_cast<uintptr_t>(&envelope), &envelope);
  plugin->releaseCmd(kCmdExtra, req, 0);
  return lastRequestId;
}
// [/guide:request]

int failures = 0;
void expect(bool ok, const char* what) {
  std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
  failures += ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  verbose = argc > 1 && std::string(argv[1]) == "-v";
  // By default the installed libmrtcplugin.so.1, named by the CMake package.
  const char* path = argc > 1 + verbose ? argv[1 + verbose] : MRTC_PLUGIN_FILE;
  // [guide:load]
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);  // never dlclose()d
  if (library == nullptr) {
    std::fprintf(stderr, "minimal_host: %s\n", dlerror());
    return 2;
  }
  auto create = reinterpret_cast<decltype(&mrtcplugin_createPlugin)>(
      dlsym(library, "mrtcplugin_createPlugin"));
  auto release = reinterpret_cast<decltype(&mrtcplugin_releasePlugin)>(
      dlsym(library, "mrtcplugin_releasePlugin"));
  // [/guide:load]

  Network net;
  Board board;
  Host alice(1001, net, board);
  Host bob(1002, net, board);
  // [guide:login]
  for (Host* host : {&alice, &bob}) {
    host->plugin = create();
    host->plugin->setHost(host);         // slot 0, before anything else
    postServerText notice{"connected"};  // only logged
    host->plugin->onpostServer(kEventPreLogin, &notice);
    host->plugin->onpostServer(kEventLogin, nullptr);
    // One-to-one calls are off until the application turns them on.
    const int64_t id = setting(host->plugin, 18, R"({"enable":"on"})");
    expect(board.answer(host->getOwnUserId(), id) == 0, "setting 18 is answered 0");
  }
  // [/guide:login]
  net.join(1001, alice.plugin);
  net.join(1002, bob.plugin);
  std::thread delivery([&] { net.run(); });

  // [guide:call]
  int64_t id = request(alice.plugin, kCmdCall, "", "room-1", {1002}, R"({"rtcType":"p2pconfer"})");
  expect(board.answer(1001, id) == 0, "Alice's call is answered 0");
  expect(board.waitEvent(1002, 1), "Bob rings (event 1)");
  id = request(bob.plugin, kCmdIntoRoom, "accept", "room-1", {1002}, "");
  expect(board.answer(1002, id) == 0, "Bob's accept is answered 0");
  expect(board.waitEvent(1001, 3, "accept"), "Alice sees Bob enter (event 3 accept)");
  id = request(alice.plugin, kCmdHungup, "hungup_uiclick", "room-1", {}, "");
  expect(board.answer(1001, id) == 0, "Alice's hang-up is answered 0");
  expect(board.waitEvent(1002, 5, "peer_hungup_uiclick_end"), "Bob's call ends (event 5)");
  // [/guide:call]
  expect(!board.waitEvent(1001, 5, {}, 0), "Alice gets no event 5 after her own hang-up");

  // [guide:release]
  net.stop();
  delivery.join();  // no slot may be running on another thread
  release(alice.plugin);
  release(bob.plugin);
  // The timer thread ends on its own within 3 s; the library stays mapped.
  // [/guide:release]
  std::printf("minimal_host: %s\n", failures == 0 ? "all expected events came" : "FAILED");
  return failures == 0 ? 0 : 1;
}
