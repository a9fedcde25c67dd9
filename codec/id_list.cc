#include "id_list.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>
#include <unordered_map>

namespace codec {

namespace {

// The first position below k where a and b part, or k. Whole blocks go
// through memcmp, which reads many ids an instruction: wide blocks while
// they agree, so that a list of thousands costs a few calls, then narrow
// ones inside the wide block where they part; only the narrow block where
// they part is read one id at a time. Lists one id away from each other part
// anywhere along thousands of ids.
size_t firstDifference(const int64_t* a, const int64_t* b, size_t k) {
  size_t i = 0;
  for (size_t block : {size_t{256}, size_t{32}}) {
    while (i + block <= k && std::memcmp(a + i, b + i, block * sizeof(int64_t)) == 0) i += block;
  }
  return static_cast<size_t>(std::mismatch(a + i, a + k, b + i).first - a);
}

}  // namespace

// A list stored whole (ids), or as another list `base` with `id` put in at
// `at` (added) or the base's id at `at` left out. A change is made only of a
// whole list or of a change of one, so a read takes two steps at most.
struct IdList::Rep {
  std::vector<int64_t> ids;
  std::shared_ptr<Rep> base;
  size_t at = 0;
  int64_t id = 0;
  bool added = false;
  int depth = 0;  // 0: whole; else one more than the base's
  size_t n = 0;

  // The spelled-out ids of a changed list, made once when asked for.
  mutable std::once_flag spelled;
  mutable std::vector<int64_t> flat;

  int64_t get(size_t i) const {
    if (!base) return ids[i];
    if (i < at) return base->get(i);
    if (added) return i == at ? id : base->get(i - 1);
    return base->get(i + 1);
  }

  // Hands run(first, count) the stored arrays that hold positions [from,
  // from + count) in order, so that a comparison reads whole arrays rather
  // than one position at a time; stops when run returns false.
  template <class Run>
  bool runs(size_t from, size_t count, Run&& run) const {
    if (count == 0) return true;
    if (!base) return run(ids.data() + from, count);
    if (from < at) {
      const size_t k = std::min(count, at - from);
      if (!base->runs(from, k, run)) return false;
      from += k;
      count -= k;
      if (count == 0) return true;
    }
    if (!added) return base->runs(from + 1, count, run);
    if (from == at) {
      if (!run(&id, 1)) return false;
      ++from;
      --count;
    }
    return base->runs(from - 1, count, run);
  }

  // Whether positions [from, from + count) hold other[0], other[1], ...
  bool holds(size_t from, size_t count, const int64_t* other) const {
    return runs(from, count, [&other](const int64_t* p, size_t k) {
      const bool same = std::equal(p, p + k, other);
      other += k;
      return same;
    });
  }

  // The first position, below `count`, where this list and `other` part.
  size_t mismatch(size_t count, const int64_t* other) const {
    size_t done = 0;
    runs(0, count, [&done, other](const int64_t* p, size_t k) {
      const size_t same = firstDifference(p, other + done, k);
      done += same;
      return same == k;
    });
    return done;
  }

