// A received card read in one pass without building a document: the members
// of its root object and of its first "extendInfo" object, each name's first
// member only (as a member lookup finds it). A call card lists every callee,
// and every member's client reads it, so a list of selects keeps only the
// ids, and nested values deeper than these two objects are walked, not kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imsdkmrtc {

struct cardObject {
  enum class kind : uint8_t { kText, kInt, kObject, kOther };
  struct member {
    std::string name;
    kind type = kind::kOther;
    int number = 0;    // kInt: the value, when it fits an int
    std::string text;  // kText
  };
  std::vector<member> members;
  // The first "selects" member, when it is an array: its text elements read
  // as decimal ids (other elements are skipped).
  bool hasSelects = false;
  std::vector<int64_t> selects;

  const member* find(const char* name, size_t length) const;
  const member* find(const char* name) const;
  // The member's text; null when it is absent or no string.
  const std::string* text(const char* name) const;
};

struct cardView {
  bool parsed = false;  // false: no JSON, exactly where parseText fails
  cardObject root;      // empty unless the root is an object
  bool hasExtend = false;
  cardObject extend;  // the root's first "extendInfo", when that is an object
};

// Whether a read turns the selects into ids. A card that is only shown
// never uses them, and every member's client reads every call card, which
// names every callee: kSkip judges the text exactly as kRead does (the same
// texts parse, and every member and hasSelects read the same) but leaves
// selects empty.
enum class cardSelects : uint8_t { kRead, kSkip };

// Reads text into a cleared view; false (and view.parsed false) when the text
// is no JSON.
bool readCardView(const std::string& text, cardView& view,
                  cardSelects selects = cardSelects::kRead);

}  // namespace imsdkmrtc
