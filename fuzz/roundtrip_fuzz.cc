// Calls, hints, cards, shared texts and answers with fuzzer-chosen user name,
// room, token, address and card label: every text the plug-ins send, insert
// or post as JSON must parse and give each value back. The input's last byte
// picks the road of the call it plays (libFuzzer keeps the inputs that reach
// new code, so every road is explored, one an input); the rest is five
// strings, each ended by a backslash and one more byte (a doubled backslash
// is a backslash inside a string). The network and hosts are kept between
// inputs; each input plays on new plug-ins. roundtrip_twice checks that an
// input plays the same whatever came before it.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>

#include "clock_control.h"
#include "signalling/roundtrip_call.h"
#include "two_clients.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  const auto road =
      static_cast<roundtrip::Road>(input.ConsumeIntegralInRange<uint8_t>(0, roundtrip::kRoads - 1));
  roundtrip::Values v;
  for (std::string* field : {&v.name, &v.room, &v.token, &v.addr, &v.label}) {
    *field = input.ConsumeRandomLengthString(256);
  }
  static roundtrip::World* world = [] {
    commlib::useCooperativeThreads(true);
    auto* made = new roundtrip::World;
    // The checks read what the plug-ins sent, inserted and posted, never the
    // log; formatting and keeping it would be a large share of an input.
    for (simhost::Client* c : {&made->ann, &made->bob, &made->dan}) simhost::setQuietLogs(*c, true);
    return made;
  }();
  const std::vector<std::string> faults =
      roundtrip::faults(*world, v, road, fuzzworld::gTranscript);
  if (faults.empty()) return 0;
  for (const std::string& f : faults) std::fprintf(stderr, "%s\n", f.c_str());
  std::abort();
}
