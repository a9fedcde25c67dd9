#include <unistd.h>

#include <climits>
#include <string>

#include "page_server.h"

namespace node::http {

std::string defaultPageDir() {
  char buf[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n > 0) {
    std::string exe(buf, static_cast<size_t>(n));
    const std::string installed =
        exe.substr(0, exe.rfind('/') + 1) + MRTC_INSTALLED_PAGE + "/index.html";
    if (access(installed.c_str(), R_OK) == 0) return installed.substr(0, installed.rfind('/'));
  }
  return MRTC_PAGE_DIR;
}

}  // namespace node::http
