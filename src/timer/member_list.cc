#include "timer/member_list.h"

#include <utility>

namespace imsdkmrtc {

namespace {

const std::vector<int64_t>& noIds() {
  static const std::vector<int64_t> none;
  return none;
}

}  // namespace

memberList::memberList(std::vector<int64_t> ids) : memberList(std::move(ids), 0) {}

memberList::memberList(std::vector<int64_t> ids, uint64_t idsHash) {
  if (ids.empty()) return;
  auto made = std::make_shared<block>();
  made->hash.store(idsHash, std::memory_order_relaxed);
  made->ids = std::move(ids);
  block_ = std::move(made);
}

const std::vector<int64_t>& memberList::ids() const { return block_ ? block_->ids : noIds(); }

bool memberList::sameIds(const std::vector<int64_t>& ids, uint64_t idsHash) const {
  if (!block_) return ids.empty();
  uint64_t hash = block_->hash.load(std::memory_order_relaxed);
  if (hash == 0) {
    hash = hashOf(block_->ids);
    block_->hash.store(hash, std::memory_order_relaxed);
  }
  return hash == idsHash && block_->ids == ids;
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
