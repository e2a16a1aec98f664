#!/usr/bin/env bash
# Builds the Debian package as a maintainer would: the game alone (BUILD_TESTING=OFF, so no test or
# benchmark library is needed), compiled and linked with Debian's build flags with every hardening
# feature on (fortify, stack protector, relro, bind now), and packed by CPack. Prints the .deb's path.
# Usage: scripts/package.sh [build dir] [output dir] [cmake option...]
#   (defaults: build-deb/ in the repository, and the build dir)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-deb}
out=${2:-$build}
shift $(($# < 2 ? $# : 2))

# What debhelper passes to a CMake build: CMake reads no CPPFLAGS, so they go with CXXFLAGS.
# -ffile-prefix-map makes the recorded source paths relative to the current folder.
cd "$root"
export DEB_BUILD_MAINT_OPTIONS=${DEB_BUILD_MAINT_OPTIONS:-hardening=+all}
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S "$root" -B "$build" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out" >/dev/null)
ls "$out"/pemy_*.deb
