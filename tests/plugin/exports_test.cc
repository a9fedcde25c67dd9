// The shared library as a real host uses it: loaded with dlopen, driven
// through its two exports, and exporting nothing else.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "IPlugin.h"
#include "simhost/simhost.h"

namespace {

TEST(SharedLibrary, LoadsCreatesLogsInAndReleases) {
  void* lib = dlopen(MRTC_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(lib, nullptr) << dlerror();
  auto create = reinterpret_cast<imsdk::IPlugin* (*)()>(dlsym(lib, "mrtcplugin_createPlugin"));
  auto release =
      reinterpret_cast<void (*)(imsdk::IPlugin*)>(dlsym(lib, "mrtcplugin_releasePlugin"));
  ASSERT_NE(create, nullptr);
  ASSERT_NE(release, nullptr);

  simhost::Network net;
  simhost::Client& client = net.addClient("pc", 1001);
  imsdk::IPlugin* plugin = create();
  ASSERT_NE(plugin, nullptr);
  EXPECT_EQ(plugin->getName(), "mrtcplugin");
  client.attach(plugin);
  client.config().loginQuery = false;
  client.preLogin("demo");
  client.login();
  EXPECT_TRUE(client.hasLog("listen prelogin logo=demo 20210527a."));
  EXPECT_TRUE(client.hasLog("listen login mrtcver=mrtc@1.8.8."));
  release(plugin);
  release(nullptr);
  EXPECT_EQ(dlclose(lib), 0);
}

TEST(SharedLibrary, ExportsExactlyTheTwoEntryPoints) {
  const std::string command = std::string("nm -D --defined-only ") + MRTC_PLUGIN_PATH;
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> defined;
  char line[1024];
  while (fgets(line, sizeof(line), pipe) != nullptr) {
    char address[64];
    char kind[8];
    char name[900];
    if (sscanf(line, "%63s %7s %899s", address, kind, name) != 3) continue;
    // Version definitions ("A") are not symbols of the library's code.
    if (std::string(kind) == "A") continue;
    defined.insert(name);
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(defined,
            (std::set<std::string>{"mrtcplugin_createPlugin", "mrtcplugin_releasePlugin"}));
}

}  // namespace
