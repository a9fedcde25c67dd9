// Runs of same-width ids in the lists clients write. A call body or card
// lists every member, and in one list the ids mostly share a width: after
// one id and its comma, the ids of that width that follow are read here a
// word or two each, with one loop per width whose masks, shifts and steps
// are constants; ids of up to seven digits, two at a time. Whatever breaks
// a run (another width, a space, an escape, the text's end too near for a
// whole word) hands the rest back to the quick pass's one-id-at-a-time
// loops, so the ids read are the same.
//
// Threads: plain functions over the caller's text.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/json.h"
#include "signalling/quick_numbers.h"
#include "tools.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace imsdkmrtc {
namespace quick {

// Calls f with width (1 to 15) as a std::integral_constant.
template <typename F, unsigned... kBelow>
bool withWidth(unsigned width, F f, std::integer_sequence<unsigned, kBelow...> /*all*/) {
  bool ended = false;
  (void)((width == kBelow + 1 &&
          (ended = f(std::integral_constant<unsigned, kBelow + 1>{}), true)) ||
         ...);
  return ended;
}
template <typename F>
bool withWidth(unsigned width, F f) {
  return withWidth(width, f, std::make_integer_sequence<unsigned, 15>{});
}

// The byte after an id's digits: ',' or ']', else '\0' (and '\0' too
// where other marks a byte of the id that is no digit). The common case,
// the digits and a comma, is one test.
inline char separator(uint64_t word, uint64_t other, uint64_t comma, uint64_t sepByte,
                      unsigned shift) {
  if ((other | ((word ^ comma) & sepByte)) == 0) return ',';
  return other == 0 && ((word >> shift) & 0xFF) == ']' ? ']' : '\0';
}

// At a text's closing quote: the byte after it when that is ',' or ']',
// else '\0'.
inline char closedBy(const char* q) {
  if (q[0] != '"') return '\0';
  return q[1] == ',' || q[1] == ']' ? q[1] : '\0';
}

// For a text of kWidth digits at q whose last word (from its last eight
// or fewer digits on) is last: ',' or ']' after the closing quote, else
// '\0'. The quote and a comma are one test where the word holds both.
template <unsigned kWidth>
char closeAfter(const char* q, uint64_t last) {
  constexpr unsigned kShift = 8 * (kWidth % 8);
  if constexpr (kWidth % 8 < 7) {
    constexpr uint64_t kCloseBytes = uint64_t{0xFFFF} << kShift;
    constexpr uint64_t kClose = (uint64_t{'"'} | uint64_t{','} << 8) << kShift;
    if (((last ^ kClose) & kCloseBytes) == 0) return ',';
  }
  return closedBy(q + 1 + kWidth);
}

// Never reads two ids at once: the loop of a run reads one at a time.
struct oneAtATime {
  bool operator()(const char* /*q*/, int64_t* /*out*/) const { return false; }
};

// The loop of a run of one width, with read(q, id) answering ',' for an
// id at q and its comma, ']' for the list's last, '\0' for anything else;
// reach is how many bytes read looks at. readTwo(q, out) is two reads that
// answer ',' (and the ids in out[0] and out[1]) in one step, or false,
// having read no more than read would at q and q + step. The ids go
// through a block on the stack into the list, a block at a time: the list
// is not grown and zero-filled ahead of ids that may not come.
template <typename Read, typename ReadTwo = oneAtATime>
bool run(std::vector<int64_t>& ids, size_t step, ptrdiff_t reach, const char*& p, const char* end,
         json::SizeType& count, const char*& mark, Read read, ReadTwo readTwo = {}) {
  const ptrdiff_t left = end - p;
  if (left < reach) return false;
  // Ids at p, p + step, ... with all that read looks at before the end.
  size_t room = static_cast<size_t>(left - reach) / step + 1;
  constexpr size_t kBlock = 64;
  int64_t block[kBlock];
  const char* q = p;
  char after = ',';
  size_t taken = 0;
  while (after == ',' && room > 0) {
    const size_t n = std::min(room, kBlock);
    room -= n;
    int64_t* const last = block + n;
    int64_t* out = block;
    while (out != last) {
      for (int64_t* const pairs = last - 1; out < pairs && readTwo(q, out); out += 2) {
        q += 2 * step;
      }
      if (out == last) break;
      after = read(q, *out);
      if (after != ',') break;
      ++out;
      q += step;
    }
    if (after == ']') {
      mark = q + step - 1;
      ++out;
    }
    ids.insert(ids.end(), block, out);
    taken += static_cast<size_t>(out - block);
  }
  count += static_cast<json::SizeType>(taken);
  if (after != ']' && taken > 0) mark = q - 1;
  p = q;
  return after == ']';
}

// No leading zero, but for an id of one digit: the first byte of an id of
// kWidth digits counts from this much above '0'.
template <unsigned kWidth>
constexpr uint64_t kLowerOf = kWidth > 1 ? 1 : 0;

// One id of kWidth (1 to 7) digits at q, in the word there: ',' after it,
// ']' for the list's last, '\0' for anything else.
template <unsigned kWidth>
char oneId(const char* q, int64_t& id) {
  static_assert(kWidth >= 1 && kWidth < 8, "an id and its separator in one word");
  constexpr unsigned kShift = 8 * kWidth;
  constexpr uint64_t kTailBytes = (uint64_t{1} << kShift) - 1;
  constexpr uint64_t kSepByte = uint64_t{0xFF} << kShift;
  constexpr uint64_t kComma = uint64_t{','} << kShift;
  const uint64_t word = wordAt(q);
  const uint64_t other = notAllDigits(word, kLowerOf<kWidth>) & kTailBytes;
  id = static_cast<int64_t>(digitsValue(word, kWidth));
  return separator(word, other, kComma, kSepByte, kShift);
}

// Two ids of kWidth (1 to 7) digits, at q and q + kWidth + 1, each with
// its comma: oneId twice.
template <unsigned kWidth>
bool twoIdsPlain(const char* q, int64_t* out) {
  return oneId<kWidth>(q, out[0]) == ',' && oneId<kWidth>(q + kWidth + 1, out[1]) == ',';
}

#if defined(__SSE2__)
// For the word of an id of kWidth digits and its comma: per byte, the
// lowest it may be, or with span how far above that it may go; any byte
// after the comma passes.
template <unsigned kWidth>
constexpr uint64_t bytesOfId(bool span) {
  uint64_t out = 0;
  for (unsigned i = 0; i < 8; ++i) {
    uint64_t low = 0;
    uint64_t up = 0xFF;
    if (i < kWidth) {
      low = '0' + (i == 0 ? kLowerOf<kWidth> : 0);
      up = '9' - low;
    } else if (i == kWidth) {
      low = ',';
      up = 0;
    }
    out |= (span ? up : low) << (8 * i);
  }
  return out;
}

// twoIdsPlain in one step: the two words side by side, every byte checked
// with one subtract and compare, and both ids converted together (digit
// pairs, fours, then the eight, in 16-, 32- and 64-bit lanes).
template <unsigned kWidth>
bool twoIds(const char* q, int64_t* out) {
  static_assert(kWidth >= 1 && kWidth < 8, "two ids and their commas in sixteen bytes");
  const __m128i words =
      _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)),
                         _mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + kWidth + 1)));
  const __m128i above =
      _mm_sub_epi8(words, _mm_set1_epi64x(static_cast<int64_t>(bytesOfId<kWidth>(false))));
  const __m128i inSpan = _mm_cmpeq_epi8(
      _mm_min_epu8(above, _mm_set1_epi64x(static_cast<int64_t>(bytesOfId<kWidth>(true)))), above);
  if (_mm_movemask_epi8(inSpan) != 0xFFFF) return false;
  // As digitsValue, in each half: the digits, each as far above its
  // lowest as it is, moved to the top; the first digit's lowest is added
  // back at the end.
  __m128i v = _mm_slli_epi64(above, 8 * (8 - kWidth));
  v = _mm_srli_epi16(_mm_mullo_epi16(v, _mm_set1_epi16(1 + (10 << 8))), 8);
  v = _mm_madd_epi16(v, _mm_set1_epi32(100 | (1 << 16)));
  v = _mm_add_epi64(_mm_mul_epu32(v, _mm_set1_epi64x(10000)), _mm_srli_epi64(v, 32));
  if constexpr (kLowerOf<kWidth> != 0) {
    v = _mm_add_epi64(v,
                      _mm_set1_epi64x(static_cast<int64_t>(kLowerOf<kWidth> * kTens[kWidth - 1])));
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out), v);
  return true;
}
#else
template <unsigned kWidth>
bool twoIds(const char* q, int64_t* out) {
  return twoIdsPlain<kWidth>(q, out);
}
#endif

