// The texts a round-trip call produced, each read once, and the check that
// some text of a kind gives every value back. Shared by the escaping test and
// the round-trip fuzz target; free of gtest.
//
// The fuzz target runs this for every input, so it is built to do little: a
// text is read with a SAX reader straight into one buffer of strings (no
// DOM), a text seen before under another name (the call card sent, inserted
// and rung) is read only the first time, and clear() keeps the buffers.
// roundtrip_texts.cc says why the reading lives in its own file.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace roundtrip {

class Texts {
 public:
  void clear();
  // Keeps the strings (keys included) of json, which must be a JSON object.
  void add(const std::string& where, const std::string& json);
  // Some text of this kind holds every value whole inside one of its strings.
  void check(const std::string& where, const std::vector<std::string>& values);
  const std::vector<std::string>& faults() const { return faults_; }

 private:
  using Range = std::pair<size_t, size_t>;  // [first, end) in spans_
  struct Text {
    std::string where;
    Range spans;
  };
  bool holdsAll(const Text& t, const std::vector<std::string>& values) const;

  std::string strings_;                           // every string read, end to end
  std::vector<std::pair<size_t, size_t>> spans_;  // one string: offset, length
  std::vector<Text> texts_;
  std::unordered_map<std::string, Range> seen_;  // text -> its strings
  std::vector<std::string> faults_;
};

}  // namespace roundtrip
