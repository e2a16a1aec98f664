#!/usr/bin/env bash
# The real program under a virtual X server: it opens the menu and nothing else; a name typed into the
# menu and Enter load an exam and show the game screen; "Выход" ends the program without writing
# the score file.
# Usage: menu_to_exam.sh <pemy binary> <repository root>
set -euo pipefail
pemy=$1
root=$2

. "$root/tests/e2e/x11_helpers.sh"
wait_display || fail "no X server"
enter_workdir "$root"

# Mapped windows of the program that carry a caption (the toolkit's own helper windows have none).
visible_windows() {
  local n=0 w
  for w in $(xdotool search --onlyvisible --pid "$pid" --name '' 2>/dev/null); do
    [ -n "$(xdotool getwindowname "$w" 2>/dev/null)" ] && n=$((n + 1))
  done
  echo "$n"
}

"$pemy" >"$work/out.log" 2>&1 &
pid=$!

menu_name='Меню "PEMy -и Зольмар"'
menu=$(wait_window "$pid" "$menu_name") || fail "the menu window did not appear"
sleep 0.5
[ "$(visible_windows)" -eq 1 ] || fail "more than one window is mapped at start"

# No window manager: a click gives the name field (centre 348, 176 at design size) the focus.
click_design "$menu" 348 176 688 440
xdotool key --window "$menu" ctrl+a
xdotool type --window "$menu" --delay 20 'Tester'
xdotool key --window "$menu" Return

game=$(wait_window "$pid" 'Игра нового поколения! PEMy" v 1.0.0.1 alpha') || fail "the game screen did not appear"
wait_unmapped "$menu" || fail "the menu is still shown beside the game screen"

# "Выход" on the game screen's bottom panel, centre (336, 444) at design size, ends the program.
click_design "$game" 336 444 688 463
wait_exit "$pid" || fail "the program did not end on Выход"
pid=
[ -e base/data/score.inf ] && fail "leaving by Выход wrote the score file"
[ -e score.inf ] && fail "leaving by Выход wrote the fallback score file"
echo "PASS"
