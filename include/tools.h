// commLib utility functions (class tools): exactly the ones the plug-in
// imports. The host's commLib defines them; the plug-in links against it.
//
// All functions are static and may be called from any thread at once.
#pragma once

#include <cstdint>
#include <string>

class tools {
 public:
  // Milliseconds on a clock that never goes back; any epoch. Used only for
  // intervals between two of its own readings.
  static int64_t get_mill_sec();
  // Whole seconds since the Unix epoch (1970-01-01 UTC), local device time.
  // The time-out queue measures intervals with it; call cards and the
  // message-id counter take it as a date.
  static int64_t getLocalTime();
  // Decimal text to a 64-bit id; leading blanks and a sign are accepted,
  // reading stops at the first non-digit, anything unreadable gives 0.
  static int64_t strToInt64(const std::string& text);
  static int64_t atoint64(const char* text);
  static std::string int64_To_Str(int64_t value);
  // Writes the decimal text of value into buf (at least 21 bytes) and
  // returns buf.
  static char* int64toa(char* buf, int64_t value);
  // True for an optional '-' followed by one or more decimal digits only.
  static bool isNumber(const std::string& text);
  // Removes leading and trailing blanks (space, tab, CR, LF).
  static std::string trim(const std::string& text);
  // Blocks the calling thread for ms milliseconds (the timer thread's tick).
  static void sleep(int64_t ms);
};