  bool equals(const std::vector<int64_t>& other) const {
    return n == other.size() && holds(0, n, other.data());
  }
};

IdList::IdList(std::initializer_list<int64_t> ids) : IdList(std::vector<int64_t>(ids)) {}

IdList::IdList(std::vector<int64_t> ids) {
  if (ids.empty()) return;
  rep_ = std::make_shared<Rep>();
  rep_->n = ids.size();
  rep_->ids = std::move(ids);
}

size_t IdList::size() const { return rep_ ? rep_->n : 0; }

int64_t IdList::operator[](size_t i) const { return rep_->get(i); }

const std::vector<int64_t>& IdList::vec() const {
  static const std::vector<int64_t> kEmpty;
  if (!rep_) return kEmpty;
  if (!rep_->base) return rep_->ids;
  const Rep& r = *rep_;
  std::call_once(r.spelled, [&r] {
    r.flat.reserve(r.n);
    r.runs(0, r.n, [&r](const int64_t* p, size_t k) {
      r.flat.insert(r.flat.end(), p, p + k);
      return true;
    });
  });
  return r.flat;
}

void IdList::push_back(int64_t id) {
  // Changed in place only when no other copy, and no list stored as a change
  // of it, can see the array.
  if (!rep_ || rep_->base || rep_.use_count() > 1) {
    std::vector<int64_t> ids(begin(), end());
    rep_ = std::make_shared<Rep>();
    rep_->ids = std::move(ids);
  }
  rep_->ids.push_back(id);
  rep_->n = rep_->ids.size();
}

bool IdList::storedAsChangeOf(const IdList& other) const {
  return rep_ && rep_->base && rep_->base == other.rep_;
}

bool IdList::equals(const std::vector<int64_t>& ids) const {
  return rep_ ? rep_->equals(ids) : ids.empty();
}

bool operator==(const IdList& a, const IdList& b) {
  if (a.rep_ == b.rep_) return true;
  if (a.size() != b.size()) return false;
  if (!a.rep_->base) return b.rep_->equals(a.rep_->ids);
  if (!b.rep_->base) return a.rep_->equals(b.rep_->ids);
  return std::equal(a.begin(), a.end(), b.begin());
}

namespace {

// One incoming list and where it first parts from each stored list it has
// been held against, kept for the one call of sharedIds. The recent lists of
// a call are mostly one base list each with its own id added or left out (a
// member's wait and cancel lists): where the incoming list parts from that
// base decides at once which of them it can equal, so the base is read once
// rather than once for every recent change of it.
class Probe {
  using Rep = IdList::Rep;

 public:
  explicit Probe(const std::vector<int64_t>& ids) : ids_(ids) {}

  const std::vector<int64_t>& ids() const { return ids_; }

  // The first position, below the shorter length, where the incoming list
  // and `list` part (the shorter length when they do not).
  size_t partsAt(const Rep& list) {
    for (size_t i = 0; i < known_; ++i) {
      if (seen_[i].list == &list) return seen_[i].at;
    }
    const size_t at = list.mismatch(std::min(ids_.size(), list.n), ids_.data());
    if (known_ < seen_.size()) seen_[known_++] = {&list, at};
    return at;
  }

  // Whether `list` holds the incoming ids. A change of a base equals them
  // only if they agree with the base up to the change (before it, the
  // change reads as the base); past it, only the rest is compared.
  bool sameAs(const Rep& list) {
    if (list.n != ids_.size()) return false;
    if (!list.base) return partsAt(list) == list.n;
    if (partsAt(*list.base) < list.at) return false;
    return list.holds(list.at, list.n - list.at, ids_.data() + list.at);
  }

 private:
  struct Parted {
    const Rep* list;
    size_t at;
  };
  const std::vector<int64_t>& ids_;
  // The recent lists and their bases, and the last list made.
  std::array<Parted, 20> seen_;
  size_t known_ = 0;
};

// Where the incoming ids differ from `base` by one id: added (they are one
// longer) or left out (one shorter), at the first position they part. One
// pass, given up at the second difference.
bool oneIdAway(const IdList::Rep& base, Probe& probe, size_t& at) {
  const std::vector<int64_t>& ids = probe.ids();
  const bool added = ids.size() == base.n + 1;
  if (!added && ids.size() + 1 != base.n) return false;
  const size_t shorter = std::min(ids.size(), base.n);
  at = probe.partsAt(base);
  const size_t rest = shorter - at;
  return added ? base.holds(at, rest, ids.data() + at + 1)
               : base.holds(at + 1, rest, ids.data() + at);
}

uint64_t hashIds(const std::vector<int64_t>& ids) {
  // FNV-1a over whole ids, then a final mix: cheap next to copying them.
  uint64_t h = 0xcbf29ce484222325ull ^ ids.size();
  for (int64_t id : ids) h = (h ^ static_cast<uint64_t>(id)) * 0x100000001b3ull;
  return h ^ (h >> 29);
}

}  // namespace

namespace {

// The lists handed out on one thread: the whole lists by a hash of their
// content, and the last few long ones, whole or changed once, as bases for
// lists one id away. Entries of the hash are weak: a list lives as long as
// the records that hold it, and entries whose list is gone are swept out
// whenever the pool has doubled since the last sweep, so a long-running host
// keeps only what its records still use (and the few recent bases).
class IdPool {
  using Rep = IdList::Rep;

