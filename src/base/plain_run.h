// Where a run of bytes that a JSON string holds as they are ends: at the
// first quote, backslash or control byte below 0x20. Both the escaper and
// the quick reader of received texts look for that byte, and both meet long
// runs (names, tokens, addresses, card labels): sixteen bytes are judged at
// a time where the text leaves room. Pure; any thread.
#pragma once

#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace imsdkmrtc {

inline bool plainByte(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return c >= 0x20 && c != '"' && c != '\\';
}

// The first byte from p on that is not plainByte, or end.
inline const char* plainRunEnd(const char* p, const char* end) {
#if defined(__SSE2__)
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i lastControl = _mm_set1_epi8(0x1F);
  while (end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    // A control byte is one that the unsigned minimum with 0x1F leaves alone.
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(bytes, lastControl), bytes);
    const __m128i stop = _mm_or_si128(
        _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)), control);
    const auto found = static_cast<unsigned>(_mm_movemask_epi8(stop));
    if (found != 0) return p + __builtin_ctz(found);
    p += 16;
  }
#endif
  while (p != end && plainByte(*p)) ++p;
  return p;
}

}  // namespace imsdkmrtc
