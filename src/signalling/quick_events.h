// A quick pass over the plain JSON that clients write: the parse events of a
// text whose root is an object, made without the general reader's state
// machine and number reader. A call body or card lists every member, and
// every member's client reads it, so the work per id is what counts: here an
// id costs a few compares and a multiply per digit.
//
// The pass knows a strict part of JSON only: objects and arrays nested at
// most kQuickDepth deep, strings without control characters or \u escapes,
// integers of at most 18 digits, true, false and null, and the four kinds of
// white space. Whatever else it meets (a fraction, an exponent, a longer
// number, a \u escape, anything that is no JSON), it stops and answers
// kUnsure; the caller then starts over with parseEvents, which decides. So a
// text that this pass finishes is valid JSON, fed as the same events in the
// same order, and every other text gets exactly the general reader's answer.
//
// The strings handed to the handler are not followed by a NUL, unlike the
// general reader's: a string without escapes points into the text, where its
// closing quote follows it. A handler that reads an id from a string stops
// at that quote as it would at the NUL.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/json.h"

namespace imsdkmrtc {

enum class quickPass { kDone, kUnsure };

namespace quick {

constexpr int kQuickDepth = 32;
// An integer of this many digits or fewer fits 64 bits whatever its digits.
constexpr ptrdiff_t kQuickDigits = 18;

inline bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
inline bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

  // At an opening quote: the string's text in text/length.
  bool string(const char*& text, json::SizeType& length) {
    const char* const from = p_ + 1;
    const char* p = from;
    while (p != end_ && *p != '"' && *p != '\\') {
      if (static_cast<unsigned char>(*p) < 0x20) return false;
      ++p;
    }
    p_ = p;
    if (p_ == end_) return false;
    if (*p_ == '"') return done(from, p_++, text, length);
    // Escapes: the text is resolved into the scratch buffer, NUL-ended.
    scratch_.assign(from, p_);
    while (p_ != end_ && *p_ != '"') {
      const auto c = static_cast<unsigned char>(*p_++);
      if (c < 0x20) return false;
      if (c != '\\') {
        scratch_ += static_cast<char>(c);
        continue;
      }
      const char e = p_ != end_ ? *p_++ : '\0';
      const char plain = unescaped(e);
      if (plain == '\0') return false;
      scratch_ += plain;
    }
    if (p_ == end_) return false;
    ++p_;
    return done(scratch_.data(), scratch_.data() + scratch_.size(), text, length);
  }

  // At a minus or a digit: an integer without fraction or exponent.
  bool integer(int64_t& value) {
    const char* p = p_;
    const bool minus = *p == '-';
    if (minus) ++p;
    const char* const first = p;
    // Read in one go; a value of too many digits may wrap, but is then left
    // to the general reader, as is a leading zero followed by digits.
    uint64_t u = 0;
    for (; p != end_; ++p) {
      const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
      if (digit > 9) break;
      u = u * 10 + digit;
    }
    const ptrdiff_t digits = p - first;
    if (digits == 0 || digits > kQuickDigits || (*first == '0' && digits > 1)) return false;
    if (p != end_ && (*p == '.' || *p == 'e' || *p == 'E')) return false;
    p_ = p;
    value = minus ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
    return true;
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
        return '\0';  // \u and anything else: left to the general reader
    }
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
  std::string scratch_;
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
      if (in.peek() != (c == '{' ? '}' : ']')) {
        wantName = c == '{';
        continue;
      }
      in.take();
      --depth;
      ok = c == '{' ? handler.EndObject(0) : handler.EndArray(0);
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
