// The host's service object as the plug-in sees it (set through IPlugin slot 0).
//
// Services sit at fixed virtual slots; slots the plug-in does not use keep
// their place as reserved entries. The host may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

#include "ap_cache.h"
#include "host_records.h"
#include "sdk_cmd.h"

namespace imsdk {

constexpr int32_t kRequestQueryCaches = 208;

class IHostService {
 public:
  virtual void reserved0() {}
  virtual void reserved1() {}
  virtual void reserved2() {}
  virtual void reserved3() {}
  // slot 4
  // Value and text that go into a cache request's SessionTicket.
  virtual int64_t getTicketValue() = 0;
  // slot 5
  virtual std::string getTicketText() = 0;
  // slot 6
  // The logged-in user.
  virtual int64_t getOwnUserId() = 0;
  virtual void reserved7() {}
  virtual void reserved8() {}
  virtual void reserved9() {}
  virtual void reserved10() {}
  // slot 11
  // Post a response or UI event to the application: block is a
  // cmdEnvelope, len 8. 0 means posted and the host owns the record; any
  // other answer leaves the record with the caller.
  virtual int32_t postToApp(uint16_t cmdId, void* block, int32_t len, int32_t flag) = 0;
  // slot 12
  // Post into the host's own dispatch; it comes back on IPlugin slot 6. A
  // timer command lives only during the call. The answer is not read.
  virtual int32_t postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t flag) = 0;
  virtual void reserved13() {}
  virtual void reserved14() {}
  // slot 15
  // Pass an application request on; it comes back on IPlugin slot 7. The
  // answer is not read.
  virtual int32_t passRequest(uint16_t cmdId, void* data, int32_t len, int32_t flag) = 0;
  // slot 16
  // Send an IM message; true when the host accepted it. The record lives
  // only during the call.
  virtual bool sendMessage(req_sendMessage* msg, int32_t len, int32_t flag) = 0;
  // slot 17
  // Insert a message into the local history only. The answer is not read.
  virtual int32_t insertMessage(req_insertMessage* msg, int32_t len, int32_t flag) = 0;
  virtual void reserved18() {}
  virtual void reserved19() {}
  virtual void reserved20() {}
  // slot 21
  // Synchronous request (208: net_cmd_qCaches): ticket with its CacheParam
  // in, CacheRet out.
  virtual bool syncRequest(int32_t request, com::zbq::im::ap::SessionTicket* ticket,
                           com::zbq::im::ap::CacheRet* ret) = 0;
  virtual void reserved22() {}
  // slot 23
  // Log: level, tag "mrtc", qualified function name, printf format. Two
  // levels: 0 the ordinary trace; 2 something refused or dropped (a version
  // mismatch, input over a limit, a repeated card join, a pre-login
  // description without "apHost", a full time-out queue, a thread that did
  // not start).
  virtual void log(int32_t level, const char* tag, const char* func, const char* fmt, ...)
      __attribute__((format(printf, 5, 6))) = 0;
  virtual void reserved24() {}
  virtual void reserved25() {}
  virtual void reserved26() {}
  virtual void reserved27() {}
  virtual void reserved28() {}
  virtual void reserved29() {}
  virtual void reserved30() {}
  virtual void reserved31() {}
  virtual void reserved32() {}
  virtual void reserved33() {}
  virtual void reserved34() {}
  virtual void reserved35() {}
  virtual void reserved36() {}
  // slot 37
  // Server-aligned time in milliseconds (message ages).
  virtual int64_t getTimeMs() = 0;
  virtual void reserved38() {}
  virtual void reserved39() {}
  virtual void reserved40() {}
  virtual void reserved41() {}
  virtual void reserved42() {}
  virtual void reserved43() {}
  virtual void reserved44() {}
  virtual void reserved45() {}
  // slot 46
  // Login query; its negation switches the service-account redirect on.
  virtual bool loginQuery() = 0;
  virtual void reserved47() {}
  virtual void reserved48() {}
  // slot 49
  // Pre-login description: a JSON text such as
  // {"netId":3,"apHost":"https://ap.example.net:443"} (netId a bare number).
  virtual std::string getPreLoginDesc() = 0;
  virtual void reserved50() {}
  // slot 51
  // User information; false when the user is unknown.
  virtual bool getUserInfo(userInfo* out, int64_t userId) = 0;
  virtual void reserved52() {}
  virtual void reserved53() {}
  // slot 54
  // Server configuration item by key and field name ("value" or "extend");
  // empty when there is none.
  virtual std::string getConfigItem(const std::string& key, const std::string& field) = 0;
  virtual void reserved55() {}
  // slot 56
  // Register the media address: "0", 0, ip, port, 6. The answer is not read.
  virtual int32_t registerAddress(const char* name, int32_t zero, const char* ip, uint16_t port,
                                  int32_t kind) = 0;

 protected:
  virtual ~IHostService() = default;
};

}  // namespace imsdk
