#!/usr/bin/env bash
# Holds the Debian packages to Debian's own standards, then installs them on
# this machine and uses them as a user would:
#   - configures BUILD_DIR for the packages (prefix /usr, so the library goes
#     to the multiarch folder; Release; no tests), builds it and makes the
#     packages with cpack;
#   - lintian over every package: any error or warning fails;
#   - as root (or through sudo): dpkg -i of the packages; each program's
#     manual page through man; each program run from outside the source tree
#     (mrtc-sim on its built-in scenario); a host built through find_package
#     and one through pkg-config, both against /usr, the second also with
#     the recorder in the plug-in's place; then dpkg -r and dpkg -P,
#     after which no file of the packages may remain. A failure on the way
#     purges what was installed. Without root or sudo this round trip is
#     skipped, and says so; in CI (CI set) that fails instead.
set -euo pipefail
cd "$(dirname "$0")/.."
# ldconfig lives in sbin, which a user's PATH may lack.
PATH=$PATH:/usr/sbin:/sbin
build=${1:?usage: scripts/check_debian.sh BUILD_DIR}
mkdir -p "$build"
build=$(cd "$build" && pwd)
jobs=${MRTC_JOBS:-$(nproc)}
cxx=${CXX:-c++}
work=$(mktemp -d)
as_root=""
installed=()  # purged on the way out
cleanup() {
  if [ ${#installed[@]} -gt 0 ]; then
    echo "check_debian: purging ${installed[*]}" >&2
    $as_root dpkg -P "${installed[@]}" >/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "check_debian: $*" >&2
  exit 1
}

# A directory configured for another prefix (such as a developer's build)
# is left alone: reconfiguring it would point its installs at /usr.
cache=$build/CMakeCache.txt
if [ -f "$cache" ] && ! grep -qx 'CMAKE_INSTALL_PREFIX:PATH=/usr' "$cache"; then
  fail "$build is configured for another install prefix; give a directory of its own"
fi
echo "-- Debian packages built for /usr in $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DMRTC_TESTS=OFF -DMRTC_BENCH=OFF >/dev/null
ninja -C "$build" -j "$jobs" >/dev/null
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/cpack.log" 2>&1) ||
  fail "cpack failed: $(cat "$work/cpack.log")"
debs=("$work"/deb/*.deb)
[ -f "${debs[0]}" ] || fail "cpack made no package"
packages=()
for deb in "${debs[@]}"; do packages+=("$(dpkg-deb -f "$deb" Package)"); done
echo "${packages[*]}"

# The changelog's newest entry is the version being packaged.
logged=$(dpkg-parsechangelog -l cmake/debian/changelog -S Version)
version=$(dpkg-deb -f "${debs[0]}" Version)
[ "$logged" = "$version" ] || fail "cmake/debian/changelog ends at $logged, the packages are $version"

echo "-- lintian"
# lintian leaves its cache folders in TMPDIR: keep them in ours, removed on exit.
findings=$(TMPDIR=$work lintian --fail-on error,warning "${debs[@]}" 2>"$work/lintian.err") ||
  fail "lintian failed: $findings $(cat "$work/lintian.err")"
[ -z "$findings" ] || fail "lintian: $findings"
echo "no finding"

echo "-- install the packages on this machine, use them, remove them"
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    as_root="sudo -n"
  elif [ -n "${CI:-}" ]; then
    fail "the round trip needs root or sudo, and CI runs it"
  else
    echo "not root and no sudo: the round trip is skipped"
    exit 0
  fi
fi
# Someone's own installation of them is never touched.
for package in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'ok installed'; then
    fail "$package is installed already; remove it first"
  fi
done
installed=("${packages[@]}")
$as_root dpkg -i "${debs[@]}" >/dev/null
ldconfig -p | grep 'libmrtcplugin\.so\.[0-9]* ' >/dev/null || fail "ldconfig does not know the installed library"

triplet=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
libdir=/usr/lib/$triplet
mkdir "$work/elsewhere"
programs=$(for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '{print $6}' |
  sed -n 's|^\./usr/bin/||p')
for program in $programs; do
  page=$(man -P cat "$program" 2>/dev/null) || fail "man $program shows no page"
  grep -q "^NAME" <<<"$page" || fail "man $program shows no page"
  sed -n '1,4p' <<<"$page" | sed '/^$/d'
  (cd "$work/elsewhere" && "/usr/bin/$program" --help >/dev/null) || fail "$program --help failed"
done
(
  cd "$work/elsewhere"
  plugin=$(mrtc-sim --version | sed -n 's/^plug-in: //p')
  [ "$(realpath "$plugin")" = "$(realpath "$libdir/libmrtcplugin.so.${version%%.*}")" ] ||
    fail "installed mrtc-sim would load $plugin"
  mrtc-sim -q || fail "installed mrtc-sim: exit status $?"
)
echo "mrtc-sim -q: default scenario ok"

# The hosts find the commLib stand-in in the simulator's private folder.
commlib_dir=$libdir/mrtcplugin
cmake -S tests/install/cmake_consumer -B "$work/cmake_host" -G Ninja >/dev/null
grep -qx "mrtcplugin_DIR:PATH=$libdir/cmake/mrtcplugin" "$work/cmake_host/CMakeCache.txt" ||
  fail "find_package did not find the installed package: $(grep mrtcplugin_DIR "$work/cmake_host/CMakeCache.txt")"
ninja -C "$work/cmake_host" >/dev/null
LD_LIBRARY_PATH=$commlib_dir "$work/cmake_host/host"

# The cross build's pkg-config looks only in the multiarch folder.
for pkg_config in pkg-config "$triplet-pkg-config"; do
  plugin=$(env -u PKG_CONFIG_PATH "$pkg_config" --variable=plugin mrtcplugin)
  [ "$(realpath "$plugin")" = "$(realpath "$libdir/libmrtcplugin.so.${version%%.*}")" ] ||
    fail "$pkg_config names the plug-in $plugin"
done
# shellcheck disable=SC2046
"$cxx" -std=c++17 -Wall -Wextra -Werror $(env -u PKG_CONFIG_PATH pkg-config --cflags mrtcplugin) \
  -DMRTC_PLUGIN_FILE="\"$plugin\"" tests/install/host.cc -o "$work/pc_host" -ldl
LD_LIBRARY_PATH=$commlib_dir "$work/pc_host"
# The recorder from its package, loaded in the plug-in's place: it finds the
# plug-in in the folder above its own and writes the trace it is told to.
MRTC_RECORD_TRACE=$work/trace.jsonl LD_LIBRARY_PATH=$commlib_dir "$work/pc_host" \
  "$commlib_dir/libmrtcrecord.so"
grep -q "\"plugin\":\"$commlib_dir/../libmrtcplugin.so.${version%%.*}\"" "$work/trace.jsonl" ||
  fail "the installed recorder wrote no trace of the installed plug-in: $(head -c 300 "$work/trace.jsonl")"

$as_root dpkg -r "${packages[@]}" >/dev/null
left=""
while read -r path; do
  path=${path#.}
  [ -e "$path" ] || continue
  # A folder stays when other packages use it too.
  if [ -d "$path" ] && dpkg-query -S "$path" >/dev/null 2>&1; then continue; fi
  left+=" $path"
done < <(for deb in "${debs[@]}"; do dpkg-deb -c "$deb"; done | awk '{print $6}' | sed 's|/$||' | sort -u)
[ -z "$left" ] || fail "left behind after dpkg -r:$left"
! ldconfig -p | grep 'libmrtcplugin\.so' >/dev/null || fail "ldconfig still lists the removed library"
# Purged, dpkg forgets them (with no configuration files, removing them may
# already have done so).
known=$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null |
  awk '$1 != "un" {print $2}' || true)
# shellcheck disable=SC2086
[ -z "$known" ] || $as_root dpkg -P $known >/dev/null
installed=()
[ -z "$(dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${packages[@]}" 2>/dev/null | awk '$1 != "un"')" ] ||
  fail "dpkg still knows the packages after dpkg -P"
echo "removed (dpkg -r) and purged (dpkg -P): nothing left behind"
echo "Debian checks: ok"
