// The vocabulary that hosts and tools share: one item per happening (a
// request and its answer, a UI event, a message sent, ...), a flat list of
// named fields, written as one JSON object. The simulator's timeline, the
// node's standard output and the recorder all speak it, so that an item read
// from one can be compared with an item from another.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace codec {

using IdList = std::vector<int64_t>;
using Value = std::variant<int64_t, std::string, IdList>;

struct Field {
  std::string key;
  Value value;
};

// Item kinds.
namespace kind {
constexpr const char* kRequest = "request";      // application request and its answer
constexpr const char* kEvent = "event";          // UI event (24007)
constexpr const char* kMessage = "message";      // IM message handed to the host's send service
constexpr const char* kInsert = "insert";        // message inserted into the local history
constexpr const char* kDeliver = "deliver";      // message delivered to a client
constexpr const char* kTimeout = "timeout";      // time-out fired on the plug-in's timer thread
constexpr const char* kInject = "inject";        // message put on the network by the scenario
constexpr const char* kPull = "pull";            // offline messages handed over (event 38)
constexpr const char* kLifecycle = "lifecycle";  // pre-login, login
constexpr const char* kOnline = "online";        // client went away or came back
constexpr const char* kLog = "log";              // plug-in log line
constexpr const char* kTimer = "timer";          // time-out armed or taken back by the plug-in
constexpr const char* kFault = "fault";          // a delivery lost, delayed or duplicated
}  // namespace kind

struct Item {
  int64_t t = 0;  // ms since the run started
  std::string client;
  std::string kind;
  std::vector<Field> fields;
  // Shown in the text output only with log lines on (automatic keep-alives).
  bool quiet = false;

  Item& set(const std::string& key, Value value);
  const Value* find(const std::string& key) const;
  int64_t num(const std::string& key, int64_t fallback = 0) const;
  std::string str(const std::string& key) const;
  IdList ids(const std::string& key) const;
};

// One JSON object: {"t":12500,"client":"alice","kind":"request",...}.
std::string renderJson(const Item& item);
std::string valueJson(const Value& value);
std::string valueText(const Value& value);
// A JSON string literal; bytes that are not UTF-8 become \u00XX.
std::string jsonString(const std::string& s);
// "[1,2,3]".
std::string idsText(const IdList& ids);

}  // namespace codec
