// The command text of a setting, the "cmd" of extra request 24006, as an
// application writes it: a flat JSON object whose values are all texts,
// {"enable":"on","duration":"30","count":"2"}. Tools, benchmarks and fuzzers
// that play an application build their settings here, with the plug-in's own
// key words (requests/request_texts.h).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

namespace codec {

using SettingField = std::pair<const char*, std::string>;

// The fields in the order given.
std::string settingText(std::initializer_list<SettingField> fields);
// One switch: {"key":"on"} or {"key":"off"}.
std::string switchText(const char* key, bool on);
// Re-ringing on, every durationS seconds, count times.
std::string recallText(int64_t durationS, int64_t count);

}  // namespace codec
