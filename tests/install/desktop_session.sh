#!/usr/bin/env bash
# The installed game on real desktops, started by its `pemy` command as a launcher would: under the
# window manager openbox (X11), and under the Wayland compositor weston, once through XWayland (the
# command's choice where there is an X server) and once natively (its fallback). Weston runs on its
# X11 back-end inside this test's X server, which gives it a seat that xdotool drives; its headless
# back-end has no pointer or keyboard to click and type with. In every environment:
#   - the process is listed as `pemy`, and its windows carry the desktop entry's identity: the X11
#     class that the entry names as StartupWMClass, or the Wayland app_id that is the entry's name;
#   - a round of switches (menu, score, menu, about, menu, exam, score, menu) shows each screen at
#     its size every time and, where the game places its windows (X11), at one place: the middle of
#     the desktop, the same on every show (a Wayland compositor places native windows itself);
#   - where the window manager publishes what it allows on each window (_NET_WM_ALLOWED_ACTIONS),
#     every screen may be minimised and closed and none, nor the error box, maximised;
#   - a picture in place of the menu piece gives an error box that lies above the menu and holds
#     the keyboard: Return dismisses it and leaves the menu (not yet under weston: see the table).
# And on a Wayland desktop with neither X server nor Qt's Wayland plugin, the command says so in one
# line. An environment whose programs are not installed is skipped with a message.
# Usage: desktop_session.sh <build dir> <source root>   (under an X server of at least 1024 x 768)
set -euo pipefail
build=$1
root=$2
. "$root/tests/e2e/x11_helpers.sh"
wait_display || { echo "no X server" >&2; exit 1; }
outer=$DISPLAY

tmp=$(mktemp -d)
pid=
wm=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
  [ -n "$wm" ] && kill "$wm" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
  echo "FAIL [$env]: $*" >&2
  DISPLAY=$outer import -window root "$build/desktop_session-failed.png" 2>/dev/null &&
    echo "(the screen: $build/desktop_session-failed.png)" >&2
  [ -s "$tmp/game.log" ] && { echo "--- the game's output:" >&2; tail -20 "$tmp/game.log" >&2; }
  exit 1
}

DESTDIR=$tmp/stage cmake --install "$build" --prefix /opt/pemy >/dev/null
tree=$tmp/stage/opt/pemy
launcher=$tree/games/pemy
entry=$tree/share/applications/example.rodvk.pemy.desktop
app_id=$(basename "$entry" .desktop)
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ -n "$wm_class" ] || { env=entry; fail "the desktop entry names no StartupWMClass"; }
export HOME=$tmp/home
unset XDG_DATA_HOME QT_QPA_PLATFORM WAYLAND_DISPLAY
piece=$HOME/.local/share/pemy/base/sound/pms.mp3

menu='Меню "PEMy -и Зольмар"'
game='Игра нового поколения! PEMy" v 1.0.0.1 alpha'
score='Очки'
about='О авторе... Программа "PEMy" v 1.0.0.1 alpha'
box='PEMy - ultra reality game!'

# until_ok SECONDS COMMAND...: retries COMMAND until it succeeds or SECONDS have passed.
until_ok() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}

