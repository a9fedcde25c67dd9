// The host's service object as the real plug-in sees it through the shim:
// every service call is passed to the host and written to the trace with
// its arguments and its answer.
#pragma once

#include <string>

#include "host_service_overrides.h"

namespace mrtcrecord {

class RecordingHost : public imsdk::IHostService {
 public:
  RecordingHost(imsdk::IHostService* host, std::string client)
      : host_(host), client_(std::move(client)) {}
  ~RecordingHost() override = default;

  MRTC_HOST_SERVICE_OVERRIDES

 private:
  // Both set once before the plug-in can call; read-only afterwards.
  imsdk::IHostService* const host_;
  const std::string client_;
};

}  // namespace mrtcrecord
