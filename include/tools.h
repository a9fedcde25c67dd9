// commLib utility functions (class tools) as the plug-in uses them.
//
// All functions are static and may be called from any thread.
#pragma once

#include <cstdint>
#include <string>

class tools {
 public:
  // Millisecond clock.
  static int64_t get_mill_sec();
  // Whole seconds; the timer queue and hint times are based on it.
  static int64_t getLocalTime();
  // Decimal text to a 64-bit id; leading blanks and a sign are accepted,
  // reading stops at the first non-digit, anything unreadable gives 0.
  static int64_t strToInt64(const std::string& text);
  static int64_t atoint64(const char* text);
  static std::string int64_To_Str(int64_t value);
  // Writes the decimal text of value into buf (at least 21 bytes).
  static char* int64toa(char* buf, int64_t value);
  // True for an optional '-' followed by one or more decimal digits only.
  static bool isNumber(const std::string& text);
  // Removes leading and trailing blanks (space, tab, CR, LF).
  static std::string trim(const std::string& text);
  // Converts GB2312/GBK bytes to UTF-8; invalid input is returned unchanged.
  static std::string GBToUTF8(const std::string& text);
  static void sleep(int64_t ms);
};
