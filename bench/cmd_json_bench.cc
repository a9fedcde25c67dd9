// Cost of the signalling body writer and reader next to RapidJSON doing the
// same work by hand, on call bodies of 10, 100 and 1000 members. Each pair is
// measured in the same run; the ratios are printed at the end.
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdio>
#include <map>
#include <string>

#include "base/device_types.h"
#include "base/json.h"
#include "plugin/mrtc_plugin.h"
#include "signalling/msg_proxy.h"
#include "signalling/wire_texts.h"

namespace {

using imsdkmrtc::mrtcCmd;
namespace texts = imsdkmrtc::texts;
namespace wire = imsdkmrtc::texts::wire;

// A call among members, numbered from firstId on.
mrtcCmd callRecord(int members, int64_t firstId = 100000001) {
  mrtcCmd c;
  c.cmdCode = imsdkmrtc::kCmdMultiCall;
  c.rtcType = texts::kRtc;
  c.senderId = 100000001;
  c.groupId = 900000000000000001;
  c.onwerId = 100000001;
  c.oName = "5byg5LiJ";
  c.beginTime = 1700000000;
  c.roomId = "room-0123456789";
  c.roomToken = "token-abcdefghijklmnopqrstuvwxyz";
  c.roomName = "weekly sync";
  c.addr = "10.20.30.40:5000";
  c.deviceType = imsdkmrtc::kDevicePc;
  c.version = texts::kProtocolVersion;
  c.cmode = "free";
  c.srvVer = "2.1";
  c.srvTag = "east";
  c.videoType = "2";
  for (int i = 0; i < members; ++i) {
    int64_t id = firstId + i;
    c.members.push_back(id);
    if (i > 0) c.selects.push_back(id);
    c.initState.push_back(std::to_string(id) + "_111");
  }
  return c;
}

imsdkmrtc::mrtc_plugin& plugin() {
  static imsdkmrtc::mrtc_plugin instance;
  return instance;
}

// The same body written straight with the RapidJSON writer.
void writePlain(const mrtcCmd& c, std::string& out) {
  json::StringBuffer buf;
  json::Writer<json::StringBuffer> w(buf);
  auto text = [&w](const auto& key, const std::string& v) {
    if (v.empty()) return;
    w.Key(key, sizeof(key) - 1);
    w.String(v.data(), static_cast<json::SizeType>(v.size()));
  };
  auto decimal = [&w](const auto& key, int64_t v) {
    if (v == 0) return;
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof(digits), v).ptr;
    w.Key(key, sizeof(key) - 1);
    w.String(digits, static_cast<json::SizeType>(end - digits));
  };
  auto ids = [&w](const auto& key, const std::vector<int64_t>& v) {
    if (v.empty()) return;
    w.Key(key, sizeof(key) - 1);
    w.StartArray();
    for (int64_t id : v) w.Int64(id);
    w.EndArray();
  };
  w.StartObject();
  w.Key(wire::kType);
  w.String(wire::kCmdNameCall);
  text(wire::kAnnotation, c.annotation);
  decimal(texts::kKeySenderId, c.senderId);
  decimal(texts::kKeyGroupId, c.groupId);
  decimal(wire::kOnwerId, c.onwerId);
  text(texts::kKeyRoomId, c.roomId);
  text(wire::kRoomToken, c.roomToken);
  text(wire::kOName, c.oName);
  text(wire::kRoomName, c.roomName);
  text(wire::kAddr, c.addr);
  text(wire::kSrvVer, c.srvVer);
  text(wire::kSrvTag, c.srvTag);
  text(wire::kVideoType, c.videoType);
  text(wire::kCmode, c.cmode);
  decimal(wire::kBeginTime, c.beginTime);
  decimal(wire::kDeviceType, c.deviceType);
  text(wire::kVersion, c.version);
  text(wire::kVideoStatus, c.VideoStatus);
  text(wire::kExtend, c.extend);
  text(wire::kRtcType, c.rtcType);
  ids(wire::kSelects, c.selects);
  ids(wire::kMembers, c.members);
  ids(wire::kHismembers, c.hismembers);
  w.Key(wire::kInitState);
  w.StartArray();
  for (const auto& s : c.initState) w.String(s.data(), static_cast<json::SizeType>(s.size()));
  w.EndArray();
  w.EndObject();
  out.assign(buf.GetString(), buf.GetSize());
}

void BM_WriteProxy(benchmark::State& state) {
  mrtcCmd cmd = callRecord(static_cast<int>(state.range(0)));
  std::string out;
  for (auto _ : state) {
    plugin().proxy().transCmd2Json(cmd, out);
    benchmark::DoNotOptimize(out.data());
  }
}

void BM_WritePlain(benchmark::State& state) {
  mrtcCmd cmd = callRecord(static_cast<int>(state.range(0)));
  std::string out;
  for (auto _ : state) {
    writePlain(cmd, out);
    benchmark::DoNotOptimize(out.data());
  }
  std::string proxyOut;
  plugin().proxy().transCmd2Json(cmd, proxyOut);
  if (proxyOut != out) state.SkipWithError("plain writer differs from transCmd2Json");
}

void BM_ReadProxy(benchmark::State& state) {
  std::string body;
  plugin().proxy().transCmd2Json(callRecord(static_cast<int>(state.range(0))), body);
  for (auto _ : state) {
    mrtcCmd cmd;
    plugin().proxy().transJson2Cmd(body, cmd);
    benchmark::DoNotOptimize(cmd.members.data());
  }
}

