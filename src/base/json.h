// RapidJSON as the plug-in uses it. It is compiled in a private namespace so
// that it cannot clash with a host's own copy; `json::` names it here.
//
// Received texts come from other people's clients: always parse them with
// parseText (iterative, so nesting depth cannot exhaust the stack), and never
// use operator[] on a received document (a missing member asserts): use
// FindMember and check the type first.
#pragma once

#include <rapidjson/document.h>
#include <rapidjson/encodedstream.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <string>

namespace json = RAPIDJSON_NAMESPACE;

namespace imsdkmrtc {

// Parses text into doc; false on a parse error.
inline bool parseText(json::Document& doc, const std::string& text) {
  doc.Parse<json::kParseIterativeFlag>(text.c_str(), text.size());
  return !doc.HasParseError();
}

// Feeds the parse events of text to a SAX handler through the same reader,
// flags and stream as parseText, so that a text fails here exactly where it
// fails there. The handler must accept every event (return true).
template <typename Handler>
bool parseEvents(const std::string& text, Handler& handler) {
  json::MemoryStream ms(text.data(), text.size());
  json::EncodedInputStream<json::UTF8<>, json::MemoryStream> in(ms);
  json::Reader reader;
  return !reader.Parse<json::kParseIterativeFlag>(in, handler).IsError();
}

// The string member key of an object value, or null when absent or of
// another type.
inline const json::Value* findString(const json::Value& object, const char* key) {
  if (!object.IsObject()) return nullptr;
  auto it = object.FindMember(key);
  if (it == object.MemberEnd() || !it->value.IsString()) return nullptr;
  return &it->value;
}

inline std::string toString(const json::Value& value) {
  return std::string(value.GetString(), value.GetStringLength());
}

}  // namespace imsdkmrtc
