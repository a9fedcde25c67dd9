// `mrtc-sim redact`: a trace safe to share. User ids, names, room ids,
// tokens and addresses are mapped to stable stand-ins everywhere they occur
// (fields, message bodies, properties, extends, log lines, Base64-encoded
// names), so that the redacted trace replays as the original did.
#pragma once

#include <string>

namespace mrtcsim {
namespace replay {

// The redacted text of a whole trace; throws codec::ReadError on a bad one.
std::string redactTrace(const std::string& text, const std::string& file);

}  // namespace replay
}  // namespace mrtcsim
