#!/usr/bin/env bash
# What the installed game adds to the start: time from launch until the menu window is mapped, for
# the game executable of the build started in a folder with base/ (the floor), for the installed
# pemy on a player's first start (it makes the player's folder) and on a later start (it finds it). Rounds alternate the three so that the machine's load falls on all alike; medians printed.
# Usage: xvfb-run -a -s -noreset bench/launcher_startup.sh <build dir> [rounds]
# (-noreset: the X server must not reset between two starts, or it refuses the next one.)
set -euo pipefail
build=$(readlink -f "$1")
rounds=${2:-7}
root=$(cd "$(dirname "$0")/.." && pwd)
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cmake --install "$build" --prefix "$tmp/prefix" >/dev/null
mkdir "$tmp/direct"
cp -r "$root/base" "$tmp/direct/"
export SDL_AUDIODRIVER=dummy
. "$root/tests/e2e/x11_helpers.sh"
wait_display || { echo "no X server" >&2; exit 1; }

# until_mapped DIR COMMAND...: milliseconds from launch in DIR until the menu is mapped.
until_mapped() {
  local dir=$1 start pid
  shift
  start=$(date +%s%N)
  (cd "$dir" && exec "$@" >/dev/null 2>>"$tmp/stderr.log") &
  pid=$!
  until xdotool search --onlyvisible --pid "$pid" --name 'PEMy' >/dev/null 2>&1; do
    kill -0 "$pid" 2>/dev/null || { echo "the game ended before its menu was mapped:" >&2; cat "$tmp/stderr.log" >&2; exit 1; }
    sleep 0.005
  done
  echo $((($(date +%s%N) - start) / 1000000))
  kill "$pid"
  wait "$pid" 2>/dev/null || true
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

: >"$tmp/direct.ms"; : >"$tmp/first.ms"; : >"$tmp/later.ms"
for i in $(seq "$rounds"); do
  until_mapped "$tmp/direct" "$build/src/app/pemy" >/dev/null # warm the caches alike
  until_mapped "$tmp/direct" "$build/src/app/pemy" >>"$tmp/direct.ms"
  XDG_DATA_HOME=$tmp/xdg$i until_mapped "$tmp" "$tmp/prefix/games/pemy" >>"$tmp/first.ms"
  XDG_DATA_HOME=$tmp/xdg$i until_mapped "$tmp" "$tmp/prefix/games/pemy" >>"$tmp/later.ms"
done
echo "until the menu is mapped, median of $rounds rounds:"
echo "  game executable, started directly: $(median <"$tmp/direct.ms") ms"
echo "  pemy, first start of a player:     $(median <"$tmp/first.ms") ms"
echo "  pemy, later start:                 $(median <"$tmp/later.ms") ms"
