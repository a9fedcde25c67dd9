#!/usr/bin/env bash
# Uses the library the way a host SDK team does, from a configured and built
# build directory (scripts/test.sh passes build/gcc):
#   - installs it into a temporary prefix and checks the installed library
#     (versioned SONAME, no RUNPATH);
#   - compiles each installed header alone, checks that the plug-in imports
#     from commLib exactly what the installed tools.h and thread_start.h
#     declare, and that mrtcplugin.pc links nothing;
#   - builds two small hosts against the installation, one through the CMake
#     package and one through pkg-config; each loads the plug-in, makes one,
#     sets a service object and releases it;
#   - loads the installed recorder (libmrtcrecord.so) in the plug-in's place
#     in that host, once finding the plug-in itself and once told where it is
#     (MRTC_RECORD_PLUGIN), and reads the trace it wrote;
#   - builds examples/minimal_host against the installation and runs it (a
#     one-to-one call between two plug-ins on the real clock);
#   - runs the installed mrtc-sim from a folder outside the source and build
#     trees;
#   - makes the Debian packages and checks what each holds;
#   - builds the plug-in against a second commLib, made from the stand-in's
#     sources under another name, and runs the simulator on it.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD
build=$(cd "${1:?usage: scripts/check_install.sh BUILD_DIR}" && pwd)
jobs=${MRTC_JOBS:-$(nproc)}
cxx=${CXX:-c++}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

fail() {
  echo "check_install: $*" >&2
  exit 1
}

echo "-- install into a temporary prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
pc=$(find "$prefix" -name mrtcplugin.pc)
[ -n "$pc" ] || fail "no mrtcplugin.pc installed"
libdir=$(dirname "$(dirname "$pc")")

echo "-- the installed library: SONAME and RUNPATH"
dynamic=$(readelf -d "$libdir/libmrtcplugin.so")
soname=$(sed -n 's/.*Library soname: \[\(.*\)\]/\1/p' <<<"$dynamic")
[[ $soname =~ ^libmrtcplugin\.so\.[0-9]+$ ]] || fail "SONAME is '$soname', not libmrtcplugin.so.<major>"
[ -f "$libdir/$soname" ] || fail "$soname is not installed"
if grep -E 'R(UN)?PATH' <<<"$dynamic"; then fail "the installed library carries a search path"; fi
echo "SONAME $soname, no RUNPATH"

# The host provides commLib; here it is the stand-in installed with the
# simulator.
commlib_dir=$libdir/mrtcplugin
[ -f "$commlib_dir/libcommlib.so" ] || fail "the commLib stand-in is not in $commlib_dir"
[ ! -e "$libdir/libcommlib.so" ] || fail "the commLib stand-in is installed system-wide"

echo "-- each installed header compiles alone"
headers=$(find "$prefix/include/mrtcplugin" -name '*.h' | sort)
[ -n "$headers" ] || fail "no headers installed"
for header in $headers; do
  printf '#include "%s"\n' "$(basename "$header")" |
    "$cxx" -std=c++17 -Wall -Wextra -Werror -fsyntax-only -I"$prefix/include/mrtcplugin" -x c++ - ||
    fail "$(basename "$header") does not compile on its own"
done
echo "$(wc -w <<<"$headers") headers"

echo "-- the plug-in imports from commLib exactly what tools.h and thread_start.h declare"
imported=$(nm -D --undefined-only --demangle "$libdir/$soname" |
  grep -oE '(tools|platform)::[A-Za-z_0-9]+' | sort -u)
declared=$( (sed -nE 's/^ *static .*[ *&]([A-Za-z_0-9]+)\(.*/tools::\1/p' \
  "$prefix/include/mrtcplugin/tools.h"
  sed -nE 's/^bool ([A-Za-z_0-9]+)\(.*/platform::\1/p' "$prefix/include/mrtcplugin/thread_start.h") |
  sort -u)
[ "$imported" = "$declared" ] ||
  fail "imported and declared commLib functions differ: $(diff <(echo "$imported") <(echo "$declared") | grep '^[<>]' | tr '\n' ' ')"
echo "$(wc -l <<<"$imported") functions"

