// commLib stand-in: the utility functions the plug-in relies on.
#include "tools.h"

#include "clock.h"

int64_t tools::get_mill_sec() { return commlib::detail::nowMs(); }

int64_t tools::getLocalTime() { return commlib::detail::nowMs() / 1000; }

void tools::sleep(int64_t ms) { commlib::detail::sleepMs(ms); }

namespace {

unsigned digitOf(char c) { return static_cast<unsigned>(static_cast<unsigned char>(c)) - '0'; }

// Reads on from p while there are digits, adding each to value. Ids are six
// digits and more, and the plug-in reads thousands of them a message: four
// digits a round, a test and a multiply-add each. Wraps like the C library
// does. Reads no byte past the first non-digit: a caller may point into a
// longer text that ends the number with a quote.
uint64_t readDigits(const char* p, uint64_t value) {
  for (;; p += 4) {
    unsigned d = digitOf(p[0]);
    if (d > 9) return value;
    value = value * 10 + d;
    d = digitOf(p[1]);
    if (d > 9) return value;
    value = value * 10 + d;
    d = digitOf(p[2]);
    if (d > 9) return value;
    value = value * 10 + d;
    d = digitOf(p[3]);
    if (d > 9) return value;
    value = value * 10 + d;
  }
}

}  // namespace

int64_t tools::atoint64(const char* text) {
  if (text == nullptr) return 0;
  // An id starts with its first digit: nothing to skip.
  const unsigned first = digitOf(*text);
  if (first <= 9) return static_cast<int64_t>(readDigits(text + 1, first));
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  bool negative = false;
  if (*p == '-' || *p == '+') {
    negative = (*p == '-');
    ++p;
  }
  const uint64_t value = readDigits(p, 0);
  return negative ? static_cast<int64_t>(0 - value) : static_cast<int64_t>(value);
}

int64_t tools::strToInt64(const std::string& text) { return atoint64(text.c_str()); }

char* tools::int64toa(char* buf, int64_t value) {
  char tmp[24];
  int n = 0;
  uint64_t v = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    tmp[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v != 0);
  int pos = 0;
  if (value < 0) buf[pos++] = '-';
  while (n > 0) buf[pos++] = tmp[--n];
  buf[pos] = '\0';
  return buf;
}

std::string tools::int64_To_Str(int64_t value) {
  char buf[32];
  return int64toa(buf, value);
}

bool tools::isNumber(const std::string& text) {
  size_t i = 0;
  if (!text.empty() && text[0] == '-') i = 1;
  if (i >= text.size()) return false;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
  }
  return true;
}

std::string tools::trim(const std::string& text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}
