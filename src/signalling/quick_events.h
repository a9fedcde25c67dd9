// A quick pass over the plain JSON that clients write: the parse events of a
// text whose root is an object, made without the general reader's state
// machine and number reader. A call body or card lists every member, and
// every member's client reads it, so the work per id is what counts: here an
// id costs a few compares and a multiply per digit.
//
// The pass knows a strict part of JSON only: objects and arrays nested at
// most kQuickDepth deep, strings without control characters whose \u
// escapes stand for one byte (\u0000 to \u007F), integers of at most 18
// digits, true, false and null, and the four kinds of white space. Whatever
// else it meets (a fraction, an exponent, a longer number, a \u escape of a
// wider code point, anything that is no JSON), it stops and answers
// kUnsure; the caller then starts over with parseEvents, which decides. So a
// text that this pass finishes is valid JSON, fed as the same events in the
// same order, and every other text gets exactly the general reader's answer.
//
// The strings handed to the handler are not followed by a NUL, unlike the
// general reader's: a string without escapes points into the text, where its
// closing quote follows it. A handler that reads an id from a string goes
// through textId, which hands the host's reader a NUL-ended copy.
//
// A list of ids is read without events where the handler asks for it: the
// elements of the plain form (integers, or texts without escapes) go
// straight into the list in one tight loop, or, for a list whose ids nobody
// reads, are only judged and counted; the pass falls back to one event per
// element at the first element of another form.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/json.h"
#include "base/plain_run.h"
#include "signalling/quick_numbers.h"
#include "signalling/quick_runs.h"
#include "signalling/quick_skip.h"

namespace imsdkmrtc {

enum class quickPass { kDone, kUnsure };

namespace quick {

constexpr int kQuickDepth = 32;

inline bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

// How the handler wants an array that it has just opened read: one event per
// element, or, for a list of ids, its plain elements straight into ids.
struct plainIds {
  enum class form : uint8_t {
    kNone,       // every element is an event
    kNumbers,    // integers are ids; anything else is an event
    kTexts,      // texts without escapes are decimal ids; anything else is an event
    kSkipTexts,  // texts without escapes are counted, not kept; anything else is an event
  };
  form elements = form::kNone;
  std::vector<int64_t>* ids = nullptr;
};

// The text of a string value or name, with its escapes resolved.
class cursor {
 public:
  explicit cursor(const std::string& text) : p_(text.data()), end_(text.data() + text.size()) {}

  char peek() const { return p_ != end_ ? *p_ : '\0'; }
  void take() { ++p_; }
  bool atEnd() const { return p_ == end_; }
  void skipSpace() {
    while (p_ != end_ && isSpace(*p_)) ++p_;
  }

  // At an opening quote: the string's text in text/length. Most strings
  // are names and plain values, read here where the pass calls this; one
  // with an escape, or no string, goes on out of line.
  [[gnu::always_inline]] bool string(const char*& text, json::SizeType& length) {
    const char* const from = p_ + 1;
    p_ = plainRunEnd(from, end_);
    if (p_ != end_ && *p_ == '"') return done(from, p_++, text, length);
    return escapedString(from, text, length);
  }

  // At the first byte of the string at from that is not plain (or the
  // text's end): an escape, the closing quote, or a control byte, which the
  // pass leaves to the general reader. The text is resolved into the
  // scratch buffer.
  [[gnu::noinline]] bool escapedString(const char* from, const char*& text,
                                       json::SizeType& length) {
    if (p_ == end_) return false;
    char* const resolved = scratch(from);
    char* out = resolved;
    const char* run = from;
    for (;;) {
      const auto plain = static_cast<size_t>(p_ - run);
      std::memcpy(out, run, plain);
      out += plain;
      if (*p_ != '\\') break;
      ++p_;
      const char e = p_ != end_ ? *p_++ : '\0';
      if (e == 'u') {
        if (!asciiEscape(*out)) return false;
      } else {
        *out = unescaped(e);
        if (*out == '\0') return false;
      }
      ++out;
      run = p_;
      p_ = plainRunEnd(run, end_);
      if (p_ == end_) return false;
    }
    if (*p_ != '"') return false;
    ++p_;
    return done(resolved, out, text, length);
  }

  // At a minus or a digit: an integer without fraction or exponent.
  bool integer(int64_t& value) {
    const char* const next = integerAt(p_, end_, value);
    if (next == nullptr) return false;
    p_ = next;
    return true;
  }

  // At an array's first element or its end: reads the leading elements of
  // the list's plain form, and the commas between them, into list.ids (or
  // passes over them), and answers how many. It stops after the last one
  // read, before the comma of an element of another form, so that the
  // caller goes on as after any value; having read none, it has not moved.
  json::SizeType plainElements(const plainIds& list) {
    switch (list.elements) {
      case plainIds::form::kNumbers:
        return plainNumbers(*list.ids);
      case plainIds::form::kTexts:
        return plainTexts(*list.ids);
      case plainIds::form::kSkipTexts:
        return skipTexts();
      case plainIds::form::kNone:
        break;
    }
    return 0;
  }

