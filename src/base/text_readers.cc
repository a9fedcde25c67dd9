#include "base/text_readers.h"

#include "tools.h"

namespace imsdkmrtc {

namespace {

bool isSentinel(const std::string& value) {
  return value.empty() || value == kJsonTextNull || value == kJsonTextUnknow ||
         value == kJsonTextBlank;
}

// Position just after the first ':' that follows the first occurrence of
// key, or npos when there is none or the colon is the last character.
size_t valueStart(const std::string& text, const std::string& key) {
  size_t at = text.find(key);
  if (at == std::string::npos) return std::string::npos;
  size_t colon = text.find(':', at + key.size());
  if (colon == std::string::npos || colon + 1 >= text.size()) return std::string::npos;
  return colon + 1;
}

}  // namespace

std::string getJsonText(const std::string& text, const std::string& key) {
  if (text.empty()) return kJsonTextNull;
  size_t start = valueStart(text, key);
  if (start == std::string::npos) return kJsonTextUnknow;
  size_t open = text.find('"', start);
  if (open == std::string::npos || open + 1 >= text.size()) return kJsonTextUnknow;
  size_t close = text.find('"', open + 1);
  if (close == std::string::npos) return kJsonTextUnknow;
  if (close == open + 1) return kJsonTextBlank;
  return text.substr(open + 1, close - open - 1);
}

std::string getJsonString(const std::string& text, const std::string& key) {
  std::string value = getJsonText(text, key);
  return isSentinel(value) ? std::string() : value;
}

int32_t getJsonInt(const std::string& text, const std::string& key) {
  std::string value = getJsonText(text, key);
  if (isSentinel(value) || !tools::isNumber(value)) return -1;
  return static_cast<int32_t>(tools::strToInt64(value));
}

bool getJsonBool(const std::string& text, const std::string& key, bool& out) {
  std::string value = getJsonText(text, key);
  if (value == "on") {
    out = true;
    return true;
  }
  if (value == "off") {
    out = false;
    return true;
  }
  return false;
}

std::string getJsonNumber(const std::string& text, const std::string& key) {
  if (text.empty()) return std::string();
  size_t start = valueStart(text, key);
  if (start == std::string::npos) return std::string();
  size_t end = text.find(',', start);
  if (end == std::string::npos) end = text.find('}', start);
  if (end == std::string::npos || end == start) return std::string();
  std::string value = tools::trim(text.substr(start, end - start));
  return tools::isNumber(value) ? value : std::string();
}

std::string getKeyValue(const std::string& text, const std::string& key) {
  if (text.empty()) return std::string();
  size_t at = text.find(key);
  if (at == std::string::npos) return std::string();
  size_t eq = text.find('=', at + key.size());
  if (eq == std::string::npos || eq + 1 >= text.size()) return std::string();
  size_t end = text.find(',', eq + 1);
  if (end == std::string::npos) end = text.size();
  return text.substr(eq + 1, end - eq - 1);
}

}  // namespace imsdkmrtc
