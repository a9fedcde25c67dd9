// What the recorder costs: the same application request (a setting, 24006)
// handed to the plug-in directly and through libmrtcrecord.so writing a
// trace. The request makes several crossings (the record factory, the
// request, its loop-back, the result); the counter "crossings" says how many,
// so the overhead per crossing is the difference divided by it.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "plugin_loader.h"
#include "record_api.h"
#include "requests/request_texts.h"
#include "setting_text.h"
#include "simhost.h"

namespace {

std::string tracePath() { return "/tmp/mrtc-record-bench-" + std::to_string(getpid()) + ".jsonl"; }

size_t lines(const std::string& path) {
  std::ifstream in(path);
  size_t n = 0;
  for (std::string line; std::getline(in, line);) ++n;
  return n;
}

void runRequests(benchmark::State& state, const char* library) {
  simhost::PluginLibrary lib(library);
  if (!lib.loaded()) {
    state.SkipWithError(lib.error().c_str());
    return;
  }
  simhost::Network net;
  net.addUser(1001, "Alice");
  simhost::Client& alice = net.addClient("alice", 1001);
  simhost::setQuietLogs(alice, true);
  imsdk::IPlugin* plugin = lib.create();
  alice.attach(plugin);
  const std::string setting =
      codec::switchText(imsdkmrtc::texts::request::kKeyEnable, true);  // one-to-one calls on
  const size_t before = lines(tracePath());
  for (auto _ : state) {
    alice.extra(imsdkmrtc::kExtraTypeP2pSwitch, setting);
    alice.clearRecords();
  }
  const size_t written = lines(tracePath()) - before;
  state.counters["crossings"] =
      static_cast<double>(written) / static_cast<double>(state.iterations());
  lib.release(plugin);
}

void BM_RequestDirect(benchmark::State& state) { runRequests(state, MRTC_PLUGIN_PATH); }

void BM_RequestRecorded(benchmark::State& state) {
  void* shim = dlopen(MRTC_RECORD_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  auto configure =
      shim != nullptr
          ? reinterpret_cast<mrtcrecord::ConfigureFn>(dlsym(shim, mrtcrecord::kConfigureSymbol))
          : nullptr;
  if (configure == nullptr) {
    state.SkipWithError("libmrtcrecord.so cannot be loaded");
    return;
  }
  configure(tracePath().c_str(), MRTC_PLUGIN_PATH, 0);
  runRequests(state, MRTC_RECORD_PATH);
}

BENCHMARK(BM_RequestDirect);
BENCHMARK(BM_RequestRecorded);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  // The recorder keeps its trace open for the life of the process: the file
  // goes only at the end.
  std::remove(tracePath().c_str());
  return 0;
}
