# Helpers for driving the game's windows under a virtual X server with xdotool; sourced by scripts.
# There is no window manager: windows take no focus by themselves, so a click gives it.

# wait_display: waits up to 20 s until the X server answers; xvfb-run may hand over a display that
# a busy machine has not finished setting up, and a program that cannot connect gives up at once.
wait_display() {
  for _ in $(seq 200); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# fail MESSAGE: ends the script as a failed test, with the end of the game's output when there is one.
fail() {
  echo "FAIL: $*" >&2
  if [ -s "${work:-}/out.log" ]; then
    echo "--- the game's output:" >&2
    tail -20 "$work/out.log" >&2
  fi
  exit 1
}

# enter_workdir ROOT: makes a temporary working folder with a copy of ROOT's base/ and no score
# file, changes into it, and removes it (and ends the program whose id is in $pid) on exit.
enter_workdir() {
  work=$(mktemp -d)
  pid=
  trap 'if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; fi; rm -rf "$work"' EXIT
  cp -r "$1/base" "$work/"
  rm -f "$work/base/data/score.inf"
  cd "$work"
}

# wait_window PID CAPTION [SECONDS]: waits (default 20 s) for a visible window of process PID
# captioned exactly CAPTION and prints its id (--all: xdotool's conditions are "or" by default).
wait_window() {
  local w
  for _ in $(seq $((${3:-20} * 10))); do
    for w in $(xdotool search --all --onlyvisible --pid "$1" --name '' 2>/dev/null); do
      if [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$2" ]; then
        echo "$w"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# click_design WINDOW X Y DESIGN_WIDTH DESIGN_HEIGHT: clicks the point (X, Y) of a window laid out
# at DESIGN_WIDTH x DESIGN_HEIGHT; the game scales its layout by the screen's DPI, so the point is
# taken in proportion to the window's real size.
click_design() {
  move_design "$@"
  xdotool click 1
}

# move_design WINDOW X Y DESIGN_WIDTH DESIGN_HEIGHT: moves the pointer there without clicking.
move_design() {
  local WIDTH HEIGHT X Y SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove --window "$1" $((WIDTH * $2 / $4)) $((HEIGHT * $3 / $5))
}

# viewable WINDOW: whether the window is mapped and shown.
viewable() {
  xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'
}

# wait_unmapped WINDOW: waits up to 5 s until the window is no longer shown.
wait_unmapped() {
  for _ in $(seq 50); do
    viewable "$1" || return 0
    sleep 0.1
  done
  return 1
}

# wait_exit PID: waits up to 30 s until the process has ended.
wait_exit() {
  for _ in $(seq 300); do
    kill -0 "$1" 2>/dev/null || return 0
    sleep 0.1
  done
  return 1
}

# wait_file PATH [SECONDS]: waits until PATH exists (default 20 s).
wait_file() {
  for _ in $(seq $((${2:-20} * 10))); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# start_exam PID NAME: types NAME into the menu and clicks "Новая игра" (not Enter, which would also
# show the hidden panels); prints the game window's id once it is shown.
start_exam() {
  local menu
  menu=$(wait_window "$1" 'Меню "PEMy -и Зольмар"') || return 1
  click_design "$menu" 348 176 688 440 # the name field
  xdotool key --window "$menu" ctrl+a
  xdotool type --window "$menu" --delay 20 "$2"
  click_design "$menu" 158 321 688 440 # "Новая игра"
  wait_window "$1" 'Игра нового поколения! PEMy" v 1.0.0.1 alpha'
}

# blurred_rmse A B: how far picture A differs from picture B scaled to A's size, both blurred: the
# root mean square of the channels' differences, from 0 to 1.
blurred_rmse() {
  local size
  size=$(identify -format '%wx%h' "$1")
  convert "$1" -blur 0x2 "$work/rmse_a.png"
  convert "$2" -resize "$size!" -blur 0x2 "$work/rmse_b.png"
  # compare's status is 1 when the pictures differ at all.
  { compare -metric RMSE "$work/rmse_a.png" "$work/rmse_b.png" null: 2>&1 || true; } | sed 's/.*(\(.*\))/\1/'
}

# below LIMIT VALUE: whether the decimal VALUE is below LIMIT.
below() {
  awk -v l="$1" -v v="$2" 'BEGIN { exit !(v < l) }'
}
