// Readers of single values in small JSON-like texts (request cmd and extend
// fields, settings, server texts). They search the key as plain text, not as
// JSON: the rules and sentinel words below are part of the protocol with the
// application. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace imsdkmrtc {

// Sentinels of getJsonText.
constexpr char kJsonTextNull[] = "null";      // empty text
constexpr char kJsonTextUnknow[] = "unknow";  // key or quotes not found
constexpr char kJsonTextBlank[] = "blank";    // empty quoted value

std::string getJsonText(std::string_view text, std::string_view key);
std::string getJsonString(std::string_view text, std::string_view key);
int32_t getJsonInt(std::string_view text, std::string_view key);
bool getJsonBool(std::string_view text, std::string_view key, bool& out);
std::string getJsonNumber(std::string_view text, std::string_view key);
std::string getKeyValue(std::string_view text, std::string_view key);

}  // namespace imsdkmrtc