echo "-- mrtcplugin.pc: headers and the plug-in's path, nothing to link"
export PKG_CONFIG_PATH=$libdir/pkgconfig
[ -z "$(pkg-config --libs mrtcplugin | tr -d ' ')" ] || fail "mrtcplugin.pc links: $(pkg-config --libs mrtcplugin)"
[ -f "$(pkg-config --variable=plugin mrtcplugin)" ] || fail "mrtcplugin.pc names no plug-in file"

echo "-- a host built with find_package(mrtcplugin)"
cmake -S tests/install/cmake_consumer -B "$work/cmake_host" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
ninja -C "$work/cmake_host" >/dev/null
LD_LIBRARY_PATH=$commlib_dir "$work/cmake_host/host"

echo "-- a host built with pkg-config"
plugin=$(pkg-config --variable=plugin mrtcplugin)
# shellcheck disable=SC2046
"$cxx" -std=c++17 -Wall -Wextra -Werror $(pkg-config --cflags mrtcplugin) \
  -DMRTC_PLUGIN_FILE="\"$plugin\"" tests/install/host.cc -o "$work/pc_host" -ldl
LD_LIBRARY_PATH=$commlib_dir "$work/pc_host"

echo "-- the recorder, installed in the private folder, loaded in the plug-in's place"
shim=$commlib_dir/libmrtcrecord.so
[ -f "$shim" ] || fail "libmrtcrecord.so is not installed in $commlib_dir"
if readelf -d "$shim" | grep -E 'R(UN)?PATH'; then fail "the installed recorder carries a search path"; fi
for named in "" "$libdir/$soname"; do
  trace=$work/trace.jsonl
  rm -f "$trace"
  LD_LIBRARY_PATH=$commlib_dir MRTC_RECORD_TRACE=$trace MRTC_RECORD_PLUGIN=$named "$work/pc_host" "$shim"
  loaded=$(sed -n '1s/.*"kind":"trace".*"plugin":"\([^"]*\)".*/\1/p' "$trace")
  [ -n "$loaded" ] && [ "$(realpath "$loaded")" = "$(realpath "$libdir/$soname")" ] ||
    fail "the recorder (MRTC_RECORD_PLUGIN='$named') loaded '$loaded', not $libdir/$soname"
  grep -q '"slot":26,' "$trace" || fail "the trace lacks the release: $(cat "$trace")"
done
echo "trace written, the plug-in found from the private folder and by name; $(wc -l <"$trace") entries"

echo "-- examples/minimal_host built from the installation and run"
cmake -S examples/minimal_host -B "$work/minimal_host" -G Ninja \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
ninja -C "$work/minimal_host" >/dev/null
status=0
LD_LIBRARY_PATH=$commlib_dir "$work/minimal_host/minimal_host" >"$work/minimal_host.out" 2>&1 || status=$?
[ "$status" -eq 0 ] || { cat "$work/minimal_host.out" >&2; fail "minimal_host: exit status $status"; }
tail -n 1 "$work/minimal_host.out"

echo "-- the installed mrtc-sim, run from outside the source and build trees"
mkdir "$work/elsewhere"
(
  cd "$work/elsewhere"
  version=$("$prefix/bin/mrtc-sim" --version)
  grep -q "^plug-in: $prefix/" <<<"$version" || fail "installed mrtc-sim would load: $version"
  "$prefix/bin/mrtc-sim" --quiet || fail "installed mrtc-sim: exit status $?"
)
echo "default scenario ok"

