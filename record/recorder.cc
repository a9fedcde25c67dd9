#include "recorder.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "base/entry_points.h"
#include "crossing.h"
#include "tools.h"

namespace mrtcrecord {

namespace {

using imsdkmrtc::entry::kCreateSymbol;
using imsdkmrtc::entry::kReleaseSymbol;
constexpr char kPluginFile[] = "libmrtcplugin.so.1";
// How often a plug-in is made in search of a start within one second of
// the clock.
constexpr int kMakeAttempts = 3;

// Crossing numbers are process-wide so that entries of several instances
// (a simulator runs many) sort into one order.
std::atomic<int64_t> gSeq{0};
std::atomic<int64_t> gThreads{0};
// Static TLS: the shim is loaded with dlopen() after the host's threads
// exist, and a dynamic TLS block of such a library is one that leak checkers
// walking every thread's TLS have been seen to trip over. Two integers fit in
// the static TLS surplus every process keeps for libraries loaded later.
#define MRTC_STATIC_TLS __attribute__((tls_model("initial-exec")))
thread_local int64_t tCurrent MRTC_STATIC_TLS = 0;
thread_local int64_t tThread MRTC_STATIC_TLS = 0;

int64_t threadNumber() {
  if (tThread == 0) tThread = gThreads.fetch_add(1) + 1;
  return tThread;
}

std::string envText(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// The folder the shim was loaded from.
std::string shimDir() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&threadNumber), &info) == 0 || info.dli_fname == nullptr) {
    return ".";
  }
  std::string path = info.dli_fname;
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

// The real plug-in beside the shim (a build tree, a host's own folder), else
// in the folder above: installed, the shim lies in the plug-in's private
// folder.
std::string defaultPlugin() {
  const std::string dir = shimDir();
  const std::string beside = dir + "/" + kPluginFile;
  if (access(beside.c_str(), R_OK) == 0) return beside;
  return dir + "/../" + kPluginFile;
}

}  // namespace

Crossing::Crossing()
    : seq_(gSeq.fetch_add(1) + 1), parent_(tCurrent), t_(Recorder::get().elapsedMs()) {
  tCurrent = seq_;
}

Crossing::~Crossing() { tCurrent = parent_; }

bool Crossing::inside() { return tCurrent != 0; }

codec::Item Crossing::entry(const std::string& client, const char* kind) const {
  codec::Item it;
  it.t = t_;
  it.client = client;
  it.kind = kind;
  it.set("seq", seq_).set("parent", parent_).set("thread", threadNumber());
  return it;
}

Recorder& Recorder::get() {
  // Never destroyed: a plug-in's timer thread may record while the process exits.
  static Recorder* r = new Recorder;
  return *r;
}

Recorder::Recorder() : startMs_(tools::get_mill_sec()) {
  Config c;
  c.tracePath = envText(kEnvTrace);
  c.pluginPath = envText(kEnvPlugin);
  c.keepLogs = envText(kEnvLogs) == "1";
  config_ = c;
  keepLogs_.store(c.keepLogs);
}

void Recorder::configure(const Config& config) {
  std::lock_guard<std::mutex> lk(mu_);
  config_ = config;
  keepLogs_.store(config.keepLogs);
}

Config Recorder::config() {
  std::lock_guard<std::mutex> lk(mu_);
  return config_;
}

bool Recorder::load(CreateFn& create, ReleaseFn& release) {
  std::string path = config().pluginPath;
  if (path.empty()) path = defaultPlugin();
  {
    std::lock_guard<std::mutex> lk(mu_);
    loadedPath_ = path;
  }
  // Kept mapped for the life of the process, as the plug-in's own timer
  // thread demands.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* why = dlerror();
    std::fprintf(stderr, "mrtcrecord: cannot load %s: %s\n", path.c_str(),
                 why != nullptr ? why : "unknown error");
    return false;
  }
  create = reinterpret_cast<CreateFn>(dlsym(handle, kCreateSymbol));
  release = reinterpret_cast<ReleaseFn>(dlsym(handle, kReleaseSymbol));
  if (create == nullptr || release == nullptr) {
    std::fprintf(stderr, "mrtcrecord: %s lacks the plug-in's exports\n", path.c_str());
    return false;
  }
  return true;
}

Recorder::Birth Recorder::birth() const { return {elapsedMs(), tools::getLocalTime()}; }

imsdk::IPlugin* Recorder::make(CreateFn create, ReleaseFn release, Birth& born) const {
  // A plug-in slow to start (a busy machine) may have seen the later second,
  // and every message id of the trace would differ from the replay's. Made
  // again before the host has seen it; a start that takes a second or more
  // each time keeps its last.
  for (int attempt = 1;; ++attempt) {
    born = birth();
    imsdk::IPlugin* real = create();
    if (real == nullptr || birth().localTime == born.localTime || attempt == kMakeAttempts) {
      return real;
    }
    release(real);
  }
}

std::string Recorder::newInstance(const Birth& born) {
  std::string name;
  Config c;
  {
    std::lock_guard<std::mutex> lk(mu_);
    name = "p" + std::to_string(++instances_);
    c = config_;
  }
  Crossing crossing;
  codec::Item it = crossing.entry(name, codec::kind::kTrace);
  it.t = born.t;
  it.set("version", codec::kTraceVersion)
      .set("plugin", loadedPath())
      .set("clockMs", startMs_ + born.t)
      .set("localTime", born.localTime)
      .set("logs", int64_t{c.keepLogs ? 1 : 0})
      .set("pid", static_cast<int64_t>(getpid()));
  write(it);
  return name;
}

bool Recorder::recording() {
  std::lock_guard<std::mutex> lk(mu_);
  return openLocked();
}

bool Recorder::openLocked() {
  if (file_ != nullptr) return true;
  if (failed_ || config_.tracePath.empty()) return false;
  file_ = std::fopen(config_.tracePath.c_str(), "a");
  if (file_ == nullptr) {
    failed_ = true;
    std::fprintf(stderr, "mrtcrecord: cannot write %s\n", config_.tracePath.c_str());
  }
  return file_ != nullptr;
}

void Recorder::write(const codec::Item& entry) {
  // Built before the lock: only the copy into the file happens under it.
  std::string line = codec::renderJson(entry);
  line += '\n';
  std::lock_guard<std::mutex> lk(mu_);
  if (!openLocked()) return;
  std::fwrite(line.data(), 1, line.size(), file_);
  // Each line reaches the file at once: a trace is wanted most when the
  // process dies.
  std::fflush(file_);
}

std::string Recorder::loadedPath() {
  std::lock_guard<std::mutex> lk(mu_);
  return loadedPath_;
}

int64_t Recorder::elapsedMs() const { return tools::get_mill_sec() - startMs_; }

}  // namespace mrtcrecord
