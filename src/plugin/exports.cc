// The library's two exports; every other symbol is hidden.
#include <new>

#include "IPlugin.h"
#include "plugin/mrtc_plugin.h"
#include "timer/plugin_other.h"

extern "C" __attribute__((visibility("default"))) imsdk::IPlugin* mrtcplugin_createPlugin() {
  return new (std::nothrow) imsdkmrtc::mrtc_plugin();
}

extern "C" __attribute__((visibility("default"))) void mrtcplugin_releasePlugin(
    imsdk::IPlugin* plugin) {
  if (plugin == nullptr) return;
  // The timer thread is told to stop before the object goes away; it is never
  // joined and touches nothing of the plug-in after it sees the flag.
  static_cast<imsdkmrtc::mrtc_plugin*>(plugin)->other()->stop();
  delete plugin;
}
