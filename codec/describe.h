// Host records as items: the fields each kind of item carries, in the order
// the outputs print them. The caller makes the item (time, client, kind) and
// the functions here fill in its fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "item.h"
#include "records.h"
#include "sdk_cmd.h"

namespace codec {

// A UI event (24007).
void eventFields(Item& item, const UiEvent& e);
// A message handed to the send service; chat is the group or peer it is
// about (the target, unless it went through the service account).
void sentFields(Item& item, uint16_t type, int64_t target, int64_t chat, const IdList& limitRange,
                const std::string& properties, const std::string& body);
// A message inserted into the local history.
void insertFields(Item& item, uint16_t type, int64_t target, const IdList& limitRange,
                  const std::string& body);
// A message delivered to a client; from names the sending client.
void deliverFields(Item& item, const std::string& from, int64_t fromUser, int64_t fromDevice,
                   uint16_t type, int64_t target, int64_t chat, const std::string& body);
// A message body as the items that quote it hold it: the fields that
// describeBody adds, and the text that every copy shares. A host that records
// one message many times (each delivery of a group message) makes it once.
struct QuotedBody {
  std::vector<Field> fields;
  Text text;
};
QuotedBody quoteBody(const std::string& body);
void deliverFields(Item& item, const std::string& from, int64_t fromUser, int64_t fromDevice,
                   uint16_t type, int64_t target, int64_t chat, const QuotedBody& body);
// A time-out armed or taken back.
void timerFields(Item& item, const imsdk::timerCmd& c);
// An application request and, once answered, its result.
void requestFields(Item& item, uint16_t cmd, const imsdk::req_mrtc_request& fields);
void extraFields(Item& item, int64_t type, const std::string& cmd, const std::string& extend);
// "answered", "result" and "answer" from the results from index `from` on
// that answer request `id` (the last one wins).
void answerFields(Item& item, const std::vector<Result>& results, size_t from, int64_t id);

// The command name, flag and annotation of a signalling body, when it is one.
void describeBody(Item& item, const std::string& body);
// A string member of a JSON object text (or of its "extendInfo" object, where
// a card keeps the call's data), or a number written as text.
std::string textMember(const std::string& text, const char* key);

}  // namespace codec
