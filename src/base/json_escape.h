// The one escaper of the texts the plug-in writes by concatenation (cards,
// weak hints, shared texts, event extends, answer texts). Pure; any thread.
#pragma once

#include <string>
#include <string_view>

namespace imsdkmrtc {

// value as the inside of a JSON string, by the signalling writer's rules:
// quote and backslash get a backslash; control bytes below 0x20 become \b,
// \t, \n, \f, \r or \u00XX (upper-case hex). Every other byte, 0x7F and
// everything from 0x80 up included, passes as it is: valid UTF-8 stays
// byte-identical and invalid UTF-8 travels unchanged (the readers parse
// without validating the encoding). A value without such bytes comes back
// unchanged, so the written formats stay what they always were.
std::string jsonEscape(const std::string& value);
// The same, appended to out: a text built piece by piece escapes each value
// into its own buffer, with no string made per value.
void appendJsonEscaped(std::string& out, std::string_view value);

}  // namespace imsdkmrtc