 public:
  std::shared_ptr<Rep> findWhole(const std::vector<int64_t>& ids, uint64_t hash) {
    auto range = lists_.equal_range(hash);
    for (auto it = range.first; it != range.second; ++it) {
      std::shared_ptr<Rep> list = it->second.lock();
      // A list changed after it was pooled (a copy that owned it alone)
      // keeps its old hash: the content decides.
      if (list && list->ids == ids) return list;
    }
    return nullptr;
  }

  std::shared_ptr<Rep> findRecent(Probe& probe) {
    if (probe.ids().size() < kBaseFrom) return nullptr;
    for (Recent& r : recent_) {
      if (r.rep && probe.sameAs(*r.rep)) return touch(r);
    }
    return nullptr;
  }

  std::shared_ptr<Rep> makeChange(Probe& probe) {
    const std::vector<int64_t>& ids = probe.ids();
    if (ids.size() < kBaseFrom) return nullptr;
    for (Recent& r : recent_) {
      size_t at = 0;
      if (!r.rep || r.rep->depth >= kMaxDepth || !oneIdAway(*r.rep, probe, at)) continue;
      auto rep = std::make_shared<Rep>();
      rep->added = ids.size() > r.rep->n;
      rep->at = at;
      rep->id = rep->added ? ids[at] : r.rep->get(at);
      rep->depth = r.rep->depth + 1;
      rep->n = ids.size();
      rep->base = touch(r);
      return rep;
    }
    return nullptr;
  }

  void add(uint64_t hash, const std::shared_ptr<Rep>& list) {
    if (lists_.size() >= sweepAt_) {
      for (auto it = lists_.begin(); it != lists_.end();) {
        it = it->second.expired() ? lists_.erase(it) : std::next(it);
      }
      sweepAt_ = std::max(kMinSweep, lists_.size() * 2);
    }
    lists_.emplace(hash, list);
  }

  // A list just handed out, kept as a base while it is among the ones used
  // last (a hit or a change of it counts as a use).
  void used(const std::shared_ptr<Rep>& list) {
    if (list->n < kBaseFrom || list->depth >= kMaxDepth) return;
    Recent* oldest = &recent_[0];
    for (Recent& r : recent_) {
      if (r.rep == list) return;
      if (r.used < oldest->used) oldest = &r;
    }
    oldest->rep = list;
    oldest->used = ++clock_;
  }

 private:
  struct Recent {
    std::shared_ptr<Rep> rep;
    uint64_t used = 0;
  };
  const std::shared_ptr<Rep>& touch(Recent& r) {
    r.used = ++clock_;
    return r.rep;
  }

  // Shorter lists are cheaper to store whole than as a change.
  static constexpr size_t kBaseFrom = 16;
  static constexpr int kMaxDepth = 2;
  static constexpr size_t kMinSweep = 64;
  std::unordered_multimap<uint64_t, std::weak_ptr<Rep>> lists_;
  size_t sweepAt_ = kMinSweep;
  std::array<Recent, 8> recent_;
  uint64_t clock_ = 0;
};

}  // namespace

IdList sharedIds(const std::vector<int64_t>& ids) {
  if (ids.empty()) return IdList();
  // Most records repeat the list made just before them.
  thread_local IdList last;
  Probe probe(ids);
  if (last.rep_ && probe.sameAs(*last.rep_)) return last;
  thread_local IdPool pool;
  // Then one of the last few long lists, or one id away from one of them;
  // only a list unlike those is hashed.
  std::shared_ptr<IdList::Rep> rep = pool.findRecent(probe);
  if (!rep) rep = pool.makeChange(probe);
  if (!rep) {
    const uint64_t hash = hashIds(ids);
    rep = pool.findWhole(ids, hash);
    if (!rep) {
      rep = std::make_shared<IdList::Rep>();
      rep->ids = ids;
      rep->n = ids.size();
      pool.add(hash, rep);
    }
  }
  pool.used(rep);
  last = IdList(std::move(rep));
  return last;
}

}  // namespace codec
