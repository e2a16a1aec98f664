#!/usr/bin/env bash
# The Debian package that `cpack -G DEB` makes from the build: its name, version and dependencies
# (found by dpkg-shlibdeps, plus the soundfont and fonts loaded at run time), every file a desktop
# needs at its place, the game data without data/, and no error from lintian (its warnings are
# printed for the log).
# Usage: deb_package.sh <build dir> <source root>
set -euo pipefail
build=$1
root=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$build" && cpack -G DEB -B "$tmp" >"$tmp/cpack.log") || { cat "$tmp/cpack.log" >&2; fail "cpack"; }
debs=("$tmp"/pemy_1.0.0.1_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single pemy_1.0.0.1_<arch>.deb: ${debs[*]}"
deb=${debs[0]}

[ "$(dpkg-deb -f "$deb" Package)" = pemy ] || fail "package name"
[ "$(dpkg-deb -f "$deb" Version)" = 1.0.0.1 ] || fail "version"
[ "$(dpkg-deb -f "$deb" Section)" = games ] || fail "section"
depends=$(dpkg-deb -f "$deb" Depends)
for p in timgm6mb-soundfont fonts-liberation2 fonts-dejavu-core libqt6widgets6 libsdl2-mixer-2.0-0 libjpeg62-turbo; do
  [[ ", $depends," == *", $p"[\ ,]* ]] || fail "Depends lacks $p: $depends"
done

dpkg-deb -c "$deb" | awk '{ print $1, $6 }' >"$tmp/contents"
has() { grep -qxF -- "$1" "$tmp/contents" || fail "the package lacks $1"; }
has "-rwxr-xr-x ./usr/games/pemy"
has "-rwxr-xr-x ./usr/libexec/pemy/pemy"
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

lintian --fail-on error "$deb" 2>/dev/null || fail "lintian reports errors"
echo "PASS"
