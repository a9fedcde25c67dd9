#include "timer/id_numbers.h"

namespace imsdkmrtc {

void idNumbers::start(size_t most) {
  size_t capacity = 8;
  int bits = 3;
  while (capacity < most * 2) {
    capacity *= 2;
    ++bits;
  }
  if (capacity > slots_.size()) {
    slots_.assign(capacity, 0);
    shift_ = 64 - bits;
  } else {
    for (uint32_t slot : filled_) slots_[slot] = 0;
  }
  filled_.clear();
  ids_.clear();
  ids_.reserve(most);
}

uint32_t idNumbers::insert(int64_t id) {
  const size_t at = probe(id);
  uint32_t& slot = slots_[at];
  if (slot == 0) {
    ids_.push_back(id);
    slot = static_cast<uint32_t>(ids_.size());
    filled_.push_back(static_cast<uint32_t>(at));
  }
  return slot - 1;
}

}  // namespace imsdkmrtc