# shown: one line "title|x|y|width|height|identity" for every shown window of the game, the topmost
# first; x, y, width and height are those of the client area on the desktop.
shown() {
  if [ "$platform" = wayland ]; then
    WAYLAND_DISPLAY=$socket weston-debug scene-graph 2>/dev/null | awk -v pid="$pid" '
      /^\tView [0-9]+ \(role xdg_toplevel, PID / {
        hit = index($0, "PID " pid ",") > 0
        if (!hit) next
        s = $0; sub(/.*top-level window \047/, "", s)
        title = s; sub(/\047 of .*/, "", title)
        id = s; sub(/.*\047 of /, "", id); sub(/, 0x[0-9a-f]+\):$/, "", id)
        next
      }
      hit && /position:/ { gsub(/[(),>-]/, " "); print title "|" $2 "|" $3 "|" $4 - $2 "|" $5 - $3 "|" id; hit = 0 }'
    return
  fi
  # The X11 windows of the process that are shown, found in the window tree, whose top level
  # windows (frames, under a window manager) are listed topmost first. (--all: xdotool's conditions
  # are "or" by default, and a window manager's own named windows are visible too.)
  local tree ids
  for _ in 1 2 3 4 5; do # a window that goes away during the walk fails it
    ids=$(xdotool search --all --onlyvisible --pid "$pid" --name '' 2>/dev/null | xargs printf '0x%x ')
    tree=$(xwininfo -root -tree 2>/dev/null) && break
  done
  awk -v ids="$ids" '
    BEGIN { n = split(ids, list, " "); for (i = 1; i <= n; i++) mine[list[i]] = 1 }
    /^     0x/ { top++ }
    /^ +0x[0-9a-f]+ ".*": \("[^"]*" "[^"]*"\)/ && ($1 in mine) {
      title = $0; sub(/^ +0x[0-9a-f]+ "/, "", title); sub(/": \(.*/, "", title)
      class = $0; sub(/.*": \("[^"]*" "/, "", class); sub(/"\) .*/, "", class)
      split($(NF - 1), size, /[x+]/); split($NF, at, "+")
      if (title != "") print top "|" title "|" at[2] "|" at[3] "|" size[1] "|" size[2] "|" class
    }' <<<"$tree" | sort -t'|' -k1,1n | cut -d'|' -f2-
}

# showing TITLE: the line of the shown window TITLE; fails when there is none.
showing() { shown | grep -m1 -F -- "$1|"; }
# only TITLE: TITLE is the one window shown.
only() { [ "$(shown | cut -d'|' -f1)" = "$1" ]; }

# click TITLE X Y DESIGN_WIDTH DESIGN_HEIGHT: clicks that point of the window's design layout, through
# the seat: the X server itself, or weston's window on it, whose output lies at its top-left corner.
point() {
  local line t x y w h
  line=$(showing "$1") || return 1
  IFS='|' read -r t x y w h _ <<<"$line"
  x=$((x + w * $2 / $4)) y=$((y + h * $3 / $5))
  # Always a move: a compositor that has just started has seen no pointer yet.
  DISPLAY=$outer xdotool mousemove $((x + 1)) "$y" mousemove "$x" "$y"
}
click() { point "$@" && DISPLAY=$outer xdotool click 1; }

# offers TITLE: which of closing, minimising and maximising the window manager allows on the shown
# window TITLE, in one line.
offers() {
  local id
  id=$(wait_window "$pid" "$1" 10) || return 1
  xprop -id "$id" _NET_WM_ALLOWED_ACTIONS | sed 's/.*= //; s/_NET_WM_ACTION_//g; s/, /\n/g' |
    grep -x -E 'CLOSE|MINIMIZE|MAXIMIZE_(HORZ|VERT)' | sort | xargs
}

# record: remembers the shown screen's place; checks its identity and what its title bar offers.
record() {
  local line
  line=$(until_ok 10 showing "$1") || fail "$1 is not shown"
  [ "${line##*|}" = "$identity" ] || fail "$1 carries the identity '${line##*|}', not '$identity'"
  echo "${line%|*}" >>"$tmp/places"
  if [ "$actions" = yes ] && [ "$(offers "$1")" != "CLOSE MINIMIZE" ]; then
    fail "$1 may be closed, minimised or maximised other than 'CLOSE MINIMIZE': '$(offers "$1")'"
  fi
}

start_game() {
  : >"$tmp/game.log"
  # By its name on the PATH, as the desktop entry's Exec=pemy starts it.
  env "${game_env[@]}" PATH="${launcher%/*}:$PATH" pemy >"$tmp/game.log" 2>&1 &
  pid=$!
}
stop_game() {
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
}

# wm_ready NAME: the window manager NAME has announced itself on the root window (a manager that
# has gone leaves its announcement, but not the window it names).
wm_ready() {
  local check
  check=$(xprop -root _NET_SUPPORTING_WM_CHECK | sed -n 's/.*window id # //p')
  [ -n "$check" ] && xprop -id "$check" _NET_WM_NAME 2>/dev/null | grep -q -F "\"$1\""
}

# start_desktop NAME: starts the window manager or compositor, sets how the game is started
# (game_env), which platform it ends up on and what identity its windows must carry.
start_desktop() {
  case $1 in
    openbox)
      command -v openbox >/dev/null || return 1
      openbox --sm-disable >"$tmp/wm.log" 2>&1 &
      wm=$!
      until_ok 20 wm_ready Openbox || fail "openbox did not start"
      game_env=(DISPLAY="$outer")
      platform=x11 identity=$wm_class
      ;;
    weston-xwayland | weston-wayland)
      command -v weston >/dev/null || return 1
      local extra=()
      if [ "$1" = weston-xwayland ]; then
        command -v Xwayland >/dev/null || return 1
        extra=(--xwayland)
      else
        compgen -G "/usr/lib/*/qt6/plugins/platforms/libqwayland-*.so" >/dev/null || return 1
      fi
      export XDG_RUNTIME_DIR=$tmp/xdg-$1
      mkdir -m 700 "$XDG_RUNTIME_DIR"
      socket=pemy-test
      weston --backend=x11-backend.so --socket="$socket" --width=1024 --height=768 --use-pixman \
        --idle-time=0 --debug --no-config "${extra[@]}" >"$tmp/wm.log" 2>&1 &
      wm=$!
      until_ok 20 test -S "$XDG_RUNTIME_DIR/$socket" || fail "weston did not start: $(tail -5 "$tmp/wm.log")"
      # Keys reach weston through its window on this X server, which has no window manager now.
      output() { xwininfo -root -children | awk '/ "Weston Compositor/ { print $1; exit }' | grep .; }
      until_ok 20 output >/dev/null || fail "weston shows no window"
      xdotool windowfocus "$(output)"
      # The pointer enters weston's window afresh; weston follows it once its cursor is there.
      xdotool mousemove 1100 900 sleep 0.2 mousemove 500 400
      cursor_in() {
        WAYLAND_DISPLAY=$socket weston-debug scene-graph 2>/dev/null | awk '
          /wl_pointer-cursor/ { c = 1; next }
          c && /position:/ { gsub(/[(),>]/, " "); ok = $2 > 470 && $2 < 530 && $3 > 370 && $3 < 430; c = 0 }
          END { exit !ok }'
      }
      until_ok 20 cursor_in || fail "weston does not follow the pointer"
      if [ "$1" = weston-xwayland ]; then
        local xdisplay
        until_ok 20 grep -q 'xserver listening on display' "$tmp/wm.log" || fail "weston started no X server"
        xdisplay=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$tmp/wm.log")
        # A Wayland desktop with XWayland: both are announced.
        game_env=(DISPLAY="$xdisplay" WAYLAND_DISPLAY="$socket")
        platform=x11 identity=$wm_class
      else
        game_env=(-u DISPLAY WAYLAND_DISPLAY="$socket")
        platform=wayland identity=$app_id
      fi
      ;;
  esac
  if [ "$platform" = x11 ]; then
    export DISPLAY=${game_env[0]#DISPLAY=}
  fi
}

