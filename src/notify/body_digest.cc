#include "notify/body_digest.h"

#include <cstring>

namespace imsdkmrtc {

namespace {

// Odd 64-bit constants with well-spread bits (from the golden ratio and two
// large primes); one seeds each lane.
constexpr uint64_t kMul = 0x9E3779B97F4A7C15ull;
constexpr uint64_t kSeeds[4] = {0xC2B2AE3D27D4EB4Full, 0x165667B19E3779F9ull, 0x85EBCA77C2B2AE63ull,
                                0x27D4EB2F165667C5ull};
constexpr size_t kWord = sizeof(uint64_t);
constexpr size_t kLanes = 4;

uint64_t wordAt(const char* p) {
  uint64_t w;
  std::memcpy(&w, p, kWord);
  return w;
}

// The rotation carries the multiply's high bits back to the low ones, so
// every input bit reaches every bit of the lane within a few words.
uint64_t step(uint64_t lane, uint64_t word) {
  lane ^= word;
  lane = (lane << 31) | (lane >> 33);
  return lane * kMul;
}

uint64_t finalMix(uint64_t h) {
  h ^= h >> 33;
  h *= kMul;
  h ^= h >> 29;
  return h;
}

}  // namespace

uint64_t bodyDigest(const std::string& body) {
  const char* p = body.data();
  const size_t n = body.size();
  uint64_t lane[kLanes] = {kSeeds[0], kSeeds[1], kSeeds[2], kSeeds[3]};
  size_t i = 0;
  for (; i + kLanes * kWord <= n; i += kLanes * kWord) {
    for (size_t k = 0; k < kLanes; ++k) lane[k] = step(lane[k], wordAt(p + i + k * kWord));
  }
  // The last bytes, at most 31: whole words, then a word padded with zeros;
  // the length, mixed in at the end, tells the padding from zero bytes.
  size_t k = 0;
  for (; i + kWord <= n; i += kWord, ++k) lane[k] = step(lane[k], wordAt(p + i));
  if (i < n) {
    uint64_t tail = 0;
    std::memcpy(&tail, p + i, n - i);
    lane[k] = step(lane[k], tail);
  }
  uint64_t h = static_cast<uint64_t>(n);
  for (uint64_t l : lane) h = step(h, finalMix(l));
  return finalMix(h);
}

}  // namespace imsdkmrtc
