// The last archive id this device has seen, kept in a file as a real SDK
// keeps its sync point: a restarted node asks the archive only for what came
// after it. Written whole to a temporary file and renamed, so a node killed
// mid-write leaves the old point, never half a one.
#pragma once

#include <string>

namespace node {

class SyncPoint {
 public:
  explicit SyncPoint(std::string path) : path_(std::move(path)) {}
  // "" when there is none yet (a device that never logged in).
  std::string load() const;
  void save(const std::string& archiveId) const;

 private:
  std::string path_;
};

}  // namespace node