// A call body as a caller sends it: the ids only, no per-member states.
void readCallBody(benchmark::State& state, int64_t firstId) {
  mrtcCmd call = callRecord(static_cast<int>(state.range(0)), firstId);
  call.initState.clear();
  std::string body;
  plugin().proxy().transCmd2Json(call, body);
  for (auto _ : state) {
    mrtcCmd cmd;
    plugin().proxy().transJson2Cmd(body, cmd);
    benchmark::DoNotOptimize(cmd.members.data());
  }
}
void BM_ReadCallBody(benchmark::State& state) { readCallBody(state, 100000001); }
BENCHMARK(BM_ReadCallBody)->Arg(10)->Arg(100)->Arg(1000);

// The same with ids of six digits, as the simulator numbers its clients.
void BM_ReadCallBodySixDigits(benchmark::State& state) { readCallBody(state, 100001); }
BENCHMARK(BM_ReadCallBodySixDigits)->Arg(10)->Arg(100)->Arg(1000);

// A plain DOM parse of the same body with RapidJSON's default flags.
void BM_ReadPlain(benchmark::State& state) {
  std::string body;
  plugin().proxy().transCmd2Json(callRecord(static_cast<int>(state.range(0))), body);
  for (auto _ : state) {
    json::Document doc;
    doc.Parse(body.c_str(), body.size());
    benchmark::DoNotOptimize(doc.IsObject());
  }
}

BENCHMARK(BM_WriteProxy)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_WritePlain)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_ReadProxy)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_ReadPlain)->Arg(10)->Arg(100)->Arg(1000);

void BM_ReadIterOnly(benchmark::State& state) {
  std::string body;
  plugin().proxy().transCmd2Json(callRecord(static_cast<int>(state.range(0))), body);
  for (auto _ : state) {
    json::Document doc;
    doc.Parse<json::kParseIterativeFlag>(body.c_str(), body.size());
    benchmark::DoNotOptimize(doc.IsObject());
  }
}
BENCHMARK(BM_ReadIterOnly)->Arg(10)->Arg(100)->Arg(1000);

// A call card as a caller posts it into the group: every callee among the
// selects, the card's own "type" after them.
std::string callCard(int members) {
  std::string selects;
  for (int i = 1; i < members; ++i) {
    selects += (i > 1 ? ",\"" : "\"") + std::to_string(100000001 + i) + "\"";
  }
  return R"({"content":"","createTime":0,"detailUrl":"u","extendInfo":{"subType":14,)"
         R"("rtcType":"rtc","roomID":"room-0123456789","onwerId":"100000001","groupId":"5001",)"
         R"("senderId":"100000001","oName":"VTE=","roomName":"weekly sync","conferMode":"chat",)"
         R"("singleRead":"off","beginTime":"1700000000","version":"mrtc@1.8.8",)"
         R"("adminId":"100000001","startTime":"0","stopTime":"0","mode":"mcalling",)"
         R"("desc":"remark","selects":[)" +
         selects +
         R"(],"initState":[]},"title":"t","title_eng":"Video Conference","toUsers":"",)"
         R"("status":"","type":"rtc","fields":[{"k":"v"}],"fields_eng":[{"k":"v"}]})";
}

// What a client does with a received card: the repair step, then the reader.
void BM_ReadCard(benchmark::State& state) {
  const std::string card = callCard(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string revised = card;
    benchmark::DoNotOptimize(plugin().proxy().reviseVnioMicroTemplet(revised));
    imsdkmrtc::cardInfo info;
    imsdkmrtc::msgProxy::readCardInfo(revised, info);
    benchmark::DoNotOptimize(info.selects.data());
  }
}
BENCHMARK(BM_ReadCard)->Arg(10)->Arg(100)->Arg(1000);

// The same with one read of the card serving both.
void BM_ReadCardOnce(benchmark::State& state) {
  const std::string card = callCard(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    std::string revised = card;
    imsdkmrtc::cardView view;
    imsdkmrtc::readCardView(revised, view);
    benchmark::DoNotOptimize(plugin().proxy().reviseVnioMicroTemplet(revised, view));
    imsdkmrtc::cardInfo info;
    imsdkmrtc::msgProxy::readCardInfo(view, info);
    benchmark::DoNotOptimize(info.selects.data());
  }
}
BENCHMARK(BM_ReadCardOnce)->Arg(10)->Arg(100)->Arg(1000);

// Keeps each run's time and prints proxy/plain per size after the table.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& run : runs) {
      if (run.run_type == Run::RT_Iteration)
        times_[run.benchmark_name()] = run.GetAdjustedCPUTime();
    }
    ConsoleReporter::ReportRuns(runs);
  }
  void Finalize() override {
    ConsoleReporter::Finalize();
    const struct {
      const char* what;
      const char* proxy;
      const char* plain;
      double goal;
    } pairs[] = {{"write", "BM_WriteProxy", "BM_WritePlain", 1.5},
                 {"read", "BM_ReadProxy", "BM_ReadPlain", 2.0}};
    for (const auto& p : pairs) {
      for (const char* size : {"10", "100", "1000"}) {
        auto a = times_.find(std::string(p.proxy) + "/" + size);
        auto b = times_.find(std::string(p.plain) + "/" + size);
        if (a == times_.end() || b == times_.end() || b->second <= 0) continue;
        double ratio = a->second / b->second;
        std::printf("ratio %s members=%s: %.2f (goal <= %.1f)%s\n", p.what, size, ratio, p.goal,
                    ratio <= p.goal ? "" : "  OVER");
      }
    }
  }

 private:
  std::map<std::string, double> times_;
};

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
