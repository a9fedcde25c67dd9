// The settings the application changes at run time, and the counter steps.
// Atomics: written by the settings request, read from any thread.
#pragma once

#include <atomic>
#include <cstdint>

namespace imsdkmrtc {

// Settings the application changes at run time (extra request 24006).
struct pluginSettings {
  std::atomic<int32_t> loseDuration{180};
  std::atomic<uint8_t> activeFlag{0};
  std::atomic<int64_t> activeTime{0};
  std::atomic<uint8_t> pcOnOff{1};
  std::atomic<uint8_t> redirectOn{0};
  std::atomic<uint8_t> recallEnable{0};
  std::atomic<int32_t> recallDuration{30};
  std::atomic<int32_t> recallCount{1};
  std::atomic<int32_t> recallBellDuration{22};
  std::atomic<uint8_t> p2pSwitch{0};
  std::atomic<uint8_t> unbindSwitch{0};
  std::atomic<uint8_t> addrSwitch{1};
  // Bounds on what other clients send (extra request type 120). 10 000 ids is
  // above any real call, and even a command naming 10 000 members in every
  // list stays under 500 KB, so 1 MiB only stops what no client writes.
  std::atomic<int64_t> maxBodyBytes{int64_t{1} << 20};
  std::atomic<int64_t> maxIds{10000};
};

// What nextSeq does to the message-id counter: read it as it is, or step
// it and hand out the new value.
enum class seqStep { kPeek, kAdvance };

}  // namespace imsdkmrtc
