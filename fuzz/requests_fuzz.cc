// Plays an application that sends arbitrary request records (24001 to 24010,
// every command) to two live plug-ins on the simulated network, the way a host
// hands them over: slot 3, which loops the request back through the host to
// slot 7 (slot 6 for 24008 and 24009). The input is a run of steps; each picks
// the device, the command, the shape of the record (a filled request, a record
// of the other kind, an envelope without a record, no envelope at all), every
// field, and how far the clock moves afterwards, so time-outs and recalls fire
// between steps.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/annotation_words.h"
#include "base/wire_words.h"
#include "clock_control.h"
#include "two_clients.h"

namespace {

using fuzzworld::kGroup;
constexpr int kMaxSteps = 24;
constexpr size_t kMaxMembers = 12;

std::string pick(FuzzedDataProvider& in, std::initializer_list<const char*> usual) {
  const size_t index = in.ConsumeIntegralInRange<size_t>(0, usual.size());
  if (index == usual.size()) return in.ConsumeRandomLengthString(256);
  return *(usual.begin() + index);
}

int64_t pickId(FuzzedDataProvider& in) {
  static const int64_t kIds[] = {1001, 2001, 2002, kGroup, 0, 1, -1, 3003};
  const size_t index = in.ConsumeIntegralInRange<size_t>(0, std::size(kIds));
  return index == std::size(kIds) ? in.ConsumeIntegral<int64_t>() : kIds[index];
}

void fill(FuzzedDataProvider& in, imsdk::req_mrtc_request& req) {
  req.kind = in.ConsumeIntegral<uint8_t>();
  namespace texts = imsdkmrtc::texts;
  req.annotation = pick(in, {texts::kAccept, texts::kRefuse, texts::kBusy, texts::kHungupUiClick,
                             texts::kIntoRoom, texts::kLevelRoom, "calltimeout", ""});
  req.groupId = pickId(in);
  req.roomId = pick(in, {"r1", "r2", ""});
  req.roomName = pick(in, {"Team", ""});
  const size_t count = in.ConsumeIntegralInRange<size_t>(0, kMaxMembers);
  for (size_t i = 0; i < count; ++i) req.members.push_back(pickId(in));
  req.extend = pick(
      in, {R"({"rtcType":"rtc","conferMode":"chat"})", R"({"rtcType":"p2pconfer","mode":"single"})",
           R"({"rtcType":"unbindconfer","outMembers":[2002]})",
           R"({"rtcType":"microconfer","addr":"10.0.0.1:7000"})", ""});
}

void fill(FuzzedDataProvider& in, imsdk::req_mrtc_extra& req) {
  req.type = in.ConsumeIntegral<int8_t>();
  req.cmd = in.ConsumeRandomLengthString(512);
  req.extend = in.ConsumeRandomLengthString(512);
}

// One request as the host delivers it.
void request(FuzzedDataProvider& in, simhost::Client& client) {
  imsdk::IPlugin* plugin = client.plugin();
  const uint16_t code = static_cast<uint16_t>(imsdk::kCmdCall + in.ConsumeIntegralInRange(0, 9));
  const int shape = in.ConsumeIntegralInRange(0, 7);
  if (shape == 7) {
    // No envelope at all.
    plugin->onRequest(code, 0, nullptr);
    return;
  }
  // Mostly the record made for the code; sometimes one made for another.
  const uint16_t made =
      shape == 6
          ? static_cast<uint16_t>(code == imsdk::kCmdExtra ? imsdk::kCmdCall : imsdk::kCmdExtra)
          : code;
  imsdk::_sdkcmd_base* record = shape == 5 ? nullptr : plugin->createCmd(made, true);
  if (record != nullptr) record->id = in.ConsumeIntegral<int64_t>();
  // The two kinds are siblings; the code says which cast to try first, as a
  // failed cast compares type names and the fuzzer hooks every compare.
  auto* extra = made == imsdk::kCmdExtra ? dynamic_cast<imsdk::req_mrtc_extra*>(record) : nullptr;
  auto* call = extra == nullptr ? dynamic_cast<imsdk::req_mrtc_request*>(record) : nullptr;
  if (made != imsdk::kCmdExtra && call == nullptr) {
    extra = dynamic_cast<imsdk::req_mrtc_extra*>(record);
  }
  if (call != nullptr) fill(in, *call);
  if (extra != nullptr) fill(in, *extra);
  imsdk::cmdEnvelope env{record, imsdk::kEnvelopeWordResult};
  plugin->onRequest(code, reinterpret_cast<uintptr_t>(&env), &env);
  if (record != nullptr) plugin->releaseCmd(made, record, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzzworld::TwoClients& w = fuzzworld::twoClients();
  FuzzedDataProvider in(data, size);
  for (int step = 0; step < kMaxSteps && in.remaining_bytes() > 0; ++step) {
    simhost::Client& client = in.ConsumeBool() ? w.bob : w.ann;
    request(in, client);
    w.net.pump();
    static const int64_t kSteps[] = {0, 0, 1000, 5000, 31000, 100000};
    const int64_t ms = kSteps[in.ConsumeIntegralInRange<size_t>(0, std::size(kSteps) - 1)];
    if (ms > 0) commlib::advance(ms, [&w] { w.net.pump(); });
  }
  w.reset();
  return 0;
}
