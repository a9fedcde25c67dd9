// The vocabulary that hosts and tools share: one item per happening (a
// request and its answer, a UI event, a message sent, ...), a flat list of
// named fields, written as one JSON object. The simulator's timeline, the
// node's standard output and the recorder all speak it, so that an item read
// from one can be compared with an item from another.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "id_list.h"

namespace codec {

// A text field. A long one (a message body) is held once for all its copies:
// a group message reaches thousands of clients, and each delivery's record
// carries the same body. Short ones stay inline.
class Text {
 public:
  Text() = default;
  Text(std::string s);  // NOLINT(google-explicit-constructor): a text is a string
  Text(const char* s) : Text(std::string(s)) {}  // NOLINT(google-explicit-constructor)

  const std::string& str() const { return shared_ ? *shared_ : inline_; }
  operator const std::string&() const { return str(); }  // NOLINT(google-explicit-constructor)
  bool empty() const { return str().empty(); }

  friend bool operator==(const Text& a, const Text& b) {
    return (a.shared_ && a.shared_ == b.shared_) || a.str() == b.str();
  }
  friend bool operator!=(const Text& a, const Text& b) { return !(a == b); }

 private:
  std::string inline_;
  std::shared_ptr<const std::string> shared_;
};

// The text, sharing one of the last few copies made on this thread when it
// holds the same bytes: a group message's deliveries are recorded one after
// the other, and each recipient's UI event may quote the same text.
Text sharedText(const std::string& s);

using Value = std::variant<int64_t, Text, IdList>;

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

  Item& set(const std::string& key, Value value) &;
  // On an item being made (item(...).set(...)), the chain stays movable, so
  // that handing it on does not copy its fields.
  Item&& set(const std::string& key, Value value) && {
    return std::move(set(key, std::move(value)));
  }
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
