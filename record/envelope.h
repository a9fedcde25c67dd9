// Reading the application records that travel in a command envelope (slot 3,
// services 12 and 15, slots 6 and 7) into trace fields.
#pragma once

#include <cstdint>

#include "item.h"

namespace mrtcrecord {

// The request a block holding a cmdEnvelope carries; only the command when
// the block or its record is absent (a keep-alive has none).
void envelopeFields(codec::Item& item, uint16_t cmd, const void* block);

}  // namespace mrtcrecord
