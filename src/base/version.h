// The protocol version word and its comparison.
#pragma once

#include <cstdint>
#include <string>

namespace imsdkmrtc {

extern const char* const kProtocolVersion;  // "mrtc@1.8.8"

// Major key of a version word: the text after '@' of its first '.'-piece,
// "0" when there is none.
std::string versionKey(const std::string& word);
// 1 equal, 2 the peer is newer, 3 the peer is older.
int32_t compareVersion(const std::string& peerWord);

}  // namespace imsdkmrtc
