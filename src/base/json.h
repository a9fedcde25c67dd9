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

#include <cstddef>
#include <string>

namespace json = RAPIDJSON_NAMESPACE;

namespace imsdkmrtc {

// The pool of one jsonDocument: its first bytes sit inside the object, so a
// text of ordinary size takes no chunk from the heap. RapidJSON's own
// document took a 64 KiB chunk for every text, however short, and a call's
// messages bring many texts to parse: each chunk was a large allocation (one
// the sanitizers poison and quarantine). A member list past the buffer
// still grows the pool, a chunk at a time. Documents live on fiber stacks
// too, so the buffer stays a small share of one.
class jsonDocumentPool {
 protected:
  static constexpr size_t kInlineBytes = 1024;
  static constexpr size_t kChunkBytes = 4096;
  // The parse stack's first allocation (RapidJSON's default).
  static constexpr size_t kStackBytes = 1024;

  jsonDocumentPool() = default;

  // The heap allocator of the pool's chunks and of the parse stacks, one
  // for all of them (RapidJSON otherwise allocates one for each).
  json::CrtAllocator heap_;
  alignas(std::max_align_t) char inline_[kInlineBytes];
  json::MemoryPoolAllocator<> pool_{inline_, sizeof inline_, kChunkBytes, &heap_};
};

// A json::Document whose values live in its own jsonDocumentPool. It cannot
// be moved or swapped away from that pool: keep it where it was declared.
class jsonDocument : private jsonDocumentPool, public json::Document {
 public:
  jsonDocument() : json::Document(&pool_, kStackBytes, &heap_) {}
  jsonDocument(const jsonDocument&) = delete;
  jsonDocument& operator=(const jsonDocument&) = delete;
};

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
