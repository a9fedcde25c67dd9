// Plays an application that sends arbitrary settings requests (24006) to a
// live plug-in on the simulated network: every type, with arbitrary `cmd` and
// `extend` texts. Type 5 hands in a pushed signalling command, which takes the
// receive road without the support checks; its `extend` is mostly a sender and
// a stamp the plug-in accepts, so the command itself gets read. A run of steps
// may start inside a group call placed by another member (the finish hint,
// the talk reset and the pushed commands then meet a talk), and the clock may
// move between steps.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "clock_control.h"
#include "requests/request_texts.h"
#include "tools.h"
#include "two_clients.h"

namespace {

using fuzzworld::kGroup;
constexpr int kMaxSteps = 16;
constexpr int8_t kTypes[] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,  12,
                             13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 101, 102};

// The sender and stamp of a pushed command: mostly ones the plug-in accepts.
std::string pushedExtend(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
      return in.ConsumeRandomLengthString(256);
    case 1:
      return R"({"senderId":")" + std::to_string(in.ConsumeIntegral<int64_t>()) +
             R"(","msgStampTime":")" + std::to_string(in.ConsumeIntegral<int64_t>()) + "\"}";
    default: {
      static const char* const kSenders[] = {"2001", "1001", "2002", "10001"};
      const int64_t age = in.ConsumeIntegralInRange<int64_t>(-70000, 310000);
      return std::string(R"({"senderId":")") + kSenders[in.ConsumeIntegralInRange(0, 3)] +
             R"(","msgStampTime":")" + std::to_string(tools::get_mill_sec() - age) + "\"}";
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzworld::TwoClients& w = fuzzworld::twoClients();
  FuzzedDataProvider in(data, size);
  if (in.ConsumeBool()) {
    imsdk::req_mrtc_request call;
    call.groupId = kGroup;
    call.roomId = "r1";
    call.roomName = "Team";
    call.members = {1001, 2002};
    call.extend = R"({"rtcType":"rtc","conferMode":"chat"})";
    w.bob.request(imsdk::kCmdCall, call);
    w.net.pump();
  }
  for (int step = 0; step < kMaxSteps && in.remaining_bytes() > 0; ++step) {
    const size_t index = in.ConsumeIntegralInRange<size_t>(0, std::size(kTypes));
    const int8_t type = index == std::size(kTypes) ? in.ConsumeIntegral<int8_t>() : kTypes[index];
    const std::string extend = type == imsdkmrtc::kExtraTypePushedCmd
                                   ? pushedExtend(in)
                                   : in.ConsumeRandomLengthString(512);
    const std::string cmd = in.ConsumeRandomLengthString(2048);
    w.ann.extra(type, cmd, extend);
    w.net.pump();
    if (in.ConsumeIntegralInRange(0, 3) == 0) commlib::advance(40000, [&w] { w.net.pump(); });
  }
  w.reset();
  return 0;
}
