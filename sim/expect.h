// Checking a step's expectations against the timeline items of that step.
#pragma once

#include <string>
#include <vector>

#include "scenario.h"
#include "timeline.h"

namespace mrtcsim {

bool matches(const Expectation& want, const Item& item);

// "{"client":"bob","type":3}" : the expectation as written.
std::string describe(const Expectation& want);

// Checks every expectation against items [from, to); returns one message per
// expectation that failed, naming it with the given context (e.g. "step 4").
std::vector<std::string> check(const std::vector<Expectation>& expects,
                               const std::vector<Item>& items, size_t from, size_t to,
                               const std::string& context);

}  // namespace mrtcsim