stop_desktop() {
  stop_game
  kill "$wm" 2>/dev/null || true
  wait "$wm" 2>/dev/null || true
  wm=
  export DISPLAY=$outer
}

# name | places kept by the game | allowed actions published
environments=(
  "openbox|yes|yes"
  "weston-xwayland|yes|no"
  "weston-wayland|no|no"
)
ran=0
for row in "${environments[@]}"; do
  IFS='|' read -r env placed actions <<<"$row"
  if ! start_desktop "$env"; then
    echo "SKIP [$env]: its programs are not installed (scripts/install-deps.sh installs them)"
    continue
  fi
  ran=$((ran + 1))

  # --- a round of switches ---------------------------------------------------------------------
  rm -f "$piece" "$tmp/places"
  start_game
  until_ok 20 only "$menu" || fail "the menu did not appear alone: $(shown)"
  if [ "$ran" -eq 1 ]; then
    [ "$(ps -o args= -p "$pid")" = pemy ] || fail "ps lists the game as '$(ps -o args= -p "$pid")'"
  fi
  record "$menu"
  click "$menu" 158 385 688 440 # "Очки"
  until_ok 20 only "$score" || fail "the score screen did not replace the menu: $(shown)"
  record "$score"
  click "$score" 348 388 694 440 # "Назад"
  until_ok 20 only "$menu" || fail "the menu did not come back from the scores"
  record "$menu"
  click "$menu" 534 321 688 440 # "О программе"
  until_ok 20 only "$about" || fail "the about screen did not replace the menu: $(shown)"
  record "$about"
  click "$about" 306 209 613 235 # "Назад"
  until_ok 20 only "$menu" || fail "the menu did not come back from the about screen"
  record "$menu"
  click "$menu" 348 176 688 440 # the name field
  DISPLAY=$outer xdotool key ctrl+a
  DISPLAY=$outer xdotool type --delay 20 Tester
  click "$menu" 158 321 688 440 # "Новая игра"
  until_ok 30 only "$game" || fail "the exam did not start: $(shown)"
  record "$game"
  # The pointer on the bombs: caught within a few seconds.
  point "$game" 34 264 688 463
  point "$game" 36 266 688 463
  until_ok 30 only "$score" || fail "the exam did not end with the score screen: $(shown)"
  record "$score"
  click "$score" 348 388 694 440 # "Назад"
  until_ok 20 only "$menu" || fail "the menu did not come back after the exam"
  record "$menu"
  stop_game

  # Each screen at one size every time, and where the game places its windows, at one place: its
  # client area in the middle of the desktop, give or take the frame's title bar (the about screen
  # has none), and at the same point on every show.
  echo "[$env] places (title|x|y|width|height):"
  sed 's/^/  /' "$tmp/places"
  while IFS='|' read -r title x y w h; do
    first=$(grep -m1 -F -- "$title|" "$tmp/places")
    if [ "$placed" = yes ]; then
      [ "$title|$x|$y|$w|$h" = "$first" ] || fail "$title moved or changed size: $first, then $x $y $w $h"
    else
      [ "$(cut -d'|' -f4,5 <<<"$first")" = "$w|$h" ] || fail "$title changed size: $first, then $w x $h"
    fi
  done <"$tmp/places"
  if [ "$placed" = yes ]; then
    awk -F'|' '{ cx = $2 + $4 / 2; cy = $3 + $5 / 2
                 if (NR > 1 && (cx - x0 > 32 || x0 - cx > 32 || cy - y0 > 32 || y0 - cy > 32)) bad = 1
                 if (NR == 1) { x0 = cx; y0 = cy } }
                END { exit bad }' "$tmp/places" || fail "the screens are not centred at one place"
  fi

  # --- an error box at start-up ----------------------------------------------------------------
  mkdir -p "${piece%/*}" # the player's own file in place of the installed piece
  cp "$root/base/image/fon.jpg" "$piece"
  start_game
  until_ok 20 showing "$box" >/dev/null || fail "no error box for the broken menu piece: $(shown)"
  in_front() { [ "$(shown | head -1 | cut -d'|' -f1)" = "$box" ] && showing "$menu" >/dev/null; }
  until_ok 10 in_front || fail "the error box is not above the menu: $(shown)"
  if [ "$actions" = yes ] && [[ "$(offers "$box")" = *MAXIMIZE* ]]; then
    fail "the error box may be maximised: '$(offers "$box")'"
  fi
  DISPLAY=$outer xdotool key Return
  until_ok 10 only "$menu" || fail "Return did not dismiss the box, or the menu went with it: $(shown)"
  stop_game
  stop_desktop
  echo "[$env] PASS"
done

# --- a Wayland desktop with neither XWayland nor Qt's Wayland plugin -----------------------------
# A copy of the game whose folder of Qt's plugins is one that does not exist, of the same length.
strings "$launcher" >"$tmp/strings"
plugins=$(grep -m1 -x '/.*/plugins' "$tmp/strings") || fail "the game names no plugin folder"
none=$(printf '%*s' "${#plugins}" '' | tr ' ' /)
LC_ALL=C sed "s|$plugins|$none|" "$launcher" >"$tree/games/pemy-bare"
chmod +x "$tree/games/pemy-bare"
rc=0
env -u DISPLAY WAYLAND_DISPLAY=wayland-pemy-test "$tree/games/pemy-bare" >"$tmp/out" 2>"$tmp/err" || rc=$?
env=no-plugin
[ "$rc" -eq 1 ] && [ ! -s "$tmp/out" ] && [ "$(wc -l <"$tmp/err")" -eq 1 ] && grep -q qt6-wayland "$tmp/err" ||
  fail "exit $rc, not one line naming qt6-wayland: $(cat "$tmp/out" "$tmp/err")"

[ "$ran" -gt 0 ] || { echo "SKIP: no desktop could be started"; exit 0; }
echo "PASS"
