// Random operations from four threads at once; after every step the store's
// own indexes and the snapshot it hands out must still agree.
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_set>

#include "base/annotation_words.h"
#include "base/wire_words.h"
#include "store_fixture.h"

namespace imsdkmrtc {
namespace storetest {
namespace {

constexpr int kThreads = 4;
constexpr int kStepsPerThread = 3000;

// What is wrong with a snapshot, or "" when nothing is.
std::string snapshotFault(const talkInfo& info) {
  if (info.talking != 1) return "a snapshot of a talk not marked talking";
  if (info.active > 1) return "active is not a boolean";
  if (info.memstates.size() != info.members.size()) return "memstates not parallel to members";
  std::unordered_set<int64_t> seen;
  for (int64_t id : info.members) {
    if (!seen.insert(id).second) return "member " + std::to_string(id) + " twice";
  }
  for (int64_t id : info.hismembers) {
    if (seen.count(id) != 0) return "former member " + std::to_string(id) + " is a member";
  }
  return "";
}

class Randomized : public StoreTest {
 protected:
  // One random operation; returns a fault description or "".
  std::string step(std::mt19937& rng) {
    static const char* const kRooms[] = {"r1", "r2", "r3"};
    static const char* const kWords[] = {"intoroom", "levelroom", "myself", "other", "refuse", ""};
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto id = [&]() -> int64_t { return pick(8) == 0 ? kSelf : 2 + pick(10); };
    auto idList = [&]() {
      std::vector<int64_t> list(static_cast<size_t>(pick(5)));
      for (int64_t& v : list) v = id();
      return list;
    };
    talkInfo info = makeInfo(kRooms[pick(3)], idList());
    for (size_t i = 0; i < info.members.size(); ++i) info.memstates.push_back(pick(2));
    info.hismembers = idList();
    info.targetId = pick(2) == 0 ? kGroup : 7;
    std::vector<int64_t> list = idList();
    std::vector<int64_t> out;
    std::string word = kWords[pick(6)];
    talkInfo before;
    uint8_t flag = static_cast<uint8_t>(pick(2));

    talkStore& s = store();
    const std::function<uint32_t()> ops[] = {
        [&] { return s.localCall(list, info); },
        [&] { return s.localInvite(list, before, info); },
        [&] { return s.removeInvitedBy(info.roomId, pick(2) == 0 ? kSelf : 7), kTalkNone; },
        [&] { return s.localIntoRoom(list, info); },
        [&] { return s.localJoin(info); },
        [&] { return s.localTempletJoin(info, flag); },
        [&] { return s.localHungup(info, word); },
        [&] { return s.finishTalk(info); },
        [&] { return pick(4) == 0 ? (s.resetTalk(), kTalkNone) : kTalkNone; },
        [&] { return s.queryTalk(info); },
        [&] { return s.connectState(id(), word, info); },
        [&] { return (void)s.isCurrentRoom(info.roomId), kTalkNone; },
        [&] { return s.remoteCall(list, info, flag); },
        [&] { return s.remoteInvite(7, list, word, info, flag); },
        [&] { return s.remoteIntoRoom(id(), info); },
        [&] { return s.remoteHungup(id(), info, word); },
        [&] { return s.remoteReply(info); },
        [&] { return s.checkQueryTalk(pick(2) == 0 ? kGroup : 0, id(), info); },
        [&] { return s.remoteReplyQueryTalk(info); },
        [&] { return s.memberTimeout(list, out, info); },
        [&] { return s.recallTimeout(info.roomId, pick(1000), list); },
        [&] { return pick(8) == 0 ? s.keepaliveTimeout(info) : kTalkNone; },
        [&] { return s.loseFinishTimeout(info); },
        [&] { return s.remoteCall(list, info, 0); },  // calls twice as often
    };
    const uint32_t code = ops[pick(24)]();
    std::string why;
    if (!s.checkInvariants(&why)) return why;
    talkInfo now;
    if (s.queryTalk(now) == kTalkDone) {
      why = snapshotFault(now);
      if (!why.empty()) return "queried: " + why;
    }
    // A snapshot handed back with success describes a talk.
    if (code == kTalkDone && !info.roomId.empty() && info.talking == 1) {
      why = snapshotFault(info);
      if (!why.empty()) return "returned: " + why;
    }
    return "";
  }
};

TEST_F(Randomized, FourThreadsKeepTheStoreConsistent) {
  std::mutex mu;
  std::string firstFault;
  auto worker = [&](int index) {
    std::mt19937 rng(20261206u + static_cast<unsigned>(index));
    for (int i = 0; i < kStepsPerThread; ++i) {
      std::string fault = step(rng);
      std::lock_guard<std::mutex> lk(mu);
      if (!fault.empty() && firstFault.empty()) firstFault = fault;
    }
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) threads.emplace_back(worker, i);
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(firstFault, "");
}

}  // namespace
}  // namespace storetest
}  // namespace imsdkmrtc
