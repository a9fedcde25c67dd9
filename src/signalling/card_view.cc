#include "signalling/card_view.h"

#include <cstring>
#include <limits>

#include "base/json.h"
#include "signalling/card_texts.h"
#include "signalling/quick_events.h"
#include "signalling/wire_texts.h"

namespace imsdkmrtc {

namespace {

constexpr int64_t kIntMin = std::numeric_limits<int>::min();
constexpr int64_t kIntMax = std::numeric_limits<int>::max();
// A call card's root and extendInfo hold a score of members each: room for
// them at once, rather than growing (and moving every name) five times.
constexpr size_t kMembersGuess = 32;

uint32_t halfAt(const char* p) {
  uint32_t half = 0;
  std::memcpy(&half, p, sizeof half);
  return half;
}

// A name is a dozen bytes: compared eight, or four, at a time, the last
// step overlapping the one before.
bool sameBytes(const char* a, const char* b, size_t n) {
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8) {
      if (quick::wordAt(a + i) != quick::wordAt(b + i)) return false;
    }
    return quick::wordAt(a + n - 8) == quick::wordAt(b + n - 8);
  }
  if (n >= 4) return halfAt(a) == halfAt(b) && halfAt(a + n - 4) == halfAt(b + n - 4);
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

template <size_t N>
bool named(const std::string& name, const char (&key)[N]) {
  return name.size() == N - 1 && sameBytes(name.data(), key, N - 1);
}

// Depth 1 is inside the root object, depth 2 inside the extendInfo object
// (when it is open); a selects list's elements come one level deeper than
// its name.
class cardViewHandler : public json::BaseReaderHandler<json::UTF8<>, cardViewHandler> {
 public:
  cardViewHandler(cardView& view, cardSelects selects)
      : view_(view), readSelects_(selects == cardSelects::kRead) {}

  bool Null() { return scalar(cardObject::kind::kOther); }
  bool Bool(bool /*b*/) { return scalar(cardObject::kind::kOther); }
  bool Int(int i) { return number(i); }
  bool Uint(unsigned u) { return number(u); }
  bool Int64(int64_t i) { return number(i); }
  bool Uint64(uint64_t u) {
    return u > static_cast<uint64_t>(kIntMax) ? scalar(cardObject::kind::kOther)
                                              : number(static_cast<int64_t>(u));
  }
  bool Double(double /*d*/) { return scalar(cardObject::kind::kOther); }
  bool String(const char* text, json::SizeType length, bool /*copy*/) {
    if (cardObject::member* m = takePending()) {
      m->type = cardObject::kind::kText;
      m->text.assign(text, length);
    } else if (atSelect() && readSelects_) {
      selects_->selects.push_back(quick::textId(text, length));
    }
    return true;
  }
  // Asked by the quick pass as an array opens: a selects list's plain texts
  // go straight into the list, as String() would put them, or, when the ids
  // are not wanted, are passed over.
  quick::plainIds plainList() {
    if (!atSelect()) return {};
    if (!readSelects_) return {quick::plainIds::form::kSkipTexts, nullptr};
    return {quick::plainIds::form::kTexts, &selects_->selects};
  }
  // Every member is kept, a repeated name too: a lookup finds the first of
  // a name, as a document's does, and no name is searched as it is read.
  bool Key(const char* text, json::SizeType length, bool /*copy*/) {
    cardObject* o = levelObject();
    if (o == nullptr) return true;
    if (o->members.empty()) o->members.reserve(kMembersGuess);
    o->add(text, length);
    owner_ = o;
    pending_ = true;
    return true;
  }
  bool StartObject() { return open(false); }
  bool StartArray() { return open(true); }
  bool EndObject(json::SizeType /*members*/) { return close(); }
  bool EndArray(json::SizeType /*elements*/) { return close(); }

