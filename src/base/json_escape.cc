#include "base/json_escape.h"

namespace imsdkmrtc {

std::string jsonEscape(const std::string& value) {
  std::string out;
  out.reserve(value.size());
  appendJsonEscaped(out, value);
  return out;
}

void appendJsonEscaped(std::string& out, const std::string& value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += ch;
      continue;
    }
    if (c >= 0x20) {
      out += ch;
      continue;
    }
    out += '\\';
    switch (c) {
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
