#include "base/json_escape.h"

namespace imsdkmrtc {

std::string jsonEscape(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  appendJsonEscaped(out, value);
  return out;
}

namespace {

bool passesAsIs(char ch) {
  const auto c = static_cast<unsigned char>(ch);
  return c >= 0x20 && c != '"' && c != '\\';
}

}  // namespace

void appendJsonEscaped(std::string& out, std::string_view value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char* p = value.data();
  const char* const end = p + value.size();
  while (p != end) {
    // Most values need no escape at all: the bytes up to the next one that
    // does go in one append.
    const char* const run = p;
    while (p != end && passesAsIs(*p)) ++p;
    if (p != run) out.append(run, static_cast<size_t>(p - run));
    if (p == end) break;
    const char ch = *p++;
    const auto c = static_cast<unsigned char>(ch);
    out += '\\';
    switch (c) {
      case '"':
      case '\\':
        out += ch;
        break;
      case '\b':
        out += 'b';
        break;
      case '\t':
        out += 't';
        break;
      case '\n':
        out += 'n';
        break;
      case '\f':
        out += 'f';
        break;
      case '\r':
        out += 'r';
        break;
      default:
        out += "u00";
        out += kHex[c >> 4];
        out += kHex[c & 0xF];
    }
  }
}

}  // namespace imsdkmrtc
