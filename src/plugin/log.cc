#include "plugin/log.h"

#include <cstdarg>
#include <cstdio>

#include "plugin/mrtc_plugin.h"

namespace imsdkmrtc {

void logLine(const mrtc_plugin* plugin, int32_t level, const char* func, const char* fmt, ...) {
  imsdk::IHostService* host = plugin != nullptr ? plugin->host() : nullptr;
  if (host == nullptr) return;
  va_list args;
  va_start(args, fmt);
  va_list again;
  va_copy(again, args);
  char small[512];
  const int n = std::vsnprintf(small, sizeof small, fmt, args);
  std::string text;
  if (n >= static_cast<int>(sizeof small)) {
    text.resize(static_cast<size_t>(n) + 1);
    std::vsnprintf(&text[0], text.size(), fmt, again);
    text.resize(static_cast<size_t>(n));
  } else if (n > 0) {
    text.assign(small, static_cast<size_t>(n));
  }
  va_end(again);
  va_end(args);
  host->log(level, "mrtc", func, "%s", text.c_str());
}

}  // namespace imsdkmrtc
