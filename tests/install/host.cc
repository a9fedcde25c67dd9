// The smallest host: loads the installed plug-in, makes one, hands it a
// service object and releases it. scripts/check_install.sh builds it against
// an installation, once through the CMake package and once through
// pkg-config; MRTC_PLUGIN_FILE is the library file either of them names.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "IPlugin.h"

namespace {

class Host : public imsdk::IHostService {
 public:
  int64_t getTicketValue() override { return 0; }
  std::string getTicketText() override { return {}; }
  int64_t getOwnUserId() override { return 1001; }
  int32_t postToApp(uint16_t, void*, int32_t, int32_t) override { return 1; }
  int32_t postToDispatch(uint16_t, void*, int32_t, int32_t) override { return 0; }
  int32_t passRequest(uint16_t, void*, int32_t, int32_t) override { return 0; }
  bool sendMessage(imsdk::req_sendMessage*, int32_t, int32_t) override { return true; }
  int32_t insertMessage(imsdk::req_insertMessage*, int32_t, int32_t) override { return 0; }
  bool syncRequest(int32_t, com::zbq::im::ap::SessionTicket*,
                   com::zbq::im::ap::CacheRet*) override {
    return false;
  }
  void log(int32_t, const char*, const char*, const char*, ...) override {}
  int64_t getTimeMs() override { return 0; }
  bool loginQuery() override { return true; }
  std::string getPreLoginDesc() override { return {}; }
  bool getUserInfo(imsdk::userInfo*, int64_t) override { return false; }
  std::string getConfigItem(const std::string&, const std::string&) override { return {}; }
  int32_t registerAddress(const char*, int32_t, const char*, uint16_t, int32_t) override {
    return 0;
  }
};

int fail(const std::string& what) {
  std::fprintf(stderr, "host: %s\n", what.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* path = argc > 1 ? argv[1] : MRTC_PLUGIN_FILE;
  void* library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return fail(dlerror());
  auto create = reinterpret_cast<decltype(&mrtcplugin_createPlugin)>(
      dlsym(library, "mrtcplugin_createPlugin"));
  auto release = reinterpret_cast<decltype(&mrtcplugin_releasePlugin)>(
      dlsym(library, "mrtcplugin_releasePlugin"));
  if (create == nullptr || release == nullptr) return fail("an export is missing");

  imsdk::IPlugin* plugin = create();
  if (plugin == nullptr) return fail("no plug-in made");
  Host host;
  plugin->setHost(&host);
  const std::string name = plugin->getName();
  // A record from the plug-in's factory goes back to it.
  imsdk::_sdkcmd_base* request = plugin->createCmd(imsdk::kCmdCall, true);
  const bool recordOk = request != nullptr && request->size() == 144;
  plugin->releaseCmd(imsdk::kCmdCall, request, 0);
  release(plugin);

  if (name != "mrtcplugin") return fail("name " + name);
  if (!recordOk) return fail("createCmd(24001) made no call request");
  std::printf("host: %s loaded, plug-in made and released\n", path);
  return 0;
}
