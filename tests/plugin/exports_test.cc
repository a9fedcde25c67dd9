// The shared library exports its two entry points and nothing else (loading
// it and driving it through them: unload_test.cc).
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

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
