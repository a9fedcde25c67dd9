#include "base/version.h"

#include <cstring>

#include "base/wire_words.h"

namespace imsdkmrtc {

const char* const kProtocolVersion = texts::kProtocolVersion;

std::string versionKey(const std::string& word) {
  if (word.empty()) return "0";
  std::string first = word.substr(0, word.find('.'));
  size_t at = first.find('@');
  if (at == std::string::npos || at + 1 >= first.size()) return "0";
  return first.substr(at + 1);
}

int32_t compareVersion(const std::string& peerWord) {
  const std::string own = versionKey(kProtocolVersion);
  const std::string peer = versionKey(peerWord);
  size_t n = own.size() < peer.size() ? own.size() : peer.size();
  int c = std::memcmp(own.data(), peer.data(), n);
  if (c == 0) {
    if (own.size() == peer.size()) return 1;
    c = own.size() < peer.size() ? -1 : 1;
  }
  return c < 0 ? 2 : 3;
}

}  // namespace imsdkmrtc
