#include "sync_point.h"

#include <cstdio>
#include <fstream>

namespace node {

std::string SyncPoint::load() const {
  std::ifstream in(path_);
  std::string id;
  if (in) std::getline(in, id);
  return id;
}

void SyncPoint::save(const std::string& archiveId) const {
  if (path_.empty() || archiveId.empty()) return;
  const std::string tmp = path_ + ".new";
  {
    std::ofstream out(tmp, std::ios::trunc);
    if (!out) return;
    out << archiveId << "\n";
  }
  std::rename(tmp.c_str(), path_.c_str());
}

}  // namespace node