// sameWidth for one width.
template <unsigned kWidth>
bool sameWidthOf(std::vector<int64_t>& ids, const char*& p, const char* end, json::SizeType& count,
                 const char*& mark) {
  if constexpr (kWidth < 8) {
    // Lambdas, not the functions' addresses: a type of its own for each
    // width's loop, so that each read is inlined into it.
    return run(
        ids, kWidth + 1, 8, p, end, count, mark,
        [](const char* q, int64_t& id) { return oneId<kWidth>(q, id); },
        [](const char* q, int64_t* out) { return twoIds<kWidth>(q, out); });
  } else {
    constexpr uint64_t kLower = kLowerOf<kWidth>;
    constexpr unsigned kTail = kWidth % 8;
    constexpr unsigned kShift = 8 * kTail;
    constexpr uint64_t kTailBytes = (uint64_t{1} << kShift) - 1;
    constexpr uint64_t kSepByte = uint64_t{0xFF} << kShift;
    constexpr uint64_t kComma = uint64_t{','} << kShift;
    return run(ids, kWidth + 1, 16, p, end, count, mark, [](const char* q, int64_t& id) {
      const uint64_t head = wordAt(q);
      const uint64_t word = wordAt(q + 8);
      const uint64_t other = notAllDigits(head, kLower) | (notAllDigits(word) & kTailBytes);
      id = static_cast<int64_t>(digitsValue(head, 8) * kTens[kTail] + digitsValue(word, kTail));
      return separator(word, other, kComma, kSepByte, kShift);
    });
  }
}

