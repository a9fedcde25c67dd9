// A recorded trace as the replay reads it: the entries of each plug-in
// instance, in the order their crossings began, with each crossing's nested
// ones (what the host did inside a service call, what the plug-in did inside
// a slot call).
//
// Several files may be read together (one per device of a call); clients
// keep their recorded names unless two files use the same one, then the
// file's position is put in front ("2:p1"). A file the recorder appended to
// in several runs of a host holds one client per run ("p1", "p1.2").
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "item.h"
#include "read_error.h"

namespace mrtcsim {
namespace replay {

struct Entry {
  codec::Item item;   // every field as written
  std::string where;  // "file:line" for messages
  std::string line;   // the JSON text, for rebuilding records
  int64_t seq = 0;
  int64_t parent = 0;
  int64_t thread = 0;
  int64_t slot = -1;             // host -> plug-in crossing: its slot
  int64_t service = -1;          // plug-in -> host crossing: its service
  int64_t absMs = 0;             // on the replay's clock
  std::vector<size_t> children;  // indexes into ClientTrace::entries, by seq
};

// A time the host's process did not run (replay clock).
struct Pause {
  int64_t fromMs = 0;
  int64_t untilMs = 0;
};

struct ClientTrace {
  std::string name;  // as shown in the replay
  std::string file;
  codec::Item header;
  std::vector<Entry> entries;  // by seq
  std::vector<size_t> top;     // crossings not nested in another
  int64_t user = 0;            // from the first own-user answer
  // A trace without the plug-in's release was cut off at its last entry:
  // the host's process was killed, crashed or is still running.
  bool released = false;
  int64_t startMs = 0;  // when the plug-in was made, replay clock
  int64_t endMs = 0;    // the last entry's time, replay clock
  std::vector<Pause> pauses;
};

struct Trace {
  std::vector<ClientTrace> clients;
  int64_t startMs = 0;  // the replay clock's start: the earliest instance's start
};

// Throws codec::ReadError naming the file and line of the first mistake.
Trace loadTraces(const std::vector<std::string>& files);
// One file's text (tests, redaction).
std::vector<Entry> readEntries(const std::string& text, const std::string& file);

// Entry kinds the replay compares (what the plug-in produces).
bool isOutput(const Entry& e);

}  // namespace replay
}  // namespace mrtcsim
