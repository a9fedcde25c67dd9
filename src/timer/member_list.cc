#include "timer/member_list.h"

#include <utility>

namespace imsdkmrtc {

namespace {

const std::vector<int64_t>& noIds() {
  static const std::vector<int64_t> none;
  return none;
}

}  // namespace

memberList::memberList(std::vector<int64_t> ids) {
  if (ids.empty()) return;
  const uint64_t hash = hashOf(ids);
  *this = memberList(std::move(ids), hash);
}

memberList::memberList(std::vector<int64_t> ids, uint64_t idsHash) {
  if (ids.empty()) return;
  auto made = std::make_shared<block>();
  made->hash = idsHash;
  made->ids = std::move(ids);
  block_ = std::move(made);
}

const std::vector<int64_t>& memberList::ids() const { return block_ ? block_->ids : noIds(); }

bool memberList::sameIds(const std::vector<int64_t>& ids, uint64_t idsHash) const {
  if (!block_) return ids.empty();
  return block_->hash == idsHash && block_->ids == ids;
}

uint64_t memberList::hashOf(const std::vector<int64_t>& ids) {
  uint64_t h = 0x9E3779B97F4A7C15ull ^ ids.size();
  for (int64_t id : ids) {
    h ^= static_cast<uint64_t>(id);
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 32;
  }
  return h;
}

}  // namespace imsdkmrtc
