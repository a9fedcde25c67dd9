// The texts a round-trip call produced, each read once, and the check that
// some text of a kind gives every value back. Shared by the escaping test and
// the round-trip fuzz target; free of gtest.
//
// The fuzz target runs this for every input, so it is built to do little: a
// text is copied into one buffer and read there in place by a SAX reader (no
// DOM, no copy of each string), a text seen before under another name (the call card sent, inserted
// and rung) is read only the first time, and clear() keeps the buffers.
// roundtrip_texts.cc says why the reading lives in its own file.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace roundtrip {

class Texts {
 public:
  void clear();
  // Keeps the strings (keys included) of json, which must be a JSON object,
  // under the name where. json must stay unchanged until clear().
  void add(std::string_view where, std::string_view json);
  // Some text of this kind holds every value whole inside one of its strings.
  void check(std::string_view where, std::initializer_list<std::string_view> values);
  const std::vector<std::string>& faults() const { return faults_; }

 private:
  using Span = std::pair<size_t, size_t>;   // offset and length in strings_
  using Range = std::pair<size_t, size_t>;  // [first, end) in spans_
  struct Text {
    Span where;
    Range strings;
  };
  bool holdsAll(const Text& t, std::initializer_list<std::string_view> values) const;

  // Every name and text read, end to end, each text's strings unescaped in
  // place: an input adds no allocation once the buffers have grown.
  std::string strings_;
  std::vector<Span> spans_;
  std::vector<Text> texts_;
  // The texts read so far; a handful a run, so a list beats a hash table.
  std::vector<std::pair<std::string_view, Range>> seen_;
  std::vector<std::string> faults_;
};

}  // namespace roundtrip
