// How the quick pass passes over a list of plain texts whose values nobody
// reads. A call card names every callee in its selects
// and every member's client reads it, but a card that is only shown never
// uses those ids: each text is judged as the quick pass judges a string
// (closed by its quote, no escape, no control character) and counted, and
// nothing is kept.
//
// Threads: plain functions over the caller's text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/json.h"
#include "base/plain_run.h"
#include "signalling/quick_numbers.h"

namespace imsdkmrtc {
namespace quick {

// At a quote: where the text that it opens ends (after its closing quote),
// or null for a text with an escape or a control character, or not closed.
inline const char* plainTextAt(const char* p, const char* end) {
  if (p == end || *p != '"') return nullptr;
  const char* const q = plainRunEnd(p + 1, end);
  return q != end && *q == '"' ? q + 1 : nullptr;
}

// A block is the words at a text's opening quote that hold as many texts
// of one width, each with its quotes and comma, as fit in kBlockBytes.
constexpr unsigned kBlockBytes = 32;
constexpr unsigned kBlockWords = kBlockBytes / 8;
// The widest text a block holds: its quotes and comma make it the block.
constexpr unsigned kBlockWidth = kBlockBytes - 3;

// A block's texts of one width: each byte of its words masked must give the
// pattern. A text's bytes need only their high half to be 3, so that a
// digit costs no more than a mask: the six marks ':' to '?' that this lets
// through are as plain as digits, and the text stays one that the quick
// pass takes.
struct textBlock {
  std::array<uint64_t, kBlockWords> mask;
  std::array<uint64_t, kBlockWords> pattern;
  uint32_t bytes;  // the texts' bytes, the step to the next block
  uint32_t texts;
  uint32_t words;  // the words that hold them (the rest are masked out)
};

constexpr textBlock blockOf(unsigned width) {
  textBlock block{};
  const unsigned size = width + 3;
  block.texts = kBlockBytes / size;
  block.bytes = block.texts * size;
  block.words = (block.bytes + 7) / 8;
  for (unsigned i = 0; i < block.bytes; ++i) {
    const unsigned at = i % size;
    uint64_t mask = 0xFF;
    uint64_t pattern = 0x30;
    if (at == 0 || at == width + 1) {
      pattern = '"';
    } else if (at == width + 2) {
      pattern = ',';
    } else {
      mask = 0xF0;
    }
    block.mask[i / 8] |= mask << (8 * (i % 8));
    block.pattern[i / 8] |= pattern << (8 * (i % 8));
  }
  return block;
}

template <size_t... kWidth>
constexpr std::array<textBlock, sizeof...(kWidth)> blocksOf(
    std::index_sequence<kWidth...> /*widths*/) {
  return {{blockOf(kWidth)...}};
}

// For each width from 0 to kBlockWidth.
constexpr std::array<textBlock, kBlockWidth + 1> kTextBlocks =
    blocksOf(std::make_index_sequence<kBlockWidth + 1>{});

// Every width's texts and commas fill more than two words of a block
// (skipSameWidth has a loop for three and one for four).
constexpr bool threeOrFourWords() {
  for (const textBlock& block : kTextBlocks) {
    if (block.words != 3 && block.words != 4) return false;
  }
  return true;
}
static_assert(threeOrFourWords(), "a block is three or four words");

// The blocks from q on, at most count of them (as many as have kWords words
// before the text's end): where the first that does not match starts. Out
// of line, so that the masks and patterns stay in registers, which they
// would not inside the whole pass.
template <size_t kWords>
[[gnu::noinline]] const char* skipBlocks(const textBlock& block, const char* q, size_t count) {
  uint64_t mask[kWords];
  uint64_t pattern[kWords];
  for (size_t i = 0; i < kWords; ++i) {
    mask[i] = block.mask[i];
    pattern[i] = block.pattern[i];
  }
  const size_t step = block.bytes;
  for (; count > 0; --count, q += step) {
    uint64_t other = 0;
    for (size_t i = 0; i < kWords; ++i) other |= (wordAt(q + 8 * i) & mask[i]) ^ pattern[i];
    if (other != 0) break;
  }
  return q;
}

// After a text of width bytes and its comma, at p: the blocks of texts of
// that width that follow, each with its comma, for as long as there is a
// block's room before end. In one list the texts mostly share a width, so
// a block of them is a few masked words. p moves past them, count counts
// them and mark is left at the last one's comma; at a block that breaks the
// run (another width or form, the list's last text), p is left at its
// first text.
inline void skipSameWidth(unsigned width, const char*& p, const char* end, json::SizeType& count,
                          const char*& mark) {
  if (width > kBlockWidth) return;
  const textBlock& block = kTextBlocks[width];
  const size_t room = size_t{8} * block.words;
  const auto left = static_cast<size_t>(end - p);
  if (left < room) return;
  const size_t blocks = (left - room) / block.bytes + 1;
  const char* const q =
      block.words == 3 ? skipBlocks<3>(block, p, blocks) : skipBlocks<4>(block, p, blocks);
  if (q == p) return;
  count += static_cast<json::SizeType>(static_cast<size_t>(q - p) / block.bytes * block.texts);
  mark = q - 1;
  p = q;
}

}  // namespace quick
}  // namespace imsdkmrtc
