#!/usr/bin/env bash
# The real program under a virtual X server: it opens the menu and nothing else; a name typed into the
# menu and Enter load an exam and show the game screen; "Выход" ends the program without writing
# the score file.
# Usage: menu_to_exam.sh <pemy binary> <repository root>
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
rm -f "$work/base/data/score.inf"
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
menu=$(wait_window "$menu_name") || fail "the menu window did not appear"
sleep 0.5
[ "$(visible_windows)" -eq 1 ] || fail "more than one window is mapped at start"

# No window manager: a click gives the name field the focus. Its centre at design size is (348, 176);
# the layout is scaled by the server's DPI, so take the field's place from the window's size.
eval "$(xdotool getwindowgeometry --shell "$menu")"
scale_x=$(( WIDTH * 348 / 688 ))
scale_y=$(( HEIGHT * 176 / 440 ))
xdotool mousemove --window "$menu" "$scale_x" "$scale_y" click 1
xdotool key --window "$menu" ctrl+a
xdotool type --window "$menu" --delay 20 'Tester'
xdotool key --window "$menu" Return

game=$(wait_window 'Игра нового поколения! PEMy" v 1.0.0.1 alpha') || fail "the game screen did not appear"
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
menu_gone=
for _ in $(seq 50); do
  if ! viewable "$menu"; then menu_gone=1; break; fi
  sleep 0.1
done
[ -n "$menu_gone" ] || fail "the menu is still shown beside the game screen"

# "Выход" on the game screen's bottom panel, centre (336, 444) at design size, ends the program.
eval "$(xdotool getwindowgeometry --shell "$game")"
xdotool mousemove --window "$game" $(( WIDTH * 336 / 688 )) $(( HEIGHT * 444 / 463 )) click 1
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "the program did not end on Выход"
pid=
[ -e base/data/score.inf ] && fail "leaving by Выход wrote the score file"
[ -e score.inf ] && fail "leaving by Выход wrote the fallback score file"
echo "PASS"
