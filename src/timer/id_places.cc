#include "timer/id_places.h"

namespace imsdkmrtc {

void idPlaces::start(size_t most) {
  size_t capacity = 8;
  int bits = 3;
  while (capacity < most * 2) {
    capacity *= 2;
    ++bits;
  }
  ++request_;
  // A new array, or the request count wrapping round to slots still marked
  // with it, starts every slot free.
  if (capacity > slots_.size() || request_ == 0) {
    if (capacity > slots_.size()) {
      slots_.assign(capacity, slot{0, 0, 0});
      mask_ = capacity - 1;
      shift_ = 64 - bits;
    } else {
      slots_.assign(slots_.size(), slot{0, 0, 0});
    }
    request_ = 1;
  }
}

}  // namespace imsdkmrtc
