// pluginNet: carries out the application's requests (24001 to 24010) under
// the plug-in lock and answers each with a result code.
//
// Threads: onNetRequest runs on the host's request threads and holds the
// plug-in lock for the whole handler, so handlers never overlap; the repeat
// and token caches are touched only under that lock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "notify/handler_env.h"
#include "sdk_cmd.h"
#include "thread_annotations.h"

namespace imsdkmrtc {

// The host counts a command envelope as two 32-bit words.
constexpr int32_t kEnvelopeLen = 8;

// Result codes the handlers make themselves (the store's codes pass through).
enum : int32_t {
  kReqDone = 0,
  kReqBadExtend = 1,
  kReqInvalid = 1,  // the request's data cannot make a valid talk
  kReqSendFail = 4,
  kReqNotHandled = 7,
#ifdef MRTC_PLANTED_ANSWER_FAULT
  // A test build's wrong answer, which a replay of a recorded call must catch
  // (set only where it is read: record/CMakeLists.txt).
  kReqNoBoardCall = 12,
#else
  kReqNoBoardCall = 10,
#endif
  kReqUnbindRefused = 11,
  kReqPeerOlder = 13,
  kReqPeerNewer = 14,
  kReqNotCallee = 15,
  kReqNotActive = 16,
  kReqPushOutdated = 83,
};

// What a request handler answers: the code posted on its result record (a null
// record posts nothing) and work that must follow the answer. A handler that
// answers nothing at all returns noAnswer().
struct reqAnswer {
  reqAnswer() = default;
  reqAnswer(imsdk::resp_commonResult* rec, int32_t answerCode,
            std::function<void()> after = nullptr)
      : record(rec), code(answerCode), then(std::move(after)) {}

  imsdk::resp_commonResult* record = nullptr;
  int32_t code = kReqDone;
  std::function<void()> then;
  bool none = false;

  static reqAnswer noAnswer() {
    reqAnswer answer;
    answer.none = true;
    return answer;
  }
};

class pluginNet {
 public:
  explicit pluginNet(handlerEnv* plugin) : plugin_(plugin) {}
  virtual ~pluginNet() = default;

  // request points at the request record pointer (a command envelope).
  bool onNetRequest(uint16_t code, uintptr_t request, uintptr_t unused);

  // While calls are switched off: true for a request the current talk still
  // needs (its hang-up, keep-alive and media reports). Takes only the store's
  // lock.
  bool passesCallsOffGate(uint16_t code, uintptr_t request);
  // The result record for code, carrying the request's id; null when the
  // factory has none.
  imsdk::resp_commonResult* getRespondMem(uintptr_t request, uint16_t code);
  // Stores result and posts the record to the application (which then owns
  // it); a null record is ignored.
  bool sendResultRespond(uint16_t code, int32_t result, imsdk::resp_commonResult* record);
  // The room's token, from the local cache or the host's cache service.
  bool getToken(const std::string& roomId, std::string& token) MRTC_REQUIRES(plugin_->lock());

 private:
  struct repeatEntry {
    uint32_t code = 0;
    std::string roomId;
    int64_t stamp = 0;
  };
  struct tokenEntry {
    std::string roomId;
    std::string token;
    int64_t stamp = 0;
  };

  // The handlers; onNetRequest posts the answer each returns.
  reqAnswer on_call(uint16_t code, uintptr_t request) MRTC_REQUIRES(plugin_->lock());
  reqAnswer on_invite(uint16_t code, uintptr_t request) MRTC_REQUIRES(plugin_->lock());
  reqAnswer on_intoroom(uint16_t code, uintptr_t request) MRTC_REQUIRES(plugin_->lock());
  reqAnswer on_join(uint16_t code, uintptr_t request, const std::string& source)
      MRTC_REQUIRES(plugin_->lock());
  reqAnswer on_templetjoin(uint16_t code, uintptr_t request) MRTC_REQUIRES(plugin_->lock());
  reqAnswer on_hungup(uint16_t code, uintptr_t request) MRTC_REQUIRES(plugin_->lock());
  reqAnswer on_connectstate(uint16_t code, uintptr_t request) MRTC_REQUIRES(plugin_->lock());
  // The heartbeat answers nothing.
  void on_keepalive(uint16_t code, uintptr_t request) MRTC_REQUIRES(plugin_->lock());
  reqAnswer on_extra(uint16_t code, uintptr_t request) MRTC_REQUIRES(plugin_->lock());
  int32_t extraRow(const imsdk::req_mrtc_extra& req, imsdk::resp_commonResult* result)
      MRTC_REQUIRES(plugin_->lock());
  bool isRepeat(uint32_t code, const std::string& roomId) MRTC_REQUIRES(plugin_->lock());
  // False when a text of the request is longer than the body limit or it
  // names more members than the id limit allows; refusal then holds the
  // invalid answer (7 for the extra request).
  bool withinRequestLimits(uint16_t code, uintptr_t request, reqAnswer* refusal)
      MRTC_REQUIRES(plugin_->lock());
  // Enters the room of the current talk (the answer of request 24003): marks
  // this user and ids in, tells the others, answers 0 or the store's code.
  reqAnswer enterRoom(imsdk::resp_commonResult* result, const std::vector<int64_t>& ids,
                      int64_t groupId, const std::string& roomId, const std::string& word)
      MRTC_REQUIRES(plugin_->lock());
  // A join from the board or a card for the room that rings this client is
  // its answer: true with *answer set when it was taken as one.
  bool joinAnswersRing(imsdk::resp_commonResult* result, int64_t groupId, const std::string& roomId,
                       reqAnswer* answer) MRTC_REQUIRES(plugin_->lock());
  // A card join that asked the members for the talk gives up on their answer
  // after a short while.
  void armJoinAnswer(const std::string& roomId) MRTC_REQUIRES(plugin_->lock());
  // This user was in the room of talk (a snapshot taken before leaving).
  static bool wasInRoom(const talkInfo& talk, int64_t myId);
  // This user left the group talk while others were still in: watch that the
  // talk's end gets its finish notice (see finishWatch).
  void watchFinish(const talkInfo& talk, int64_t myId) MRTC_REQUIRES(plugin_->lock());
  // Arms the call wait time-out for roomId and members.
  void armWait(const std::string& roomId, const std::vector<int64_t>& members, int32_t seconds)
      MRTC_REQUIRES(plugin_->lock());

  handlerEnv* plugin_;
  bool forceOwnerAddr_ MRTC_GUARDED_BY(plugin_->lock()) = false;
  std::vector<repeatEntry> repeats_ MRTC_GUARDED_BY(plugin_->lock());
  std::vector<tokenEntry> local_qCaches_ MRTC_GUARDED_BY(plugin_->lock());
};

// The request record inside the envelope at request, or null when there is
// none or it is of another kind.
const imsdk::req_mrtc_request* callRequestOf(uintptr_t request);
const imsdk::req_mrtc_extra* extraRequestOf(uintptr_t request);

}  // namespace imsdkmrtc