 private:
  bool isFirstOfName(const cardObject::member& m) const {
    return owner_->find(m.name.data(), m.name.size()) == &m;
  }
  bool atSelect() const { return selects_ != nullptr && depth_ == selectsDepth_; }
  cardObject* levelObject() {
    if (depth_ == 1 && rootObject_) return &view_.root;
    if (depth_ == 2 && inExtend_) return &view_.extend;
    return nullptr;
  }
  // The member whose value this event is: the next event after a name.
  cardObject::member* takePending() {
    if (!pending_) return nullptr;
    pending_ = false;
    return &owner_->members.back();
  }
  bool scalar(cardObject::kind type) {
    if (cardObject::member* m = takePending()) m->type = type;
    return true;
  }
  bool number(int64_t value) {
    if (value < kIntMin || value > kIntMax) return scalar(cardObject::kind::kOther);
    if (cardObject::member* m = takePending()) {
      m->type = cardObject::kind::kInt;
      m->number = static_cast<int>(value);
    }
    return true;
  }
  bool open(bool array) {
    if (depth_ == 0) {
      rootObject_ = !array;
    } else if (cardObject::member* m = takePending()) {
      m->type = array ? cardObject::kind::kOther : cardObject::kind::kObject;
      if (!array && owner_ == &view_.root && named(m->name, texts::card::kKeyExtendInfo) &&
          isFirstOfName(*m)) {
        inExtend_ = true;
        view_.hasExtend = true;
      } else if (array && named(m->name, texts::wire::kSelects) && isFirstOfName(*m)) {
        owner_->hasSelects = true;
        selects_ = owner_;
        selectsDepth_ = depth_ + 1;
      }
    }
    ++depth_;
    return true;
  }
  bool close() {
    --depth_;
    if (selects_ != nullptr && depth_ + 1 == selectsDepth_) selects_ = nullptr;
    if (depth_ == 1) inExtend_ = false;
    return true;
  }

  cardView& view_;
  const bool readSelects_;
  int depth_ = 0;
  bool rootObject_ = false;
  bool inExtend_ = false;
  bool pending_ = false;
  cardObject* owner_ = nullptr;
  cardObject* selects_ = nullptr;
  int selectsDepth_ = 0;
};

}  // namespace

size_t cardObject::bucketOf(const char* name, size_t length) {
  if (length == 0) return 0;
  const size_t first = static_cast<unsigned char>(name[0]);
  const size_t last = static_cast<unsigned char>(name[length - 1]);
  return (length * 7 + first * 3 + last) % kBuckets;
}

cardObject::member& cardObject::add(const char* name, size_t length) {
  member& m = members.emplace_back(name, length);
  const auto place = static_cast<uint32_t>(members.size());
  const size_t bucket = bucketOf(name, length);
  if (lastOf_[bucket] == 0) {
    firstOf_[bucket] = place;
  } else {
    members[lastOf_[bucket] - 1].nextAlike = place;
  }
  lastOf_[bucket] = place;
  return m;
}

const cardObject::member* cardObject::find(const char* name, size_t length) const {
  // The names are compared here rather than by libc: the fuzz builds hook
  // every memcmp of the process, a few hundred instructions for one that
  // differs.
  for (uint32_t at = firstOf_[bucketOf(name, length)]; at != 0;) {
    const member& m = members[at - 1];
    if (m.name.size() == length && sameBytes(m.name.data(), name, length)) return &m;
    at = m.nextAlike;
  }
  return nullptr;
}

const cardObject::member* cardObject::find(const char* name) const {
  return find(name, std::strlen(name));
}

const std::string* cardObject::text(const char* name) const {
  const member* m = find(name);
  return m != nullptr && m->type == kind::kText ? &m->text : nullptr;
}

bool readCardView(const std::string& text, cardView& view, cardSelects selects) {
  view = cardView();
  {
    cardViewHandler quick(view, selects);
    if (quickEvents(text, quick) == quickPass::kDone) {
      view.parsed = true;
      return true;
    }
  }
  // Something the quick pass leaves to the general reader: start over.
  view = cardView();
  cardViewHandler handler(view, selects);
  view.parsed = parseEvents(text, handler);
  return view.parsed;
}

}  // namespace imsdkmrtc
