// A plug-in double that records what the simulated host hands it and answers
// the request road the way the real plug-in's entry does.
#pragma once

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "IPlugin.h"

namespace simhost_test {

// Counts destroyed result records, to see who releases them.
struct CountedResult : imsdk::resp_commonResult {
  static int& destroyed() {
    static int n = 0;
    return n;
  }
  ~CountedResult() override { ++destroyed(); }
};

class FakePlugin : public imsdk::IPlugin {
 public:
  imsdk::IHostService* host = nullptr;
  std::vector<imsdk::hostMessage> received;
  std::vector<std::pair<int, uint16_t>> calls;    // slot, command
  std::vector<imsdk::req_mrtc_request> requests;  // as seen on slot 7
  std::vector<imsdk::req_mrtc_extra> extras;
  int released = 0;
  // When set, every type-14 message is answered with this body (type 15).
  std::string replyBody;
  // When set, slot 7 also posts a timer command on service 12.
  bool postTimer = false;

  void setHost(imsdk::IHostService* h) override { host = h; }
  bool slot1(uint32_t, uint32_t) override { return true; }
  std::string getName() override { return "fake"; }

  bool onRequest(uint16_t cmdId, uintptr_t payload, void* present) override {
    calls.emplace_back(3, cmdId);
    imsdk::cmdEnvelope env = *reinterpret_cast<imsdk::cmdEnvelope*>(payload);
    void* data = present != nullptr ? &env : nullptr;
    int32_t len = present != nullptr ? 8 : 0;
    if (cmdId == imsdk::kCmdKeepAlive || cmdId == imsdk::kCmdConnectState) {
      host->postToDispatch(cmdId, data, len, 0);
    } else {
      host->passRequest(cmdId, data, len, 0);
    }
    return true;
  }

  int32_t onNotify(uint16_t type, uintptr_t a, uintptr_t) override {
    std::lock_guard<std::mutex> lk(mu_);
    calls.emplace_back(4, type);
    const auto& msg = *reinterpret_cast<const imsdk::hostMessage*>(a);
    received.push_back(msg);
    if (!replyBody.empty() && msg.bodyType == 14) {
      imsdk::req_sendMessage reply;
      reply.senderId = host->getOwnUserId();
      reply.targetId = msg.sendUserId;
      reply.msgType = 15;
      reply.body = replyBody + msg.body;
      host->sendMessage(&reply, 280, 0);
    }
    return 0;
  }

  bool onOther(uint16_t type, uintptr_t, uintptr_t) override {
    calls.emplace_back(6, type);
    return true;
  }

  bool onNetRequest(uint16_t cmdId, uintptr_t a, uintptr_t) override {
    calls.emplace_back(7, cmdId);
    auto* env = reinterpret_cast<imsdk::cmdEnvelope*>(a);
    auto* record = static_cast<imsdk::_sdkcmd_base*>(env->record);
    if (auto* extra = dynamic_cast<imsdk::req_mrtc_extra*>(record)) extras.push_back(*extra);
    if (auto* req = dynamic_cast<imsdk::req_mrtc_request*>(record)) requests.push_back(*req);
    if (postTimer) {
      imsdk::timerCmd timer;
      timer.op = 1;
      timer.key = "room-1";
      timer.members = {7, 8};
      timer.duration = 60;
      host->postToDispatch(imsdk::kCmdTimer, &timer, imsdk::kTimerCmdSize, 0);
    }
    auto* result = new CountedResult;
    result->id = record->id;
    result->result = 13;
    result->extend = "{\"addr\":\"x\"}";
    imsdk::cmdEnvelope answer{result, imsdk::kEnvelopeWordResult};
    host->postToApp(cmdId, &answer, 8, 0);
    return true;
  }

  void onpostServer(uint16_t event, void*) override { calls.emplace_back(12, event); }
  imsdk::_sdkcmd_base* createCmd(uint16_t cmdId, bool) override {
    if (cmdId == imsdk::kCmdExtra) return new imsdk::req_mrtc_extra;
    if (cmdId == imsdk::kCmdKeepAlive) return nullptr;
    return new imsdk::req_mrtc_request;
  }
  void releaseCmd(uint16_t, imsdk::_sdkcmd_base* record, uintptr_t) override {
    ++released;
    delete record;
  }

  // Slots the host never uses here.
  bool slot5(uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return false; }
  bool slot8(uintptr_t) override { return false; }
  void slot9(uintptr_t, uintptr_t, uintptr_t) override {}
  void slot10(uintptr_t, uintptr_t, uintptr_t) override {}
  bool slot11(uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return true; }
  bool slot13(uintptr_t, uintptr_t, uintptr_t) override { return false; }
  imsdk::_sdkcmd_base* cloneCmd(uint16_t, const imsdk::_sdkcmd_base*, uintptr_t) override {
    return nullptr;
  }
  bool slot17() override { return false; }
  bool slot18() override { return true; }
  bool slot19(uintptr_t) override { return true; }
  bool slot20() override { return true; }
  int32_t* getStamp(int32_t* slot) override { return slot; }
  int32_t slot22(uintptr_t, uintptr_t, uintptr_t) override { return 0; }
  int32_t slot23(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t) override { return 0; }
  void slot24() override {}
  void slot25(uintptr_t, uintptr_t, uintptr_t) override {}

 private:
  std::mutex mu_;
};

}  // namespace simhost_test
