// One device's host: the plug-in's host services over XMPP (XmppLink), its
// records as items on the Output, and the calls a host makes into its
// plug-in (life cycle, messages in, the application's requests).
//
// The services, as this host gives them:
// - 16 send: stamped with the server-aligned time, shown as a "message"
//   item and queued to the link (the plug-in sends from its timer thread);
// - 17 insert: shown as an "insert" item (the node keeps no history);
// - 11 post to the application: results answer the request in flight on
//   the posting thread, UI events become "event" items;
// - 12 and 15 loop back to slots 6 and 7 on the calling thread (a timer
//   command posted is shown as a "timer" item);
// - 37 time: the system clock plus the server's offset (XEP-0202);
// - 6 own user, 51 user names and 54 configuration items from the
//   directory; 4, 5, 21, 46, 49 and 56 answer as a host without those
//   features does;
// - 23 log: to the --log file, and fired time-outs as "timeout" items.
#pragma once

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "IPlugin.h"
#include "directory.h"
#include "link.h"
#include "output.h"
#include "records.h"
#include "request_fields.h"

namespace node {

class NodeHost : public imsdk::IHostService, public LinkListener {
 public:
  NodeHost(const Directory& dir, int64_t userId, int32_t device, Output& out, std::FILE* logFile);
  ~NodeHost() override;

  // Attaches the plug-in (slot 0) and the link; then pre-login.
  void attach(imsdk::IPlugin* plugin, XmppLink* link);
  void preLogin();
  // Added to the server-aligned time (a device whose clock is off).
  void setClockOffset(int64_t ms) { clockOffsetMs_ = ms; }

  // The application's requests, answered before they return.
  void request(const codec::RequestFields& q);
  void extra(const codec::ExtraFields& e);
  void keepAlive(bool automatic);
  // A message sent as this device, past the plug-in.
  void inject(int64_t target, uint16_t bodyType, const std::string& body,
              const std::string& properties, const std::vector<int64_t>& limitRange);

  // LinkListener (XMPP thread).
  void linkUp() override;
  void linkDown() override;
  void serverOffset(int64_t ms) override;
  void pulled(const std::vector<WireMessage>& batch) override;
  void received(const WireMessage& m) override;
  void dropped(const std::string& why) override;
  void traffic(const std::string& what) override;

  // IHostService.
  int64_t getTicketValue() override { return 0; }
  std::string getTicketText() override { return ""; }
  int64_t getOwnUserId() override { return userId_; }
  int32_t postToApp(uint16_t cmdId, void* block, int32_t len, int32_t flag) override;
  int32_t postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t flag) override;
  int32_t passRequest(uint16_t cmdId, void* data, int32_t len, int32_t flag) override;
  bool sendMessage(imsdk::req_sendMessage* msg, int32_t len, int32_t flag) override;
  int32_t insertMessage(imsdk::req_insertMessage* msg, int32_t len, int32_t flag) override;
  bool syncRequest(int32_t, com::zbq::im::ap::SessionTicket*,
                   com::zbq::im::ap::CacheRet*) override {
    return false;
  }
  void log(int32_t level, const char* tag, const char* func, const char* fmt, ...) override
      __attribute__((format(printf, 5, 6)));
  int64_t getTimeMs() override;
  bool loginQuery() override { return true; }
  std::string getPreLoginDesc() override { return ""; }
  bool getUserInfo(imsdk::userInfo* out, int64_t userId) override;
  std::string getConfigItem(const std::string& key, const std::string& field) override;
  int32_t registerAddress(const char*, int32_t, const char*, uint16_t, int32_t) override {
    return 0;
  }

  // The name this node's outputs give a device.
  static std::string clientName(const Directory& dir, int64_t userId, int32_t device);

 private:
  // Runs one request through slot 3 and shows it with its answer.
  void run(uint16_t cmdId, imsdk::_sdkcmd_base* record, codec::Item it);

  const Directory& dir_;
  const int64_t userId_;
  const int32_t device_;
  Output& out_;
  std::FILE* logFile_;
  std::mutex logMu_;
  imsdk::IPlugin* plugin_ = nullptr;
  XmppLink* link_ = nullptr;
  std::atomic<int64_t> offsetMs_{0};
  int64_t clockOffsetMs_ = 0;
  std::atomic<int64_t> requestIds_{0};
  bool everUp_ = false;  // XMPP thread only
};

}  // namespace node
