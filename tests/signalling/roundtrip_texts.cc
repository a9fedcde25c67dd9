// The check's own reading of the plug-ins' texts. It is compiled with a
// RapidJSON of its own name: the linker keeps one copy of each template
// instance, and the plug-in's reader and this one would otherwise share
// theirs. The fuzz target builds this file without coverage hooks (the check
// is not what is fuzzed, and its branches must not make libFuzzer keep an
// input), which is only sound when none of the plug-in's code can end up
// being this file's copy.
#undef RAPIDJSON_NAMESPACE
#undef RAPIDJSON_NAMESPACE_BEGIN
#undef RAPIDJSON_NAMESPACE_END
#define RAPIDJSON_NAMESPACE roundtrip_rapidjson
#define RAPIDJSON_NAMESPACE_BEGIN namespace roundtrip_rapidjson {
#define RAPIDJSON_NAMESPACE_END }
// A text is read in place from a copy (below), so the reader may skip white
// space and plain runs of a string sixteen bytes at a time.
#if defined(__SSE2__) && !defined(RAPIDJSON_SSE2)
#define RAPIDJSON_SSE2
#endif

#include "signalling/roundtrip_texts.h"

#include <rapidjson/reader.h>

#include <string_view>

namespace roundtrip {
namespace {

namespace rj = roundtrip_rapidjson;
using Spans = std::vector<std::pair<size_t, size_t>>;  // offset and length in a buffer

// Notes where each string and key of a text read in place lies in the
// buffer that holds the text.
class Gatherer : public rj::BaseReaderHandler<rj::UTF8<>, Gatherer> {
 public:
  Gatherer(const char* buffer, Spans& spans) : buffer_(buffer), spans_(spans) {}
  bool String(const char* s, rj::SizeType n, bool) {
    spans_.emplace_back(static_cast<size_t>(s - buffer_), n);
    return true;
  }
  bool Key(const char* s, rj::SizeType n, bool copy) { return String(s, n, copy); }
  bool StartObject() {
    if (depth_++ == 0) object_ = true;
    return true;
  }
  bool EndObject(rj::SizeType) { return --depth_ >= 0; }
  bool StartArray() { return ++depth_ > 0; }
  bool EndArray(rj::SizeType) { return --depth_ >= 0; }
  bool object() const { return object_; }

 private:
  const char* buffer_;
  Spans& spans_;
  int depth_ = 0;
  bool object_ = false;
};

// The zeros after a copied text: the first ends it for the reader, and the
// reader's sixteen-byte loads of its last block stay inside the buffer.
constexpr size_t kEndZeros = 16;

// True when json is one JSON object. It is copied to the end of strings and
// read there in place: each string is unescaped where it stands, and its
// span in strings is noted. The text read ends at its first NUL, as it did
// for a reader of the original (which takes a NUL for the end).
bool readStrings(std::string_view json, std::string& strings, Spans& spans) {
  // One reader a thread: its stack is kept from text to text.
  thread_local rj::Reader reader;
  const size_t at = strings.size();
  strings.append(json).append(kEndZeros, '\0');
  Gatherer gatherer(strings.data(), spans);
  rj::InsituStringStream in(&strings[at]);
  const bool ok = !reader.Parse<rj::kParseInsituFlag>(in, gatherer).IsError() && gatherer.object();
  strings.resize(at + json.size());
  return ok;
}

}  // namespace

void Texts::clear() {
  strings_.clear();
  spans_.clear();
  texts_.clear();
  seen_.clear();
  faults_.clear();
}

void Texts::add(std::string_view where, std::string_view json) {
  const Span name{strings_.size(), where.size()};
  for (const auto& known : seen_) {
    if (known.first != json) continue;
    // A text that is not JSON was reported when first seen.
    if (known.second.first <= known.second.second) {
      strings_.append(where);
      texts_.push_back({name, known.second});
    }
    return;
  }
  strings_.append(where);
  const size_t first = spans_.size();
  if (readStrings(json, strings_, spans_)) {
    texts_.push_back({name, {first, spans_.size()}});
    seen_.emplace_back(json, Range{first, spans_.size()});
    return;
  }
  spans_.resize(first);
  strings_.resize(name.first + name.second);
  faults_.push_back(std::string(where) + " is not JSON: " + std::string(json));
  seen_.emplace_back(json, Range{1, 0});
}

void Texts::check(std::string_view where, std::initializer_list<std::string_view> values) {
  const std::string_view all(strings_);
  for (const Text& t : texts_) {
    if (all.substr(t.where.first, t.where.second) == where && holdsAll(t, values)) return;
  }
  std::string list;
  for (std::string_view value : values) list.append(" [").append(value).append("]");
  faults_.push_back("no " + std::string(where) + " reads back" + list);
}

bool Texts::holdsAll(const Text& t, std::initializer_list<std::string_view> values) const {
  const std::string_view all(strings_);
  for (std::string_view value : values) {
    bool found = false;
    for (size_t i = t.strings.first; i < t.strings.second && !found; ++i) {
      found = all.substr(spans_[i].first, spans_[i].second).find(value) != std::string_view::npos;
    }
    if (!found) return false;
  }
  return true;
}

}  // namespace roundtrip
