// `mrtc-sim redact`: a trace safe to share. User ids, names, room ids,
// tokens and addresses are mapped to stable stand-ins everywhere they occur
// (fields, message bodies, properties, extends, log lines, Base64-encoded
// names), so that the redacted trace replays as the original did.
#pragma once

#include <string>
#include <vector>

namespace mrtcsim {
namespace replay {

// The redacted text of a whole trace; throws codec::ReadError on a bad one.
std::string redactTrace(const std::string& text, const std::string& file);

// Several traces of one call (one per device) with one set of stand-ins, so
// that a message sent in one and received in another still match.
struct TraceText {
  std::string text;
  std::string file;
};
std::vector<std::string> redactTraces(const std::vector<TraceText>& traces);

}  // namespace replay
}  // namespace mrtcsim
