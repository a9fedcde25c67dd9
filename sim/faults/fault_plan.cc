#include "faults/fault_plan.h"

namespace mrtcsim {

namespace {

uint64_t splitmix(uint64_t x) {
  x += 0x9e3779b97f4a7c15ULL;
  x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
  x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
  return x ^ (x >> 31);
}

// Decision kinds, hashed in so that each is drawn independently.
enum Draw : uint64_t { kLoss = 1, kLate, kLateBy, kDup, kDupBy, kMediaLoss, kMediaDup, kMediaLate };

int64_t upTo(uint64_t hash, int64_t maxMs) {
  return maxMs <= 0 ? 0 : 1 + static_cast<int64_t>(hash % static_cast<uint64_t>(maxMs));
}

}  // namespace

uint64_t mixHash(uint64_t seed, uint64_t a, uint64_t b, uint64_t c) {
  return splitmix(splitmix(splitmix(splitmix(seed) ^ a) ^ b) ^ c);
}

uint64_t textHash(const std::string& text) {
  uint64_t h = 1469598103934665603ULL;
  for (unsigned char ch : text) h = (h ^ ch) * 1099511628211ULL;
  return h;
}

double unitOf(uint64_t hash) { return static_cast<double>(hash >> 11) * 0x1.0p-53; }

std::vector<int64_t> deliveryFaults(const FaultSpec& faults, int64_t seq,
                                    const std::string& recipient,
                                    std::map<std::string, int64_t>& counts) {
  const uint64_t who = textHash(recipient);
  const auto draw = [&](Draw d) {
    return mixHash(faults.seed, static_cast<uint64_t>(seq), who, d);
  };
  if (faults.loss > 0 && unitOf(draw(kLoss)) < faults.loss) {
    ++counts["loss"];
    return {};
  }
  std::vector<int64_t> delays{0};
  if (faults.delay > 0 && unitOf(draw(kLate)) < faults.delay) {
    ++counts["delay"];
    delays[0] = upTo(draw(kLateBy), faults.delayMaxMs);
  }
  if (faults.dup > 0 && unitOf(draw(kDup)) < faults.dup) {
    ++counts["dup"];
    delays.push_back(delays[0] + upTo(draw(kDupBy), faults.delayMaxMs));
  }
  return delays;
}

std::vector<int64_t> mediaFaults(const FaultSpec& faults, int64_t index,
                                 std::map<std::string, int64_t>& counts) {
  const auto draw = [&](Draw d) {
    return mixHash(faults.seed, static_cast<uint64_t>(index), 0x6d65646961ULL, d);
  };
  if (faults.mediaLoss > 0 && unitOf(draw(kMediaLoss)) < faults.mediaLoss) {
    ++counts["media"];
    return {};
  }
  std::vector<int64_t> delays{0};
  if (faults.mediaLateMs > 0) {
    delays[0] = upTo(draw(kMediaLate), faults.mediaLateMs);
    if (delays[0] > 0) ++counts["media"];
  }
  if (faults.mediaDup > 0 && unitOf(draw(kMediaDup)) < faults.mediaDup) {
    ++counts["media"];
    delays.push_back(delays[0] + upTo(draw(kMediaLate), 5000));
  }
  return delays;
}

}  // namespace mrtcsim
