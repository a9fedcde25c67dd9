// How a server reads a message's addressing. Stateless.
#pragma once

#include <cstdint>
#include <string>

namespace codec {

// The real target a message to the service account names under "targetID"
// in its properties (a flat JSON object; decimal text or a number). 0 when
// the properties are not an object or carry no usable id.
int64_t relayTarget(const std::string& properties);

}  // namespace codec
