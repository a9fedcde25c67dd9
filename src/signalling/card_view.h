// A received card read in one pass without building a document: the members
// of its root object and of its first "extendInfo" object, in their order; a
// lookup finds a name's first member, as a document's member lookup does.
// A call card lists every callee, and every member's client reads it, so a
// list of selects keeps only the ids, and nested values deeper than these
// two objects are walked, not kept.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace imsdkmrtc {

struct cardObject {
  enum class kind : uint8_t { kText, kInt, kObject, kOther };
  struct member {
    member(const char* named, size_t length) : name(named, length) {}
    std::string name;
    kind type = kind::kOther;
    int number = 0;          // kInt: the value, when it fits an int
    std::string text;        // kText
    uint32_t nextAlike = 0;  // the next member of its bucket, as a place + 1; 0: none
  };
  // In the object's order; add() appends to them.
  std::vector<member> members;
  // The first "selects" member, when it is an array: its text elements read
  // as decimal ids (other elements are skipped).
  bool hasSelects = false;
  std::vector<int64_t> selects;

  member& add(const char* name, size_t length);
  const member* find(const char* name, size_t length) const;
  const member* find(const char* name) const;
  // The member's text; null when it is absent or no string.
  const std::string* text(const char* name) const;

 private:
  // The members by a hash of their names, each bucket a chain in the
  // object's order: a card's reader looks up a score of names among a score
  // of members, and a lookup walks one short chain rather than every member.
  // Places + 1; 0: an empty bucket.
  static constexpr size_t kBuckets = 32;
  static size_t bucketOf(const char* name, size_t length);
  uint32_t firstOf_[kBuckets] = {};
  uint32_t lastOf_[kBuckets] = {};
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
