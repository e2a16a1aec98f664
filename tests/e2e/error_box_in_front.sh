#!/usr/bin/env bash
# The real program under a virtual X server with no window manager: a picture in place of the menu
# piece and a damaged background give two error boxes at start-up; the menu is mapped after them,
# yet the boxes come one at a time, each the topmost window of the program holding the keyboard,
# and Return dismisses each, leaving the menu.
# Usage: error_box_in_front.sh <pemy binary> <repository root>
set -euo pipefail
pemy=$1
root=$2

. "$root/tests/e2e/x11_helpers.sh"
wait_display || fail "no X server"
enter_workdir "$root"
cp "$root/base/image/fon.jpg" base/sound/pms.mp3
echo "GIF89a, not a picture we read" >base/image/fon.jpg

# Position of window $1 in the root's stacking order, 1 for the topmost.
stack_place() {
  xwininfo -root -children | grep -E '^\s+0x' | awk '{print NR, $1}' \
    | while read -r n id; do [ $((id)) -eq "$1" ] && echo "$n"; done
}

"$pemy" >"$work/out.log" 2>&1 &
pid=$!

menu=$(wait_window "$pid" 'Меню "PEMy -и Зольмар"') || fail "the menu window did not appear"
for which in first second; do
  box=$(wait_window "$pid" 'PEMy - ultra reality game!') || fail "no $which error box"
  # The box is raised once the screen that followed it is up; give that a moment on a loaded machine.
  for _ in $(seq 50); do
    [ "$(stack_place "$box")" -lt "$(stack_place "$menu")" ] && [ "$(xdotool getwindowfocus)" = "$box" ] && break
    sleep 0.1
  done
  [ "$(stack_place "$box")" -lt "$(stack_place "$menu")" ] || fail "the $which error box is behind the menu"
  [ "$(xdotool getwindowfocus)" = "$box" ] || fail "the $which error box does not have the keyboard"
  shown=$(for w in $(xdotool search --onlyvisible --pid "$pid" --name ''); do xdotool getwindowname "$w"; done \
    | grep -cx 'PEMy - ultra reality game!' || true)
  [ "$shown" -eq 1 ] || fail "$shown error boxes are shown at once"

  # Typed at the focused window, as a player would; the box is gone before the key comes up.
  xdotool key Return
  wait_unmapped "$box" || fail "Return did not dismiss the $which box"
done
viewable "$menu" || fail "the menu went away with the boxes"
echo "PASS"
