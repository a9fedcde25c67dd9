// Notices when the host's process did not run for a while (stopped by a
// signal, suspended by the system, starved of the CPU) and writes a "pause"
// entry for each plug-in instance alive then. A plug-in's timer fires late
// after such a pause; without the entry a replay could not tell that from a
// time-out fired late by mistake.
//
// Threads: one thread of its own, started with the first recorded instance
// and kept for the life of the process (the shim stays mapped). The list of
// instances has one mutex, a leaf, never held while writing.
#pragma once

#include <string>

namespace mrtcrecord {

namespace pause_watch {

// Starts the watch once; later calls only add CLIENT to it.
void added(const std::string& client);
void released(const std::string& client);

}  // namespace pause_watch

}  // namespace mrtcrecord
