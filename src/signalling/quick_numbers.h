// The number and id readers of the quick pass over plain JSON: an integer
// as JSON writes it, and an id given as a decimal text, each read a word of
// eight bytes at a time where the text leaves room. Every reader answers
// where what it read ends, or null for a form it does not take, which the
// pass then leaves to the general reader.
//
// Threads: plain functions over the caller's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "tools.h"

namespace imsdkmrtc {
namespace quick {

// An integer of this many digits or fewer fits 64 bits whatever its digits.
constexpr ptrdiff_t kQuickDigits = 18;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a word's first byte is its lowest");

// Added to each byte: the high half of '0' to '9' stays 3, of ':' to '?' not.
constexpr uint64_t kToNines = 0x0606060606060606u;

// A bit set in each byte of word that is no digit, and maybe in later bytes
// (a carry only runs from a byte that is no digit towards later ones). top
// is added to each byte: with 6 it counts as a digit from '0' to '9', and
// with 7, its value taken one lower beforehand, from '1' to '9'.
inline uint64_t nonDigits(uint64_t word, uint64_t top = kToNines) {
  constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u;
  constexpr uint64_t kThrees = 0x3030303030303030u;
  return ((word & kHigh) ^ kThrees) | (((word + top) & kHigh) ^ kThrees);
}

// As nonDigits, in fewer steps, where only whether some byte is no digit
// counts: the high bit set in each byte of word that is no digit, and maybe
// in later bytes. lower is 1 to count the first byte from '1' to '9'.
inline uint64_t notAllDigits(uint64_t word, uint64_t lower = 0) {
  const uint64_t t = word - (0x3030303030303030u + lower);
  return (t | (t + (0x7676767676767676u + lower))) & 0x8080808080808080u;
}

// How many of the eight bytes of word (read from the text in memory order)
// lead as digits. Word-wide: a byte is a digit when its high half is 3 and
// stays 3 with 6 added.
inline unsigned leadingDigits(uint64_t word) {
  const uint64_t other = nonDigits(word);
  return other == 0 ? 8 : static_cast<unsigned>(__builtin_ctzll(other)) / 8;
}

// The value of the first count (1 to 8) digits of word: moved to the top,
// as if the text had leading zeros, then pairs, fours and the eight added
// up with a mask and a multiply each.
inline uint64_t digitsValue(uint64_t word, unsigned count) {
  uint64_t v = (word << (8 * (8 - count))) & 0x0F0F0F0F0F0F0F0Fu;
  v = ((v * (1 + (10 << 8))) >> 8) & 0x00FF00FF00FF00FFu;
  v = ((v * (1 + (100 << 16))) >> 16) & 0x0000FFFF0000FFFFu;
  return (v * (1 + (10000ull << 32))) >> 32;
}

inline uint64_t wordAt(const char* p) {
  uint64_t word = 0;
  std::memcpy(&word, p, sizeof word);
  return word;
}

inline constexpr uint64_t kTens[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The common case of an id: fewer than sixteen digits, then stop, in the
// sixteen bytes at p (there to read). How many digits (0 when it is not
// that case), with words holding those bytes, all from stop on zeroed.
inline unsigned digitsBefore(const char* p, char stop, uint64_t (&words)[2]) {
  words[0] = wordAt(p);
  words[1] = 0;
  unsigned i = 0;
  unsigned n = leadingDigits(words[0]);
  if (n == 8) {
    words[1] = wordAt(p + 8);
    i = 1;
    n = leadingDigits(words[1]);
  }
  if (n == 8 || ((words[i] >> (8 * n)) & 0xFF) != static_cast<unsigned char>(stop)) return 0;
  words[i] &= (uint64_t{1} << (8 * n)) - 1;
  return 8 * i + n;
}

// The value of digitsBefore's count (1 to 15) digits.
inline uint64_t digitsValue(const uint64_t (&words)[2], unsigned count) {
  if (count < 8) return digitsValue(words[0], count);
  const uint64_t high = digitsValue(words[0], 8);
  return count == 8 ? high : high * kTens[count - 8] + digitsValue(words[1], count - 8);
}

// The digits from p on: where they end, and in value what they read as
// (which wraps past 19 digits: callers refuse more than kQuickDigits).
inline const char* digits(const char* p, const char* end, uint64_t& value) {
  uint64_t u = 0;
  while (end - p >= 8) {
    const uint64_t word = wordAt(p);
    const unsigned n = leadingDigits(word);
    if (n == 0) break;
    u = u * kTens[n] + digitsValue(word, n);
    p += n;
    if (n < 8) {
      value = u;
      return p;
    }
  }
  for (; p != end; ++p) {
    const unsigned digit = static_cast<unsigned char>(*p) - unsigned{'0'};
    if (digit > 9) break;
    u = u * 10 + digit;
  }
  value = u;
  return p;
}

// At p: an integer without fraction or exponent, of at most kQuickDigits
// digits and without a leading zero: where it ends, or null for anything
// else (a longer or other number is the general reader's to judge).
inline const char* integerAt(const char* p, const char* end, int64_t& value) {
  if (p == end) return nullptr;
  const bool minus = *p == '-';
  if (minus) ++p;
  const char* const first = p;
  uint64_t u = 0;
  p = digits(p, end, u);
  const ptrdiff_t count = p - first;
  if (count == 0 || count > kQuickDigits || (*first == '0' && count > 1)) return nullptr;
  if (p != end && (*p == '.' || *p == 'e' || *p == 'E')) return nullptr;
  value = minus ? -static_cast<int64_t>(u) : static_cast<int64_t>(u);
  return p;
}

// An id text shorter than this is copied onto the stack to be NUL-ended.
constexpr size_t kIdCopy = 32;

// The host's reader of decimal ids takes a C string, and a text read from a
// body is not NUL-ended: it gets a NUL-ended copy, so that it never reads
// past the text, whatever it does with the rest. readable (at least length)
// is how many bytes from text may be read: with kIdCopy of them, the copy is
// one fixed-size move.
inline int64_t textId(const char* text, size_t length, size_t readable) {
  if (length >= kIdCopy) return tools::atoint64(std::string(text, length).c_str());
  char copy[kIdCopy];
  if (readable >= kIdCopy) {
    std::memcpy(copy, text, kIdCopy);
  } else {
    std::memcpy(copy, text, length);
  }
  copy[length] = '\0';
  return tools::atoint64(copy);
}
inline int64_t textId(const char* text, size_t length) { return textId(text, length, length); }

// At p: a text without escapes or control characters, read as a decimal id:
// where it ends (after its closing quote), or null for anything else.
inline const char* textIdAt(const char* p, const char* end, int64_t& id) {
  if (p == end || *p != '"') return nullptr;
  const char* const from = p + 1;
  // The common case first, handed over with NULs after the digits.
  if (end - from >= 16) {
    uint64_t words[2];
    const unsigned n = digitsBefore(from, '"', words);
    if (n > 0) {
      char copy[sizeof words + 1];
      std::memcpy(copy, words, sizeof words);
      copy[sizeof words] = '\0';
      id = tools::atoint64(copy);
      return from + n + 1;
    }
  }
  const char* q = from;
  while (q != end && *q != '"' && *q != '\\' && static_cast<unsigned char>(*q) >= 0x20) ++q;
  if (q == end || *q != '"') return nullptr;
  id = textId(from, static_cast<size_t>(q - from), static_cast<size_t>(end - from));
  return q + 1;
}

}  // namespace quick
}  // namespace imsdkmrtc
