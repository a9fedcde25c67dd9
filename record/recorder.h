// The recorder's process-wide part: where the trace goes, the real plug-in
// library, and the stamps every entry carries (sequence number, enclosing
// crossing, calling thread, host time).
//
// Threads: every function may be called from any thread. The trace file has
// one mutex, a leaf: it is held only while a finished line is written, never
// while the host or the plug-in runs.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

#include "IPlugin.h"
#include "item.h"
#include "record_api.h"

namespace mrtcrecord {

struct Config {
  std::string tracePath;   // empty: nothing is written, calls only pass through
  std::string pluginPath;  // empty: libmrtcplugin.so.1 next to the shim
  bool keepLogs = false;
};

// A crossing under way on this thread: its number and the one it happens in.
class Crossing {
 public:
  Crossing();
  ~Crossing();
  Crossing(const Crossing&) = delete;
  Crossing& operator=(const Crossing&) = delete;

  int64_t seq() const { return seq_; }
  // True on a thread that is inside a crossing (the plug-in's own service
  // calls, the host's loop-backs).
  static bool inside();
  // The entry for it, stamped (time, thread, sequence, parent).
  codec::Item entry(const std::string& client, const char* kind) const;

 private:
  int64_t seq_;
  int64_t parent_;
  int64_t t_;
};

class Recorder {
 public:
  static Recorder& get();

  // Takes effect for plug-ins created afterwards; the trace file, once
  // opened, stays the one of the process.
  void configure(const Config& config);
  Config config();

  // The real plug-in library's exports; null (with the reason logged to
  // stderr once) when it cannot be loaded.
  using CreateFn = imsdk::IPlugin* (*)();
  using ReleaseFn = void (*)(imsdk::IPlugin*);
  bool load(CreateFn& create, ReleaseFn& release);

  // The time a plug-in is made at, taken just before it is made: what the
  // plug-in derives from the clock then (the seed of its message ids) is what
  // a replay that makes it at the header's time derives again.
  struct Birth {
    int64_t t;
    int64_t localTime;
  };
  Birth birth() const;
  // Makes the real plug-in and tells when (null when it makes none). The
  // plug-in seeds its message ids from the local time's second while it is
  // being made, and a replay makes it at the second BORN names: one made
  // across a second boundary is released and made again.
  imsdk::IPlugin* make(CreateFn create, ReleaseFn release, Birth& born) const;
  // Next instance name ("p1", "p2", ...), and its first entry.
  std::string newInstance(const Birth& born);
  bool recording();
  bool keepLogs() const { return keepLogs_.load(); }
  void write(const codec::Item& entry);

  int64_t elapsedMs() const;

 private:
  Recorder();
  bool openLocked();

  std::mutex mu_;
  std::string loadedPath();

  Config config_;
  std::string loadedPath_;
  FILE* file_ = nullptr;
  bool failed_ = false;
  int instances_ = 0;
  std::atomic<bool> keepLogs_{false};
  int64_t startMs_ = 0;
};

}  // namespace mrtcrecord
