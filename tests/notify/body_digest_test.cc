// The digest that tells a repeated message from another one with the same id:
// it must see every byte of the body, the last ones of a length that is no
// multiple of the word size too, and tell a trailing zero byte from none.
#include "notify/body_digest.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(BodyDigest, EveryByteAndTheLengthCount) {
  for (size_t length : {0, 1, 7, 8, 9, 31, 32, 33, 40, 63, 64, 65, 1000}) {
    std::string body;
    for (size_t i = 0; i < length; ++i) body += static_cast<char>('a' + i % 26);
    const uint64_t digest = imsdkmrtc::bodyDigest(body);
    EXPECT_EQ(imsdkmrtc::bodyDigest(std::string(body)), digest) << length;
    for (size_t at = 0; at < length; ++at) {
      for (char changed :
           {'\0', static_cast<char>(body[at] ^ 0x01), static_cast<char>(body[at] ^ 0x80)}) {
        std::string other = body;
        other[at] = changed;
        EXPECT_NE(imsdkmrtc::bodyDigest(other), digest) << length << " at " << at;
      }
    }
    EXPECT_NE(imsdkmrtc::bodyDigest(body + '\0'), digest) << length;
  }
}

}  // namespace
