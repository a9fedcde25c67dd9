// Logging through the host's log service (tag "mrtc", the qualified function
// name, a printf format). Does nothing without a plug-in or while no host is
// set.
#pragma once

#include <cstdint>
#include <string>

#include "host_service.h"

// The checks for a plug-in and a host live once, in logLine, not at every
// call site. The host still gets the format and its arguments as written:
// the unevaluated call below keeps the compiler's printf check on each line.
#define MRTC_LOG(plugin, level, func, ...)                               \
  do {                                                                   \
    static_cast<void>(sizeof(::imsdkmrtc::logFormatCheck(__VA_ARGS__))); \
    ::imsdkmrtc::logLine((plugin), (level), (func), __VA_ARGS__);        \
  } while (0)

namespace imsdkmrtc {

// Never defined: only named in unevaluated code, for the format check.
int logFormatCheck(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wformat-security"
#pragma clang diagnostic ignored "-Wformat-nonliteral"
#endif
// Hands the line to the plug-in's host log service (tag "mrtc"); does nothing
// without a plug-in or while no host is set.
template <typename Plugin, typename... Args>
void logLine(const Plugin* plugin, int32_t level, const char* func, const char* fmt, Args... args) {
  ::imsdk::IHostService* host = plugin != nullptr ? plugin->host() : nullptr;
  if (host == nullptr) return;
  host->log(level, "mrtc", func, fmt, args...);
}
#if defined(__clang__)
#pragma clang diagnostic pop
#endif

// Bodies and request texts are logged as at most their first 1024 bytes.
constexpr size_t kLogTextLimit = 1024;
inline std::string logCut(const std::string& text) {
  return text.size() > kLogTextLimit ? text.substr(0, kLogTextLimit) : text;
}

// The object as a number, for the "THIS:%d" lines.
inline int logThis(const void* object) {
  return static_cast<int>(reinterpret_cast<uintptr_t>(object));
}

}  // namespace imsdkmrtc
