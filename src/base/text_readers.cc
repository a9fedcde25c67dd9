#include "base/text_readers.h"

#include <cstring>

#include "tools.h"

namespace imsdkmrtc {

namespace {

constexpr size_t kNone = std::string_view::npos;

// The key searches and word compares are written out rather than left to
// libc. Every client reads each received hint with these (and each request
// its fields), and the fuzz builds hook every memcmp of the process: one
// that differs, as nearly every candidate of a search does, cost a few
// hundred instructions there. This file is built without compare hooks, so
// the loops below cost what they cost anywhere.
bool sameBytes(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

template <size_t N>
bool isWord(std::string_view value, const char (&word)[N]) {
  return value.size() == N - 1 && sameBytes(value.data(), word, N - 1);
}

// Where key first occurs in text, as std::string_view::find answers.
size_t findKey(std::string_view text, std::string_view key) {
  if (key.empty()) return 0;
  if (key.size() > text.size()) return kNone;
  const char* const begin = text.data();
  // The last place the key could start.
  const char* const last = begin + (text.size() - key.size());
  for (const char* p = begin; p <= last; ++p) {
    p = static_cast<const char*>(std::memchr(p, key[0], static_cast<size_t>(last - p) + 1));
    if (p == nullptr) return kNone;
    if (sameBytes(p + 1, key.data() + 1, key.size() - 1)) return static_cast<size_t>(p - begin);
  }
  return kNone;
}

// Position just after the first ':' that follows the first occurrence of
// key, or kNone when there is none or the colon is the last character.
size_t valueStart(std::string_view text, std::string_view key) {
  const size_t at = findKey(text, key);
  if (at == kNone) return kNone;
  const size_t colon = text.find(':', at + key.size());
  if (colon == kNone || colon + 1 >= text.size()) return kNone;
  return colon + 1;
}

// The value getJsonText reads: between the first two quotes after the
// key's colon.
enum class quoted : uint8_t { kValue, kBlank, kMissing };

quoted quotedValue(std::string_view text, std::string_view key, std::string_view& value) {
  const size_t start = valueStart(text, key);
  if (start == kNone) return quoted::kMissing;
  const size_t open = text.find('"', start);
  if (open == kNone || open + 1 >= text.size()) return quoted::kMissing;
  const size_t close = text.find('"', open + 1);
  if (close == kNone) return quoted::kMissing;
  if (close == open + 1) return quoted::kBlank;
  value = text.substr(open + 1, close - open - 1);
  return quoted::kValue;
}

// A value that reads as a sentinel word stands for no value.
bool isSentinel(std::string_view value) {
  return isWord(value, kJsonTextNull) || isWord(value, kJsonTextUnknow) ||
         isWord(value, kJsonTextBlank);
}

}  // namespace

std::string getJsonText(std::string_view text, std::string_view key) {
  if (text.empty()) return kJsonTextNull;
  std::string_view value;
  switch (quotedValue(text, key, value)) {
    case quoted::kValue:
      return std::string(value);
    case quoted::kBlank:
      return kJsonTextBlank;
    case quoted::kMissing:
      break;
  }
  return kJsonTextUnknow;
}

std::string getJsonString(std::string_view text, std::string_view key) {
  std::string_view value;
  if (quotedValue(text, key, value) != quoted::kValue || isSentinel(value)) return std::string();
  return std::string(value);
}

int32_t getJsonInt(std::string_view text, std::string_view key) {
  std::string_view value;
  // A sentinel word is no number either.
  if (quotedValue(text, key, value) != quoted::kValue) return -1;
  const std::string number(value);
  if (!tools::isNumber(number)) return -1;
  return static_cast<int32_t>(tools::strToInt64(number));
}

bool getJsonBool(std::string_view text, std::string_view key, bool& out) {
  std::string_view value;
  if (quotedValue(text, key, value) != quoted::kValue) return false;
  if (isWord(value, "on")) {
    out = true;
    return true;
  }
  if (isWord(value, "off")) {
    out = false;
    return true;
  }
  return false;
}

std::string getJsonNumber(std::string_view text, std::string_view key) {
  if (text.empty()) return std::string();
  const size_t start = valueStart(text, key);
  if (start == kNone) return std::string();
  size_t end = text.find(',', start);
  if (end == kNone) end = text.find('}', start);
  if (end == kNone || end == start) return std::string();
  std::string value = tools::trim(std::string(text.substr(start, end - start)));
  return tools::isNumber(value) ? value : std::string();
}

std::string getKeyValue(std::string_view text, std::string_view key) {
  if (text.empty()) return std::string();
  const size_t at = findKey(text, key);
  if (at == kNone) return std::string();
  const size_t eq = text.find('=', at + key.size());
  if (eq == kNone || eq + 1 >= text.size()) return std::string();
  size_t end = text.find(',', eq + 1);
  if (end == kNone) end = text.size();
  return std::string(text.substr(eq + 1, end - eq - 1));
}

}  // namespace imsdkmrtc
