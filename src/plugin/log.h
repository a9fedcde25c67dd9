// Logging through the host's log service (tag "mrtc", the qualified function
// name, a printf format). Does nothing without a plug-in or while no host is
// set.
#pragma once

#include <cstdint>
#include <string>

#define MRTC_LOG(plugin, level, func, ...)                                          \
  do {                                                                              \
    const auto* mrtc_log_plugin_ = (plugin);                                        \
    ::imsdk::IHostService* mrtc_log_host_ =                                         \
        mrtc_log_plugin_ != nullptr ? mrtc_log_plugin_->host() : nullptr;           \
    if (mrtc_log_host_ != nullptr) {                                                \
      mrtc_log_host_->log((level), "mrtc", (func), __VA_ARGS__);                    \
    }                                                                               \
  } while (0)

namespace imsdkmrtc {

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
