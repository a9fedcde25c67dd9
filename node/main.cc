// mrtc-node: one client device as a process. It loads libmrtcplugin.so as any
// host does, gives it the host services over an XMPP server, runs it on the
// real clock, and speaks JSON lines: requests in on standard input, results
// and UI events out on standard output (see app.h and output.h).
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>

#include "app.h"
#include "directory.h"
#include "host.h"
#include "link.h"
#include "output.h"
#include "plugin_path.h"
#include "read_error.h"
#include "simhost/plugin_loader.h"
#include "tools.h"

namespace {

struct Options {
  std::string directory;
  std::string user;
  int32_t device = 1;
  std::string server = "127.0.0.1:5222";
  std::string password;
  std::string stateDir;
  std::string logFile;
  std::string plugin;
  std::string name;
  double keepAlive = 20;
  int64_t clockOffsetMs = 0;
};

int64_t userOf(const node::Directory& dir, const std::string& text) {
  if (tools::isNumber(text)) return tools::strToInt64(text);
  return dir.userNamed(text);
}

int runNode(const Options& o) {
  node::Directory dir;
  try {
    dir = node::loadDirectory(o.directory);
  } catch (const codec::ReadError& e) {
    std::fprintf(stderr, "mrtc-node: invalid directory: %s\n", e.what());
    return 2;
  }
  const int64_t userId = userOf(dir, o.user);
  auto user = dir.users.find(userId);
  if (user == dir.users.end()) {
    std::fprintf(stderr, "mrtc-node: no user %s in %s\n", o.user.c_str(), o.directory.c_str());
    return 2;
  }
  const std::string path = o.plugin.empty() ? mrtcsim::defaultPluginPath() : o.plugin;
  simhost::PluginLibrary library(path);
  imsdk::IPlugin* plugin = library.create();
  if (plugin == nullptr) {
    std::fprintf(stderr, "mrtc-node: cannot load %s: %s\n", path.c_str(), library.error().c_str());
    return 3;
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> log(
      o.logFile.empty() ? nullptr : std::fopen(o.logFile.c_str(), "a"), &std::fclose);
  const std::string name =
      o.name.empty() ? node::NodeHost::clientName(dir, userId, o.device) : o.name;
  node::Output out(name, stdout);
  node::NodeHost host(dir, userId, o.device, out, log.get());
  host.setClockOffset(o.clockOffsetMs);

  node::LinkConfig config;
  const size_t colon = o.server.rfind(':');
  config.host = o.server.substr(0, colon);
  config.port = static_cast<uint16_t>(
      colon == std::string::npos ? 5222 : tools::strToInt64(o.server.substr(colon + 1)));
  config.userId = userId;
  config.device = o.device;
  config.password = o.password.empty() ? user->second.password : o.password;
  if (!o.stateDir.empty()) config.syncFile = o.stateDir + "/" + name + ".sync";
  node::XmppLink link(config, dir, &host);
  host.attach(plugin, &link);
  host.preLogin();
  link.start();
  {
    node::Application app(host, link, out, static_cast<int64_t>(o.keepAlive * 1000));
    app.run(std::cin);
  }
  link.stop();
  library.release(plugin);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  CLI::App cli{"mrtc-node: one client device over an XMPP server, driven by JSON lines"};
  cli.add_option("--directory", o.directory, "directory file (users, groups, config)")->required();
  cli.add_option("--user", o.user, "user id or name")->required();
  cli.add_option("--device", o.device, "device type: 1 pc, 2 android, 3 ios, ...");
  cli.add_option("--server", o.server, "XMPP server HOST:PORT");
  cli.add_option("--password", o.password, "password (default: the directory's)");
  cli.add_option("--state", o.stateDir, "folder that keeps the archive sync point");
  cli.add_option("--log", o.logFile, "write the plug-in's log lines to this file");
  cli.add_option("--plugin", o.plugin, "path of libmrtcplugin.so");
  cli.add_option("--name", o.name, "name of this device in the output");
  cli.add_option("--keepalive", o.keepAlive, "seconds between keep-alives in a talk (0: none)");
  cli.add_option("--clock-offset", o.clockOffsetMs,
                 "ms added to the server-aligned time (a device whose clock is off)");
  CLI11_PARSE(cli, argc, argv);
  return runNode(o);
}
