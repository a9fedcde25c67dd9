// A 64-bit digest of a received message's whole body, for the memory of
// messages acted on: bodies of a large call run to tens of kilobytes, and
// every received message is digested once, so it reads the body eight bytes
// at a time in four independent lanes.
//
// Threads: a pure function.
#pragma once

#include <cstdint>
#include <string>

namespace imsdkmrtc {

uint64_t bodyDigest(const std::string& body);

}  // namespace imsdkmrtc
