// The records that cross the boundary between a host and its plug-in, as
// items of the shared vocabulary and back. The recorder writes a trace with
// the first half; the replay rebuilds the host's records with the second, so
// that what the replay hands the plug-in is exactly what was recorded.
#pragma once

#include <cstdint>
#include <string>

#include "ap_cache.h"
#include "host_records.h"
#include "item.h"
#include "reader.h"
#include "sdk_cmd.h"

namespace codec {

// Trace entry kinds beside those of the timeline (item.h).
namespace kind {
constexpr const char* kTrace = "trace";        // first entry of a plug-in instance's trace
constexpr const char* kResult = "result";      // a result posted to the application (service 11)
constexpr const char* kQuery = "query";        // a host service that only answers (time, user, ...)
constexpr const char* kSlot = "slot";          // any other slot call
constexpr const char* kLoop = "loop";          // a request the host handed back (slots 6 and 7)
constexpr const char* kRegister = "register";  // media address registered (service 56)
constexpr const char* kPost = "post";    // a request the plug-in hands back to itself (12, 15)
constexpr const char* kPause = "pause";  // the host's process did not run from t to "until"
}  // namespace kind

// Trace version written in the "trace" entry; a reader refuses others.
constexpr int64_t kTraceVersion = 1;
// The release's entry ("slot" of the last entry of a plug-in the host
// released; a trace without it was cut off).
constexpr int64_t kReleaseSlot = 26;
// Slots whose entries a replay acts on (field "slot"); the recorder writes
// them by these numbers.
namespace slot {
constexpr int64_t kName = 2;
constexpr int64_t kRequest = 3;
constexpr int64_t kNotify = 4;
constexpr int64_t kOther = 6;
constexpr int64_t kNet = 7;
constexpr int64_t kPostServer = 12;
}  // namespace slot

// Query names (field "query").
namespace query {
constexpr const char* kOwnUser = "ownUser";          // service 6
constexpr const char* kTicketValue = "ticketValue";  // service 4
constexpr const char* kTicketText = "ticketText";    // service 5
constexpr const char* kTime = "time";                // service 37
constexpr const char* kLoginQuery = "loginQuery";    // service 46
constexpr const char* kPreLogin = "preLoginDesc";    // service 49
constexpr const char* kUserInfo = "userInfo";        // service 51
constexpr const char* kConfigItem = "configItem";    // service 54
constexpr const char* kCache = "cache";              // service 21
}  // namespace query

// Received IM message (slot 4, and each message of a pull).
void hostMessageFields(Item& item, const imsdk::hostMessage& m);
imsdk::hostMessage readHostMessage(const Reader& r, const JValue& v, const std::string& where);

// Message handed to the send (16) or insert (17) service, every field.
void sendRecordFields(Item& item, const imsdk::req_sendMessage& m);
// Timer command (service 12, slot 6): every field, so that it can be rebuilt.
void timerRecordFields(Item& item, const imsdk::timerCmd& c);
imsdk::timerCmd readTimerCmd(const Reader& r, const JValue& v, const std::string& where);
// Media address registration (service 56).
void registerFields(Item& item, const char* name, int32_t zero, const char* ip, uint16_t port,
                    int32_t addrKind);
// Result posted to the application.
void resultFields(Item& item, uint16_t cmdId, uint32_t word, const imsdk::resp_commonResult& r);
// Cache request (service 21): what was asked and what came back.
void cacheFields(Item& item, const com::zbq::im::ap::SessionTicket& t);

// The request a block holding a cmdEnvelope carries (slot 3, services 12 and
// 15, slots 6 and 7); only the command when the block or its record is
// absent (a keep-alive has none).
void envelopeFields(Item& item, uint16_t cmd, const void* block);
// What the plug-in posts to the application (service 11): sets the item's
// kind (event or result) and fields.
void appPostFields(Item& item, uint16_t cmdId, const void* block);
// What the plug-in posts into the host's dispatch (service 12): a timer
// command or a request (kind timer or post).
void dispatchFields(Item& item, uint16_t cmdId, const void* data, int32_t len);

// The application request a slot 3 entry carries, rebuilt.
imsdk::req_mrtc_request readRequestRecord(const Reader& r, const JValue& v,
                                          const std::string& where);

// Any trace entry as an item: integers, strings and integer arrays only.
Item readItem(const Reader& r, const JValue& v, const std::string& where);

}  // namespace codec
