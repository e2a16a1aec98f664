#!/usr/bin/env bash
# The Debian package as a maintainer builds it (scripts/package.sh: the game alone, with Debian's
# hardening flags), in its own build folder beside the test build. Checked: the build needs no test
# or benchmark library (both are made unfindable) and builds nothing of the tests; the binary has
# every hardening feature and lintian's pedantic run names no hardening tag (nor any error); the
# package's name, version and dependencies (found by dpkg-shlibdeps, plus any General MIDI
# soundfont and the fonts loaded at run time); every file a desktop needs at its place, and the
# game data without data/.
# Usage: deb_package.sh <build dir> <source root>
set -euo pipefail
build=$1
root=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

pkgbuild=$build/package
"$root/scripts/package.sh" "$pkgbuild" "$tmp" \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON -DCMAKE_DISABLE_FIND_PACKAGE_Qt6Test=ON >"$tmp/package.log" 2>&1 ||
  { cat "$tmp/package.log" >&2; fail "scripts/package.sh"; }
debs=("$tmp"/pemy_1.0.0.1_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single pemy_1.0.0.1_<arch>.deb: ${debs[*]}"
deb=${debs[0]}
[ ! -e "$pkgbuild/tests" ] && [ ! -e "$pkgbuild/bench" ] || fail "the package build built tests or benchmarks"

# Fortify and the stack protector in the compiler's flags (the binary keeps no trace of fortify
# where every call is checked when compiled), relro and bind-now in the binary.
grep -q '^CMAKE_CXX_FLAGS:STRING=.*-D_FORTIFY_SOURCE=[23].*-fstack-protector-strong' "$pkgbuild/CMakeCache.txt" ||
  fail "the package is not compiled with fortify and the stack protector"
readelf -lW "$pkgbuild/src/app/pemy" | grep -q GNU_RELRO || fail "no relro"
readelf -dW "$pkgbuild/src/app/pemy" | grep -q 'FLAGS.*BIND_NOW' || fail "no bind-now"
lintian -I --pedantic "$deb" >"$tmp/lintian.log" 2>&1 || true
! grep hardening "$tmp/lintian.log" >&2 || fail "lintian names hardening tags"
lintian --fail-on error "$deb" >/dev/null 2>&1 || { cat "$tmp/lintian.log" >&2; fail "lintian reports errors"; }

[ "$(dpkg-deb -f "$deb" Package)" = pemy ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 1.0.0.1 ] || fail "version"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section"
depends=$(dpkg-deb -f "$deb" Depends)
for p in 'timgm6mb-soundfont | sf2-soundfont-gm' fonts-liberation2 fonts-dejavu-core libqt6widgets6 \
  libsdl2-mixer-2.0-0 libjpeg62-turbo; do
  [[ ", $depends," == *", $p"[\ ,]* ]] || fail "Depends lacks $p: $depends"
done
[ "$(dpkg-deb -f "$deb" Recommends)" = qt6-wayland ] || fail "the package does not recommend qt6-wayland"

dpkg-deb -c "$deb" | awk '{ print $1, $6 }' >"$tmp/contents"
has() { grep -qxF -- "$1" "$tmp/contents" || fail "the package lacks $1"; }
has "-rwxr-xr-x ./usr/games/pemy"
has "-rw-r--r-- ./usr/share/applications/example.rodvk.pemy.desktop"
has "-rw-r--r-- ./usr/share/metainfo/example.rodvk.pemy.metainfo.xml"
has "-rw-r--r-- ./usr/share/man/man6/pemy.6.gz"
has "-rw-r--r-- ./usr/share/doc/pemy/copyright"
has "-rw-r--r-- ./usr/share/doc/pemy/changelog.gz"
for size in 16 32 48 64 128 256; do
  has "-rw-r--r-- ./usr/share/icons/hicolor/${size}x${size}/apps/example.rodvk.pemy.png"
done
(cd "$root/base" && find . -path ./data -prune -o -type f -print | sort) >"$tmp/data.list"
grep -o '\./usr/share/games/pemy/base/.*[^/]$' "$tmp/contents" | sed 's|^\./usr/share/games/pemy/base/|./|' |
  sort | diff "$tmp/data.list" - >&2 || fail "the packaged data differ from base/ without data/"

echo "PASS"
