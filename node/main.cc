// mrtc-node: one client device as a process. It loads libmrtcplugin.so as any
// host does, gives it the host services over an XMPP server, runs it on the
// real clock, and speaks JSON lines: requests in on standard input, results
// and UI events out on standard output (see app.h and output.h).
#include <dlfcn.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>

#include "app.h"
#include "directory.h"
#include "host.h"
#include "http/page_server.h"
#include "link.h"
#include "output.h"
#include "plugin_loader.h"
#include "plugin_path.h"
#include "read_error.h"
#include "record_api.h"
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
  std::string record;
  std::string name;
  double keepAlive = 20;
  int64_t clockOffsetMs = 0;
  int httpPort = -1;
  std::string pageDir;
};

int64_t userOf(const node::Directory& dir, const std::string& text) {
  if (tools::isNumber(text)) return tools::strToInt64(text);
  return dir.userNamed(text);
}

// The phone page takes the same lines as standard input, one at a time.
std::unique_ptr<node::http::PageServer> startPage(const Options& o, const node::Directory& dir,
                                                  int64_t userId, node::Output& out,
                                                  node::Application& app) {
  node::http::PageConfig config{o.pageDir.empty() ? node::http::defaultPageDir() : o.pageDir,
                                o.httpPort, userId, o.device};
  auto mu = std::make_shared<std::mutex>();
  auto count = std::make_shared<int>(0);
  auto page = std::make_unique<node::http::PageServer>(dir, config, out,
                                                       [&app, mu, count](const std::string& line) {
                                                         std::lock_guard<std::mutex> lk(*mu);
                                                         app.handle(line, ++*count);
                                                       });
  const int port = page->start();
  if (port < 0) {
    std::fprintf(stderr, "mrtc-node: cannot serve the page on 127.0.0.1:%d\n", o.httpPort);
    return nullptr;
  }
  std::fprintf(stderr, "mrtc-node: page at http://127.0.0.1:%d/\n", port);
  return page;
}

// Loads the recorder, which stands in for the plug-in at PLUGIN and loads it,
// and points it at TRACE; returns the recorder's path, or "" when it cannot
// be loaded. It lies beside the plug-in in the build tree, in the plug-in's
// private folder once installed.
std::string loadRecorder(const std::string& plugin, const std::string& trace) {
  const std::string folder = plugin.substr(0, plugin.rfind('/') + 1);
  std::string shim = folder + mrtcrecord::kLibraryFile;
  if (access(shim.c_str(), R_OK) != 0) {
    shim = folder + mrtcrecord::kInstalledDir + "/" + mrtcrecord::kLibraryFile;
  }
  void* handle = dlopen(shim.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  auto configure =
      handle != nullptr
          ? reinterpret_cast<mrtcrecord::ConfigureFn>(dlsym(handle, mrtcrecord::kConfigureSymbol))
          : nullptr;
  if (configure == nullptr) {
    std::fprintf(stderr, "mrtc-node: cannot load the recorder %s\n", shim.c_str());
    return "";
  }
  configure(trace.c_str(), plugin.c_str(), 0);
  return shim;
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
  std::string path = o.plugin.empty() ? mrtcsim::defaultPluginPath() : o.plugin;
  if (!o.record.empty()) {
    path = loadRecorder(path, o.record);
    if (path.empty()) return 3;
  }
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
  int status = 0;
  {
    node::Application app(host, link, out, static_cast<int64_t>(o.keepAlive * 1000));
    std::unique_ptr<node::http::PageServer> page;
    if (o.httpPort < 0 || (page = startPage(o, dir, userId, out, app))) {
      app.run(std::cin);
    } else {
      status = 2;
    }
  }
  link.stop();
  library.release(plugin);
  return status;
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
  cli.add_option("--record", o.record,
                 "write a trace of every crossing between host and plug-in to FILE "
                 "(libmrtcrecord.so beside the plug-in; mrtc-sim replay reads it)");
  cli.add_option("--name", o.name, "name of this device in the output");
  cli.add_option("--keepalive", o.keepAlive, "seconds between keep-alives in a talk (0: none)");
  cli.add_option("--clock-offset", o.clockOffsetMs,
                 "ms added to the server-aligned time (a device whose clock is off)");
  cli.add_option("--http", o.httpPort,
                 "serve this device's page on 127.0.0.1:PORT (0: any free port)")
      ->check(CLI::Range(0, 65535));
  cli.add_option("--page-dir", o.pageDir,
                 "folder of the page's files (default: the installed ones)");
  CLI11_PARSE(cli, argc, argv);
  return runNode(o);
}
