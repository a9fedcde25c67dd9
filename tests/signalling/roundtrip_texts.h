// The texts a round-trip call produced, each read once, and the check that
// some text of a kind gives every value back. Shared by the escaping test and
// the round-trip fuzz target; free of gtest.
//
// The fuzz target runs this for every input, so it is built to do little:
// a text is read with the SAX reader straight into one buffer of strings (no
// DOM), a text seen before under another name (the call card sent, inserted
// and rung) is read only the first time, and clear() keeps the buffers.
#pragma once

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace roundtrip {

class Texts {
 public:
  void clear() {
    strings_.clear();
    spans_.clear();
    texts_.clear();
    seen_.clear();
    faults_.clear();
  }

  // Keeps the strings (keys included) of json, which must be a JSON object.
  void add(const std::string& where, const std::string& json) {
    const auto known = seen_.find(json);
    if (known != seen_.end()) {
      if (known->second.first <= known->second.second) texts_.push_back({where, known->second});
      return;
    }
    const size_t first = spans_.size();
    Gatherer gatherer{*this, false, 0};
    RAPIDJSON_NAMESPACE::MemoryStream ms(json.data(), json.size());
    RAPIDJSON_NAMESPACE::EncodedInputStream<RAPIDJSON_NAMESPACE::UTF8<>,
                                            RAPIDJSON_NAMESPACE::MemoryStream>
        in(ms);
    const bool parsed = !reader_.Parse(in, gatherer).IsError() && gatherer.object;
    // An empty range marks a text that is not JSON, so a copy of it is not
    // reported twice.
    const std::pair<size_t, size_t> range =
        parsed ? std::make_pair(first, spans_.size()) : std::make_pair(size_t{1}, size_t{0});
    if (!parsed) {
      spans_.resize(first);
      faults_.push_back(where + " is not JSON: " + json);
    } else {
      texts_.push_back({where, range});
    }
    seen_.emplace(json, range);
  }

  // Some text of this kind holds every value whole inside one of its strings.
  void check(const std::string& where, const std::vector<std::string>& values) {
    for (const Text& t : texts_) {
      if (t.where == where && holdsAll(t, values)) return;
    }
    std::string list;
    for (const std::string& value : values) list += " [" + value + "]";
    faults_.push_back("no " + where + " reads back" + list);
  }

  const std::vector<std::string>& faults() const { return faults_; }

 private:
  struct Text {
    std::string where;
    std::pair<size_t, size_t> spans;  // [first, end) in spans_
  };
  // Appends every string and key of a text to strings_.
  struct Gatherer
      : RAPIDJSON_NAMESPACE::BaseReaderHandler<RAPIDJSON_NAMESPACE::UTF8<>, Gatherer> {
    Gatherer(Texts& texts, bool object, int depth) : texts(texts), object(object), depth(depth) {}
    bool String(const char* s, RAPIDJSON_NAMESPACE::SizeType n, bool) {
      texts.spans_.emplace_back(texts.strings_.size(), n);
      texts.strings_.append(s, n);
      return true;
    }
    bool Key(const char* s, RAPIDJSON_NAMESPACE::SizeType n, bool copy) {
      return String(s, n, copy);
    }
    bool StartObject() {
      if (depth++ == 0) object = true;
      return true;
    }
    bool EndObject(RAPIDJSON_NAMESPACE::SizeType) {
      --depth;
      return true;
    }
    bool StartArray() {
      ++depth;
      return true;
    }
    bool EndArray(RAPIDJSON_NAMESPACE::SizeType) {
      --depth;
      return true;
    }
    Texts& texts;
    bool object;
    int depth;
  };

  bool holdsAll(const Text& t, const std::vector<std::string>& values) const {
    for (const std::string& value : values) {
      bool found = false;
      for (size_t i = t.spans.first; i < t.spans.second && !found; ++i) {
        const auto& span = spans_[i];
        found = std::string::npos !=
                std::string_view(strings_).substr(span.first, span.second).find(value);
      }
      if (!found) return false;
    }
    return true;
  }

  RAPIDJSON_NAMESPACE::Reader reader_;
  std::string strings_;                          // every string read, end to end
  std::vector<std::pair<size_t, size_t>> spans_;  // one string: offset, length
  std::vector<Text> texts_;
  std::unordered_map<std::string, std::pair<size_t, size_t>> seen_;
  std::vector<std::string> faults_;
};

}  // namespace roundtrip
