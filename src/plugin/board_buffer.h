// boardBuffer: signalling commands buffered for one watched group, from which
// a member can join a running talk (request 24004).
//
// Threads: every operation but setSwitch runs under the buffer's own lock and
// does nothing while the buffer is off.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "CLocker.h"
#include "signalling/mrtc_cmd.h"

namespace imsdkmrtc {

class mrtc_plugin;
struct timeoutRecord;

// Talks buffered at once: any member of the watched group can start one, and
// a group has a few running talks at most. When full, the oldest goes.
constexpr size_t kBoardLimit = 16;

class boardBuffer {
 public:
  void setPlugin(mrtc_plugin* plugin) { plugin_ = plugin; }

  void setSwitch(bool on);
  void setWatchedGroup(int64_t groupId);
  bool take(int64_t groupId, const std::string& roomId, mrtcCmd& out);
  bool boardTimeout(const timeoutRecord& record, std::vector<mrtcCmd>& out);
  // Buffers a "multi_call" seen in the watched group (the only way commands
  // enter the list).
  void offer(const mrtcCmd& cmd);

  bool enabled();
  int64_t watchedGroup();
  size_t size();

 private:
  mrtc_plugin* plugin_ = nullptr;
  imsdk::CLocker lock_;
  bool enabled_ = false;
  int64_t watchedGroup_ = 0;
  std::vector<mrtcCmd> list_;  // at most kBoardLimit, oldest first
};

}  // namespace imsdkmrtc
