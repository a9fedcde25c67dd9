// The shim's exports: the plug-in's two, so that a host loads it in the
// plug-in's place, and its own mrtcrecord_configure.
#include <atomic>
#include <new>

#include "IPlugin.h"
#include "crossing.h"
#include "pause_watch.h"
#include "recorder.h"
#include "recording_plugin.h"

namespace {

// Set once, by the first creation; a release may come from another thread.
std::atomic<mrtcrecord::Recorder::CreateFn> gCreate{nullptr};
std::atomic<mrtcrecord::Recorder::ReleaseFn> gRelease{nullptr};

}  // namespace

extern "C" {

// Sets the trace file (null or empty: record nothing), the real plug-in
// library (null or empty: libmrtcplugin.so.1 next to the shim) and whether
// log lines are kept. Overrides the environment; call it before the first
// plug-in is created. Returns 0.
__attribute__((visibility("default"))) int mrtcrecord_configure(const char* tracePath,
                                                                const char* pluginPath,
                                                                int keepLogs) {
  mrtcrecord::Config c;
  c.tracePath = tracePath != nullptr ? tracePath : "";
  c.pluginPath = pluginPath != nullptr ? pluginPath : "";
  c.keepLogs = keepLogs != 0;
  mrtcrecord::Recorder::get().configure(c);
  return 0;
}

__attribute__((visibility("default"))) imsdk::IPlugin* mrtcplugin_createPlugin() {
  mrtcrecord::Recorder& rec = mrtcrecord::Recorder::get();
  // Loaded on the first creation, from the host's thread; a host creates
  // its plug-in before it runs it from other threads.
  mrtcrecord::Recorder::CreateFn create = gCreate.load();
  mrtcrecord::Recorder::ReleaseFn release = gRelease.load();
  if (create == nullptr) {
    if (!rec.load(create, release)) return nullptr;
    gRelease.store(release);
    gCreate.store(create);
  }
  if (!rec.recording()) return create();
  mrtcrecord::Recorder::Birth born{};
  imsdk::IPlugin* real = rec.make(create, release, born);
  if (real == nullptr) return nullptr;
  auto* shim = new (std::nothrow) mrtcrecord::RecordingPlugin(real, rec.newInstance(born));
  if (shim == nullptr) {
    release(real);
    return nullptr;
  }
  mrtcrecord::pause_watch::added(shim->client());
  return shim;
}

__attribute__((visibility("default"))) void mrtcplugin_releasePlugin(imsdk::IPlugin* plugin) {
  mrtcrecord::Recorder::ReleaseFn release = gRelease.load();
  if (plugin == nullptr || release == nullptr) return;
  auto* shim = dynamic_cast<mrtcrecord::RecordingPlugin*>(plugin);
  if (shim == nullptr) {
    release(plugin);
    return;
  }
  {
    mrtcrecord::Crossing c;
    codec::Item it = c.entry(shim->client(), codec::kind::kSlot);
    // The real release stops the plug-in's timer thread: nothing calls the
    // shim's host wrapper afterwards.
    release(shim->real());
    mrtcrecord::pause_watch::released(shim->client());
    it.set("slot", codec::kReleaseSlot).set("ret", int64_t{0});
    mrtcrecord::Recorder::get().write(it);
  }
  delete shim;
}

}  // extern "C"