// After an id of width digits (1 to 15, but 8) and its comma, at p: the
// ids of the same width that follow, each read from one word, or two for
// more than eight digits, with the byte after it a comma or, for the
// list's last id, its ']' (answering true, with mark at the ']'). In one
// list the ids mostly share a width, so each width has its own loop, its
// masks, shifts and step constants. At an id of another form, p is left
// at it for the general loop.
inline bool sameWidth(std::vector<int64_t>& ids, unsigned width, const char*& p, const char* end,
                      json::SizeType& count, const char*& mark) {
  return withWidth(width, [&](auto constant) {
    constexpr unsigned kWidth = decltype(constant)::value;
    // Eight digits: the general loop reads them a word each.
    if constexpr (kWidth == 8) {
      return false;
    } else {
      return sameWidthOf<kWidth>(ids, p, end, count, mark);
    }
  });
}

// sameWidthTexts for one width.
template <unsigned kWidth>
bool sameWidthTextsOf(std::vector<int64_t>& ids, const char*& p, const char* end,
                      json::SizeType& count, const char*& mark) {
  constexpr unsigned kTail = kWidth % 8;
  constexpr unsigned kShift = 8 * kTail;
  constexpr uint64_t kTailBytes = (uint64_t{1} << kShift) - 1;
  constexpr size_t kStep = kWidth + 3;
  // The text's last word: its digits, the closing quote and the comma.
  constexpr unsigned kLast = kWidth < 8 ? 1 : 9;
  return run(ids, kStep, std::max<ptrdiff_t>(kLast + 8, kStep), p, end, count, mark,
             [](const char* q, int64_t& id) {
               if (*q != '"') return '\0';
               const uint64_t last = wordAt(q + kLast);
               uint64_t copy[2] = {last & kTailBytes, 0};
               uint64_t other = notAllDigits(last) & kTailBytes;
               if constexpr (kWidth >= 8) {
                 copy[1] = copy[0];
                 copy[0] = wordAt(q + 1);
                 other |= notAllDigits(copy[0]);
               }
               if (other != 0) return '\0';
               const char after = closeAfter<kWidth>(q, last);
               if (after == '\0') return after;
               char text[kWidth < 8 ? 8 : 16];
               std::memcpy(text, copy, sizeof text);
               id = tools::atoint64(text);
               return after;
             });
}

// After a text of width digits (1 to 15) and its comma, at p: the texts
// of the same width that follow, each its quote, digits, quote and a
// comma or, for the list's last, its ']' (answering true, with mark at
// the ']'), as sameWidth reads plain ids. A card lists every callee as
// such a text. Each id still comes from the host's reader, handed the
// digits NUL-ended in a word or two: the masked words are that copy.
inline bool sameWidthTexts(std::vector<int64_t>& ids, unsigned width, const char*& p,
                           const char* end, json::SizeType& count, const char*& mark) {
  return withWidth(width, [&](auto constant) {
    return sameWidthTextsOf<decltype(constant)::value>(ids, p, end, count, mark);
  });
}

}  // namespace quick
}  // namespace imsdkmrtc
