// Reads a JSON text of the shared vocabulary (a scenario, a node's request
// line) and reports every mistake with the file and the place being read
// ("step 4", "clients[1]").
#pragma once

#include <cmath>
#include <cstdint>
#include <set>
#include <string>

#include "base/json.h"
#include "item.h"
#include "read_error.h"

namespace codec {

using JValue = json::Value;

class Reader {
 public:
  explicit Reader(std::string file) : file_(std::move(file)) {}

  [[noreturn]] void fail(const std::string& where, const std::string& what) const {
    throw ReadError(file_ + ": " + (where.empty() ? "" : where + ": ") + what);
  }

  void onlyKeys(const JValue& obj, const std::string& where,
                const std::set<std::string>& allowed) const {
    for (auto it = obj.MemberBegin(); it != obj.MemberEnd(); ++it) {
      std::string key(it->name.GetString(), it->name.GetStringLength());
      if (allowed.count(key) == 0) fail(where, "unknown key \"" + key + "\"");
    }
  }

  const JValue& object(const JValue& v, const std::string& where) const {
    if (!v.IsObject()) fail(where, "must be a JSON object");
    return v;
  }

  const JValue* member(const JValue& obj, const char* key) const {
    auto it = obj.FindMember(key);
    return it == obj.MemberEnd() ? nullptr : &it->value;
  }

  const JValue& required(const JValue& obj, const char* key, const std::string& where) const {
    const JValue* v = member(obj, key);
    if (v == nullptr) fail(where, std::string("\"") + key + "\" is missing");
    return *v;
  }

  int64_t integer(const JValue& v, const std::string& where, const char* key) const {
    if (!v.IsInt64()) fail(where, std::string("\"") + key + "\" must be an integer");
    return v.GetInt64();
  }

  int64_t intOr(const JValue& obj, const char* key, int64_t fallback,
                const std::string& where) const {
    const JValue* v = member(obj, key);
    return v == nullptr ? fallback : integer(*v, where, key);
  }

  bool boolean(const JValue& v, const std::string& where, const char* key) const {
    if (!v.IsBool()) fail(where, std::string("\"") + key + "\" must be true or false");
    return v.GetBool();
  }

  bool boolOr(const JValue& obj, const char* key, bool fallback, const std::string& where) const {
    const JValue* v = member(obj, key);
    return v == nullptr ? fallback : boolean(*v, where, key);
  }

  std::string string(const JValue& v, const std::string& where, const char* key) const {
    if (!v.IsString()) fail(where, std::string("\"") + key + "\" must be a string");
    return std::string(v.GetString(), v.GetStringLength());
  }

  std::string stringOr(const JValue& obj, const char* key, const std::string& where) const {
    const JValue* v = member(obj, key);
    return v == nullptr ? std::string() : string(*v, where, key);
  }

  // A text field: a string as it is, an object or array written as compact
  // JSON (so that extends and bodies can be written as JSON in the file).
  std::string text(const JValue& v, const std::string& where, const char* key) const {
    if (v.IsString()) return std::string(v.GetString(), v.GetStringLength());
    if (v.IsObject() || v.IsArray()) {
      json::StringBuffer buf;
      json::Writer<json::StringBuffer> writer(buf);
      v.Accept(writer);
      return std::string(buf.GetString(), buf.GetSize());
    }
    fail(where, std::string("\"") + key + "\" must be a string or a JSON object");
  }

  std::string textOr(const JValue& obj, const char* key, const std::string& where) const {
    const JValue* v = member(obj, key);
    return v == nullptr ? std::string() : text(*v, where, key);
  }

  IdList ids(const JValue& v, const std::string& where, const char* key) const {
    if (!v.IsArray()) fail(where, std::string("\"") + key + "\" must be an array of integers");
    IdList out;
    for (const JValue& e : v.GetArray()) {
      if (!e.IsInt64()) fail(where, std::string("\"") + key + "\" must be an array of integers");
      out.push_back(e.GetInt64());
    }
    return out;
  }

  IdList idsOr(const JValue& obj, const char* key, const std::string& where) const {
    const JValue* v = member(obj, key);
    return v == nullptr ? IdList{} : ids(*v, where, key);
  }

  // Seconds (integer or fraction) to milliseconds.
  int64_t seconds(const JValue& v, const std::string& where, const char* key) const {
    if (!v.IsNumber()) fail(where, std::string("\"") + key + "\" must be a number of seconds");
    double s = v.GetDouble();
    if (s < 0 || s > 1e9) fail(where, std::string("\"") + key + "\" is out of range");
    return std::llround(s * 1000.0);
  }

 private:
  std::string file_;
};

}  // namespace codec
