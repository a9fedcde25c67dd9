// Fault decisions for one run. Each decision hashes the run's seed with
// what it is about (a message's network order and its recipient, or a media
// report's number), so the same scenario always meets the same faults, and
// taking a step out of it changes only the decisions about what moved.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "scenario.h"

namespace mrtcsim {

// A 64-bit mix of the values (splitmix64 over each in turn).
uint64_t mixHash(uint64_t seed, uint64_t a, uint64_t b = 0, uint64_t c = 0);
uint64_t textHash(const std::string& text);
// A number in [0, 1) from a hash.
double unitOf(uint64_t hash);

// The delays (ms) of the copies of one delivery, as the simulated network's
// fault plan wants them: none when lost, a later copy when late, a second one
// when duplicated. Counts what it injected by kind ("loss", "dup", "delay").
std::vector<int64_t> deliveryFaults(const FaultSpec& faults, int64_t seq,
                                    const std::string& recipient,
                                    std::map<std::string, int64_t>& counts);

// The extra delays (ms) of the copies of the index-th media room report:
// none when it goes missing, two when it comes twice. Counted as "media".
std::vector<int64_t> mediaFaults(const FaultSpec& faults, int64_t index,
                                 std::map<std::string, int64_t>& counts);

}  // namespace mrtcsim