echo "-- Debian packages"
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb" >/dev/null)
contents() { dpkg-deb -c "$1" | awk '{print $6}' | grep -v '/$'; }
expect_files() {  # package file, then the paths (below /usr) it must hold
  local deb=$1; shift
  local listing
  listing=$(contents "$deb")
  for path in "$@"; do
    grep -qxE "\./usr/$path" <<<"$listing" || fail "$(basename "$deb") lacks $path"
  done
}
ls "$work/deb"/*.deb >/dev/null 2>&1 || fail "cpack made no package"
runtime=$(ls "$work"/deb/libmrtcplugin[0-9]*_*.deb)
dev=$(ls "$work"/deb/libmrtcplugin-dev_*.deb)
sim=$(ls "$work"/deb/mrtc-sim_*.deb)
recorder=$(ls "$work"/deb/mrtcplugin-recorder_*.deb)
L='lib(/[a-z0-9_-]+)?'
expect_files "$runtime" "$L/$soname" "$L/libmrtcplugin\.so\.[0-9.]+"
expect_files "$dev" "$L/libmrtcplugin\.so" "$L/pkgconfig/mrtcplugin\.pc" \
  "$L/cmake/mrtcplugin/mrtcpluginConfig\.cmake" "$L/cmake/mrtcplugin/mrtcpluginConfigVersion\.cmake" \
  "$L/cmake/mrtcplugin/mrtcpluginTargets\.cmake"
for header in IPlugin sdk_cmd host_records host_service ap_cache tools thread_start CLocker \
  thread_annotations; do
  expect_files "$dev" "include/mrtcplugin/$header\.h"
done
expect_files "$sim" "bin/mrtc-sim" "$L/mrtcplugin/libcommlib\.so"
expect_files "$recorder" "$L/mrtcplugin/libmrtcrecord\.so"
dpkg-deb -f "$recorder" Depends | grep -q "libmrtcplugin[0-9]* (= " ||
  fail "the recorder's package does not depend on the plug-in's version"
if [ -x "$build/mrtc-node" ]; then expect_files "$sim" "bin/mrtc-node" "bin/mrtc-xmpp-server"; fi
# Each file in exactly one package, and the runtime package holds only the
# library.
dupes=$(for deb in "$runtime" "$dev" "$sim" "$recorder"; do contents "$deb"; done | sort | uniq -d)
[ -z "$dupes" ] || fail "files in more than one package: $dupes"
[ "$(contents "$runtime" | grep -vc '^\./usr/share/doc/')" -eq 2 ] || fail "the runtime package holds more than the library"
dpkg-deb -f "$dev" Depends | grep -q "libmrtcplugin[0-9]* (= " || fail "the dev package does not depend on the runtime"
for deb in "$runtime" "$dev" "$sim" "$recorder"; do echo "$(basename "$deb"): $(contents "$deb" | wc -l) files"; done

# The two Release builds below (the plug-in and simulator against another
# commLib, then everything for the packages) compile the same files alike:
# the second takes most of its objects from a cache of this run's own, or
# both from the caller's (scripts/test.sh shares its g++ build's).
if command -v ccache >/dev/null; then
  export CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_DIR=${CCACHE_DIR:-$work/ccache} CCACHE_BASEDIR=$src
fi

echo "-- the plug-in against a separate commLib (Release: library and mrtc-sim)"
alt=$src/build/alt-commlib
mkdir -p "$alt/hostcomm"
"$cxx" -std=c++17 -O2 -fPIC -shared -Iinclude -Istandin/commlib standin/commlib/*.cc \
  -Wl,-soname,libhostcomm.so -o "$alt/hostcomm/libhostcomm.so" -pthread
cmake -S . -B "$alt" -G Ninja -DCMAKE_BUILD_TYPE=Release -DMRTC_TESTS=OFF -DMRTC_BENCH=OFF \
  -DMRTC_COMMLIB="$alt/hostcomm/libhostcomm.so" >/dev/null
ninja -C "$alt" -j "$jobs" mrtcplugin mrtc-sim
needed=$(readelf -d "$alt/libmrtcplugin.so" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p')
grep -qx libhostcomm.so <<<"$needed" || fail "the plug-in does not need libhostcomm.so: $needed"
! grep -qx libcommlib.so <<<"$needed" || fail "the plug-in still needs the stand-in"
"$alt/mrtc-sim" --quiet || fail "mrtc-sim on the plug-in linked to libhostcomm.so: exit status $?"
echo "plug-in needs libhostcomm.so; default scenario ok"
scripts/check_debian.sh build/deb  # lintian over the packages, and dpkg -i, use, dpkg -r
if [ -n "${CCACHE_DIR:-}" ]; then
  echo "compiler cache: $(ccache --print-stats | grep -E '^(direct_cache_hit|preprocessed_cache_hit|cache_miss)' | tr '\t\n' '= ')"
fi
echo "install checks: ok"
