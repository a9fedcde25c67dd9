// pluginEnv: what the plug-in lends its lower subsystems (store, media-server
// choice, timer, signalling): the host, the own id, the message counter, the
// settings and a way to post a time-out. The plug-in implements it; each of
// those subsystems keeps its pointer back to the plug-in typed as this view,
// so none of them can reach the request or notification handlers, or the
// other members. Where one must call up, the plug-in hands it a callback when
// it assembles them.
//
// Threads: every call may come from any thread and takes no plug-in lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/plugin_settings.h"
#include "host_service.h"

namespace imsdkmrtc {

class pluginEnv {
 public:
  // Null while no host is set.
  virtual imsdk::IHostService* host() const = 0;
  // The own user id (host service 6); 0 without a host.
  virtual int64_t selfId() const = 0;
  // With peek the counter unchanged, otherwise the next value.
  virtual int64_t nextSeq(seqStep step) = 0;
  virtual pluginSettings& settings() = 0;
  // Posts a repeated-ring time-out to the host's dispatch (command 24101).
  virtual void addRecallTimeout(const std::string& key, const std::string& roomId,
                                const std::vector<int64_t>& members, int32_t duration,
                                int32_t category, const std::string& extra, int64_t fireTime,
                                int32_t recallCnt) = 0;

 protected:
  // Nobody owns the plug-in through this view.
  ~pluginEnv() = default;
};

}  // namespace imsdkmrtc
