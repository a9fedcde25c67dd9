// Readers of single values in small JSON-like texts (request cmd and extend
// fields, settings, server texts). They search the key as plain text, not as
// JSON: the rules and sentinel words below are part of the protocol with the
// application. Pure functions; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace imsdkmrtc {

// Sentinels of getJsonText.
constexpr char kJsonTextNull[] = "null";      // empty text
constexpr char kJsonTextUnknow[] = "unknow";  // key or quotes not found
constexpr char kJsonTextBlank[] = "blank";    // empty quoted value

std::string getJsonText(const std::string& text, const std::string& key);
std::string getJsonString(const std::string& text, const std::string& key);
int32_t getJsonInt(const std::string& text, const std::string& key);
bool getJsonBool(const std::string& text, const std::string& key, bool& out);
std::string getJsonNumber(const std::string& text, const std::string& key);
std::string getKeyValue(const std::string& text, const std::string& key);

}  // namespace imsdkmrtc