  // At the literal's first letter.
  bool literal(const char* word, size_t length) {
    if (static_cast<size_t>(end_ - p_) < length) return false;
    for (size_t i = 0; i < length; ++i) {
      if (p_[i] != word[i]) return false;
    }
    p_ += length;
    return true;
  }

 private:
  static char unescaped(char e) {
    switch (e) {
      case '"':
      case '\\':
      case '/':
        return e;
      case 'b':
        return '\b';
      case 'f':
        return '\f';
      case 'n':
        return '\n';
      case 'r':
        return '\r';
      case 't':
        return '\t';
      default:
        return '\0';  // anything else: left to the general reader
    }
  }
  // After a \u: four hex digits naming a code point below 0x80, written as
  // its one byte. Writers escape control characters this way, and user
  // values carry them. Surrogates and the code points that take more than
  // one byte are left to the general reader.
  bool asciiEscape(char& out) {
    if (end_ - p_ < 4 || p_[0] != '0' || p_[1] != '0') return false;
    const int high = hexDigit(p_[2]);
    const int low = hexDigit(p_[3]);
    if (high < 0 || high > 7 || low < 0) return false;
    p_ += 4;
    out = static_cast<char>(high * 16 + low);
    return true;
  }
  static int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  }
  // Room for a string with escapes that opens at from: its text resolved is
  // never longer than the rest of the text. One buffer serves every such
  // string of the text, made at the first; a string lasts until the next.
  char* scratch(const char* from) {
    // Not zero-filled: every byte a string hands on is written first.
    if (!scratch_) scratch_.reset(new char[static_cast<size_t>(end_ - from)]);
    return scratch_.get();
  }
  // The texts of an id list, each read by textIdAt, and after a text of
  // one to fifteen digits followed at once by its comma, the texts of the
  // same width that follow it.
  json::SizeType plainTexts(std::vector<int64_t>& ids) {
    const char* p = p_;
    const char* const end = end_;
    const char* mark = p;  // after the last element read
    json::SizeType count = 0;
    int64_t id = 0;
    while (const char* next = textIdAt(p, end, id)) {
      if (count == 0) reserveLike(ids, p, next);
      ids.push_back(id);
      ++count;
      const auto width = static_cast<unsigned>(next - p) - 2;
      p = next;
      if (p != end && *p == ',' && width >= 1 && width < 16) {
        mark = p++;
        if (sameWidthTexts(ids, width, p, end, count, mark)) {
          p_ = mark;
          return count;
        }
        while (p != end && isSpace(*p)) ++p;
        continue;
      }
      if (!toNextElement(p, end, mark)) break;
      while (p != end && isSpace(*p)) ++p;
    }
    p_ = mark;
    return count;
  }

  // The texts of a list whose ids nobody reads, as plainTexts reads them,
  // and after a text followed at once by its comma, the blocks of texts of
  // its width that follow.
  json::SizeType skipTexts() {
    const char* p = p_;
    const char* const end = end_;
    const char* mark = p;  // after the last text passed over
    json::SizeType count = 0;
    while (const char* next = plainTextAt(p, end)) {
      ++count;
      const auto width = static_cast<unsigned>(next - p) - 2;
      p = next;
      if (p != end && *p == ',') {
        mark = p++;
        skipSameWidth(width, p, end, count, mark);
      } else if (!toNextElement(p, end, mark)) {
        break;
      }
      while (p != end && isSpace(*p)) ++p;
    }
    p_ = mark;
    return count;
  }

  // As plainTexts with integerAt, and first, for as long as they come, ids
  // of fewer than sixteen digits each with its comma, read a word at a time.
  json::SizeType plainNumbers(std::vector<int64_t>& ids) {
    const char* p = p_;
    const char* const end = end_;
    const char* mark = p;
    json::SizeType count = 0;
    for (;;) {
      uint64_t words[2];
      for (unsigned n = 0; end - p >= 16 && (n = digitsBefore(p, ',', words)) > 0;) {
        if (p[0] == '0' && n > 1) break;
        if (count == 0) reserveLike(ids, p, p + n);
        ids.push_back(static_cast<int64_t>(digitsValue(words, n)));
        ++count;
        p += n + 1;
        mark = p - 1;
        if (n != 8 && sameWidth(ids, n, p, end, count, mark)) {
          p_ = mark;
          return count;
        }
      }
      while (p != end && isSpace(*p)) ++p;
      int64_t id = 0;
      const char* const next = integerAt(p, end, id);
      if (next == nullptr) break;
      if (count == 0) reserveLike(ids, p, next);
      ids.push_back(id);
      ++count;
      p = next;
      if (!toNextElement(p, end, mark)) break;
    }
    p_ = mark;
    return count;
  }

