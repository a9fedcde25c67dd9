#include "base/json_escape.h"

#include "base/plain_run.h"

namespace imsdkmrtc {

std::string jsonEscape(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  appendJsonEscaped(out, value);
  return out;
}

void appendJsonEscaped(std::string& out, std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char* p = value.data();
  const char* const end = p + value.size();
  while (p != end) {
    // Most values need no escape at all: the bytes up to the next one that
    // does go in one append.
    const char* const run = p;
    p = plainRunEnd(p, end);
    if (p != run) out.append(run, static_cast<size_t>(p - run));
    if (p == end) break;
    // The escape goes in as one piece.
    const auto c = static_cast<unsigned char>(*p++);
    char escape[6] = {'\\', static_cast<char>(c)};
    size_t length = 2;
    switch (c) {
      case '"':
      case '\\':
        break;
      case '\b':
        escape[1] = 'b';
        break;
      case '\t':
        escape[1] = 't';
        break;
      case '\n':
        escape[1] = 'n';
        break;
      case '\f':
        escape[1] = 'f';
        break;
      case '\r':
        escape[1] = 'r';
        break;
      default:
        escape[1] = 'u';
        escape[2] = '0';
        escape[3] = '0';
        escape[4] = kHex[c >> 4];
        escape[5] = kHex[c & 0xF];
        length = 6;
    }
    out.append(escape, length);
  }
}

}  // namespace imsdkmrtc
