// Logging through the host's log service (tag "mrtc", the qualified function
// name, a printf format). Does nothing without a plug-in or while no host is
// set.
#pragma once

#include <cstdint>
#include <string>

// One out-of-line call per log line: the checks for a plug-in and a host live
// once in logLine, not in every handler that logs.
#define MRTC_LOG(plugin, level, func, ...) \
  ::imsdkmrtc::logLine((plugin), (level), (func), __VA_ARGS__)

namespace imsdkmrtc {

class mrtc_plugin;

// Formats the line and hands it to the plug-in's host log service (tag
// "mrtc"); does nothing without a plug-in or while no host is set. The host
// gets the finished text under a plain "%s" format.
void logLine(const mrtc_plugin* plugin, int32_t level, const char* func, const char* fmt, ...)
    __attribute__((format(printf, 4, 5)));

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