  // After an element, at p: past the white space and the comma before the
  // next one, with mark where the element's white space ends. False, with p
  // at mark, when no comma follows: the list's plain part ends there.
  static bool toNextElement(const char*& p, const char* end, const char*& mark) {
    while (p != end && isSpace(*p)) ++p;
    mark = p;
    if (p == end || *p != ',') return false;
    ++p;
    return true;
  }

  // Having read the first element, from first to next: room for as many
  // more of its width as fit before the next ']'. A guess that grows the
  // list once rather than doubling it; never more than one per two bytes.
  void reserveLike(std::vector<int64_t>& ids, const char* first, const char* next) const {
    const auto* close =
        static_cast<const char*>(std::memchr(next, ']', static_cast<size_t>(end_ - next)));
    if (close == nullptr) return;
    const auto width = static_cast<size_t>(next - first) + 1;
    ids.reserve(ids.size() + 1 + static_cast<size_t>(close - next) / width);
  }

  static bool done(const char* from, const char* to, const char*& text, json::SizeType& length) {
    const auto n = static_cast<size_t>(to - from);
    if (n > static_cast<size_t>(static_cast<json::SizeType>(-1))) return false;
    text = from;
    length = static_cast<json::SizeType>(n);
    return true;
  }

  const char* p_;
  const char* const end_;
  std::unique_ptr<char[]> scratch_;
};

}  // namespace quick

// Feeds handler the events of text, as parseEvents would, and answers
// kDone; or stops at the first thing outside the strict part above (or a
// handler that refuses an event) and answers kUnsure, the events fed so far
// being no use.
template <typename Handler>
quickPass quickEvents(const std::string& text, Handler& handler) {
  quick::cursor in(text);
  in.skipSpace();
  if (in.peek() != '{') return quickPass::kUnsure;
  char open[quick::kQuickDepth];
  json::SizeType count[quick::kQuickDepth];
  int depth = 0;
  bool wantName = false;
  for (;;) {
    in.skipSpace();
    const char* s = nullptr;
    json::SizeType n = 0;
    if (wantName) {
      if (in.peek() != '"' || !in.string(s, n) || !handler.Key(s, n, true)) {
        return quickPass::kUnsure;
      }
      in.skipSpace();
      if (in.peek() != ':') return quickPass::kUnsure;
      in.take();
      in.skipSpace();
    }
    const char c = in.peek();
    bool ok = true;
    int64_t number = 0;
    if (c == '{' || c == '[') {
      in.take();
      if (depth == quick::kQuickDepth) return quickPass::kUnsure;
      if (!(c == '{' ? handler.StartObject() : handler.StartArray())) return quickPass::kUnsure;
      open[depth] = c;
      count[depth++] = 0;
      in.skipSpace();
      const json::SizeType plain = c == '[' ? in.plainElements(handler.plainList()) : 0;
      if (plain > 0) {
        count[depth - 1] = plain - 1;  // the last one is counted below, as any value
      } else if (in.peek() != (c == '{' ? '}' : ']')) {
        wantName = c == '{';
        continue;
      } else {
        in.take();
        --depth;
        ok = c == '{' ? handler.EndObject(0) : handler.EndArray(0);
      }
    } else if (c == '"') {
      ok = in.string(s, n) && handler.String(s, n, true);
    } else if (c == '-' || quick::isDigit(c)) {
      ok = in.integer(number) && handler.Int64(number);
    } else if (c == 't') {
      ok = in.literal("true", 4) && handler.Bool(true);
    } else if (c == 'f') {
      ok = in.literal("false", 5) && handler.Bool(false);
    } else if (c == 'n') {
      ok = in.literal("null", 4) && handler.Null();
    } else {
      ok = false;
    }
    if (!ok) return quickPass::kUnsure;
    // A value ended: close what ends with it, up to the next element.
    for (;;) {
      if (depth == 0) {
        in.skipSpace();
        return in.atEnd() ? quickPass::kDone : quickPass::kUnsure;
      }
      const char kind = open[depth - 1];
      ++count[depth - 1];
      in.skipSpace();
      if (in.peek() == ',') {
        in.take();
        wantName = kind == '{';
        break;
      }
      if (in.peek() != (kind == '{' ? '}' : ']')) return quickPass::kUnsure;
      in.take();
      --depth;
      if (!(kind == '{' ? handler.EndObject(count[depth]) : handler.EndArray(count[depth]))) {
        return quickPass::kUnsure;
      }
    }
  }
}

}  // namespace imsdkmrtc
