#!/usr/bin/env bash
# The real program under a virtual X server with no window manager: a picture in place of the menu
# piece gives an error box at start-up; the menu is mapped after it, yet the box is the topmost
# window of the program and holds the keyboard, and Return dismisses it, leaving the menu.
# Usage: error_box_in_front.sh <pemy binary> <repository root>
set -euo pipefail
pemy=$1
root=$2

work=$(mktemp -d)
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cp -r "$root/base" "$work/"
cp "$root/base/image/fon.jpg" "$work/base/sound/pms.mp3"
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Waits up to 15 s for a visible window of the program captioned exactly $1; prints its id.
wait_window() {
  local w
  for _ in $(seq 150); do
    for w in $(xdotool search --onlyvisible --pid "$pid" --name '' 2>/dev/null); do
      if [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ]; then
        echo "$w"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# Position of window $1 in the root's stacking order, 1 for the topmost.
stack_place() {
  xwininfo -root -children | grep -E '^\s+0x' | awk '{print NR, $1}' \
    | while read -r n id; do [ $((id)) -eq "$1" ] && echo "$n"; done
}

"$pemy" >"$work/out.log" 2>&1 &
pid=$!

menu=$(wait_window 'Меню "PEMy -и Зольмар"') || fail "the menu window did not appear"
box=$(wait_window 'PEMy - ultra reality game!') || fail "no error box for the broken menu piece"
# The box is raised once the screen that followed it is up; give that a moment on a loaded machine.
for _ in $(seq 50); do
  [ "$(stack_place "$box")" -lt "$(stack_place "$menu")" ] && [ "$(xdotool getwindowfocus)" = "$box" ] && break
  sleep 0.1
done
[ "$(stack_place "$box")" -lt "$(stack_place "$menu")" ] || fail "the error box is behind the menu"
[ "$(xdotool getwindowfocus)" = "$box" ] || fail "the error box does not have the keyboard"

# Typed at the focused window, as a player would; the box is gone before the key comes up.
xdotool key Return
for _ in $(seq 50); do
  xwininfo -id "$box" 2>/dev/null | grep -q 'IsViewable' || break
  sleep 0.1
done
xwininfo -id "$box" 2>/dev/null | grep -q 'IsViewable' && fail "Return did not dismiss the box"
xwininfo -id "$menu" | grep -q 'IsViewable' || fail "the menu went away with the box"
echo "PASS"
