// Every service of imsdk::IHostService declared as an override, for a class
// that stands in for a whole host (the recorder's wrapper, the replay's host):
// one list, so that a service added to the interface is added to all of them.
#pragma once

#include "host_service.h"

#define MRTC_HOST_SERVICE_OVERRIDES                                                         \
  int64_t getTicketValue() override;                                                        \
  std::string getTicketText() override;                                                     \
  int64_t getOwnUserId() override;                                                          \
  int32_t postToApp(uint16_t cmdId, void* block, int32_t len, int32_t flag) override;       \
  int32_t postToDispatch(uint16_t cmdId, void* data, int32_t len, int32_t flag) override;   \
  int32_t passRequest(uint16_t cmdId, void* data, int32_t len, int32_t flag) override;      \
  bool sendMessage(imsdk::req_sendMessage* msg, int32_t len, int32_t flag) override;        \
  int32_t insertMessage(imsdk::req_insertMessage* msg, int32_t len, int32_t flag) override; \
  bool syncRequest(int32_t request, com::zbq::im::ap::SessionTicket* ticket,                \
                   com::zbq::im::ap::CacheRet* ret) override;                               \
  void log(int32_t level, const char* tag, const char* func, const char* fmt, ...) override \
      __attribute__((format(printf, 5, 6)));                                                \
  int64_t getTimeMs() override;                                                             \
  bool loginQuery() override;                                                               \
  std::string getPreLoginDesc() override;                                                   \
  bool getUserInfo(imsdk::userInfo* out, int64_t userId) override;                          \
  std::string getConfigItem(const std::string& key, const std::string& field) override;     \
  int32_t registerAddress(const char* name, int32_t zero, const char* ip, uint16_t port,    \
                          int32_t kind) override;
