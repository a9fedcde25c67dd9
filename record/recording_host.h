// The host's service object as the real plug-in sees it through the shim:
// every service call is passed to the host and written to the trace with
// its arguments and its answer.
#pragma once

#include <string>

#include "host_service.h"

namespace mrtcrecord {

class RecordingHost : public imsdk::IHostService {
 public:
  RecordingHost(imsdk::IHostService* host, std::string client)
      : host_(host), client_(std::move(client)) {}
  ~RecordingHost() override = default;

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

 private:
  // Both set once before the plug-in can call; read-only afterwards.
  imsdk::IHostService* const host_;
  const std::string client_;
};

}  // namespace mrtcrecord
