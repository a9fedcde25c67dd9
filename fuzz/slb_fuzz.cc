// Gives Ann's live plug-in (the shared two-client world) arbitrary host texts
// for the media server choice: the pre-login description (host service 49)
// and the configuration items (service 54) under the per-network keys, the
// plain key and the keys of another network. They are read when the host
// registers the address (slot 6, type 2) and when a call answers with the
// server address (24001 after the owner-address setting). The input is split
// into the texts with FuzzedDataProvider; the per-network key is built from a
// network id that the description mostly names, so both roads get reached.
//
// The call answers with the address before it reads its extend, and its
// extend here is no JSON object, so the call ends there: nothing is stored,
// sent or rung. Playing the whole call to Bob (its card, his ring) made every
// input hit the same 1 700 edges, which told the fuzzer nothing about the
// texts and cost two thirds of an input; the requests and round-trip targets
// play calls.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "requests/request_texts.h"
#include "setting_text.h"
#include "two_clients.h"

namespace {

const std::string kForceOwnerAddrOn =
    codec::switchText(imsdkmrtc::texts::request::kKeyForceOwnerAddr, true);

// A call extend the plug-in refuses (after it answered with the address).
constexpr char kNotAnObject[] = "[]";

constexpr const char* kNetworkKeys[] = {"mediaServerUrl_", "mediaServerAddr_", "turnServerUrl_",
                                        "turnServerAddr_"};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzworld::TwoClients& w = fuzzworld::twoClients();
  w.ann.extra(imsdkmrtc::kExtraTypeForceOwnerAddr, kForceOwnerAddrOn);
  FuzzedDataProvider in(data, size);
  const std::string netId = in.ConsumeRandomLengthString(32);
  const bool descNamesNet = in.ConsumeBool();
  const std::string desc = descNamesNet ? R"({"apHost":")" + in.ConsumeRandomLengthString(128) +
                                              R"(","netId":)" + netId + "}"
                                        : in.ConsumeRandomLengthString(512);
  const size_t key = in.ConsumeIntegralInRange<size_t>(0, std::size(kNetworkKeys));
  const std::string networkValue = in.ConsumeRandomLengthString(512);
  const std::string plainValue = in.ConsumeRandomLengthString(512);
  w.ann.updateConfig([&](simhost::ClientConfig& config) {
    config.preLoginDesc = desc;
    if (key < std::size(kNetworkKeys)) {
      config.configItems[{kNetworkKeys[key] + netId, "value"}] = networkValue;
    }
    config.configItems[{"mediaServerAddr", "extend"}] = plainValue;
  });
  w.ann.registerAddress();
  imsdk::req_mrtc_request call;
  call.groupId = fuzzworld::kGroup;
  call.roomId = "s1";
  call.members = {2001};
  call.extend = kNotAnObject;
  w.ann.request(imsdk::kCmdCall, call);
  w.net.pump();
  w.reset();
  // The items go with the input that set them: libFuzzer runs an input that
  // allocates more than it frees a second time, looking for a leak.
  w.ann.updateConfig([](simhost::ClientConfig& config) { config.configItems.clear(); });
  return 0;
}
