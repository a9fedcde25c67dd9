// Standard Base64 (A-Z a-z 0-9 + /, '=' padding) for display names carried
// in "oName". Pure functions.
#pragma once

#include <string>

namespace imsdkmrtc {

std::string base64Encode(const std::string& data);
// Stops at the first '='; characters outside the alphabet are skipped.
std::string base64Decode(const std::string& text);

}  // namespace imsdkmrtc
