#!/usr/bin/env bash
# Installs the Debian packages the build needs, when they are missing.
set -euo pipefail

# chromium and libxml2-utils: the HTML report's tests open it in a headless
# browser and check its drawing with xmllint.
packages=(cmake ninja-build g++ clang libclang-rt-14-dev rapidjson-dev libgtest-dev
          libgmock-dev libbenchmark-dev libcli11-dev chromium libxml2-utils
          clang-format clang-tidy)
# The live tests: an XMPP server, the node's XMPP client library, and python3
# that drives the nodes.
packages+=(prosody libstrophe-dev python3)
# The node's phone page: an HTTP server library (the page's test uses chromium).
packages+=(libcpp-httplib-dev)
# The install checks build a host through pkg-config.
packages+=(pkg-config)
# The Debian packages: their manual pages are made from --help (help2man),
# dpkg-shlibdeps names their dependencies (dpkg-dev), lintian holds them to
# Debian's standards and man shows the installed pages.
packages+=(help2man dpkg-dev lintian man-db)
# The install checks' two Release builds share their objects through ccache.
packages+=(ccache)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null 2>&1; then
      echo "scripts/deps.sh: not root and no sudo; as root, run:" >&2
      echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
      exit 1
    fi
    sudo_cmd="sudo"
  fi
  if ! { $sudo_cmd apt-get update -qq &&
         DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq "${missing[@]}"; }; then
    echo "scripts/deps.sh: could not install; as root, run:" >&2
    echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    exit 1
  fi
fi
