#!/usr/bin/env bash
# The real program under a virtual X server plays whole exams: a name and "Новая игра" start one,
# the time gauge's right-click menu sets "Ускорить время", the pointer rests on the bombs sheet
# until the examiner catches the student, and "Назад" writes the score file. Its bytes must be the
# separator and the result line, in Windows-1251 with CR LF breaks; "Выход" then ends the program
# normally. Then no result may be lost: with a folder in place of the score file, two sessions in a
# row save to the fallback "score.inf" and it keeps both results; and with two games started in one
# folder, the one that saves last keeps the other one's result.
#
# The X server tells no DPI, so the game runs at 96 dpi and its screen is the 120-dpi design scaled
# to 0.8 as a whole; a last run at 120 dpi (QT_FONT_DPI, which Qt takes as the display's DPI like
# a desktop's Xft.dpi) shows the design itself: the background picture pixel for pixel.
#
# With the bombs in use at the desk every tick adds 10 to the suspicion and 4 to the copied share,
# and the examiner never gets up (the suspicion steps over 61..69 from 60 to 70). So the exam ends
# as caught in the eleventh tick after the pointer reached the sheet, with 40 % copied: 2 points.
# Usage: whole_exam.sh <pemy binary> <repository root>
set -euo pipefail
pemy=$1
root=$2

. "$root/tests/e2e/x11_helpers.sh"
wait_display || fail "no X server"
enter_workdir "$root"
other=
trap 'kill $pid $other 2>/dev/null || true; rm -rf "$work"' EXIT

# play PID NAME [PICTURE]: plays an exam as NAME at the fast clock until the score screen shows,
# taking a PICTURE of the game screen at its start if asked; prints the milliseconds from the
# pointer reaching the bombs to the score screen.
play() {
  local game before popup started
  game=$(start_exam "$1" "$2") || fail "the game screen did not appear"
  # The student's own paper (380, 300): nothing in use, so the suspicion stays at 0 until the bombs.
  move_design "$game" 380 300 688 463
  if [ -n "${3:-}" ]; then
    sleep 1 # the first frames of the clips
    import -window "$game" "$3"
  fi

  # The time gauge (centre 68, 424) opens its menu on the right button; its items are, from the
  # top: a divider, "Замедлить время", "Ускорить время". The menu is the one window that appears.
  before=$(xdotool search --all --onlyvisible --pid "$1" --name '' 2>/dev/null | sort)
  move_design "$game" 68 424 688 463
  xdotool click 3
  popup=
  for _ in $(seq 100); do
    popup=$(comm -13 <(echo "$before") <(xdotool search --all --onlyvisible --pid "$1" --name '' 2>/dev/null | sort))
    [ -n "$popup" ] && break
    sleep 0.1
  done
  [ -n "$popup" ] || fail "the time gauge's menu did not open"
  xdotool key Down Down Return
  wait_unmapped "$popup" || true

  # Bombs at (36, 266). From here the normal clock would need ten intervals of 500 ms before the
  # ending tick; the fast one needs ten of 100 ms.
  move_design "$game" 36 266 688 463
  started=$(date +%s%N)
  wait_window "$1" 'Очки' 30 >/dev/null || fail "the exam did not end"
  echo $((($(date +%s%N) - started) / 1000000))
}

# leave PID: clicks "Назад" (centre 348, 372 of the score screen) and waits for the menu.
leave() {
  local score
  score=$(wait_window "$1" 'Очки') || fail "no score screen"
  move_design "$score" 348 372 694 440
  xdotool click 1
  wait_window "$1" 'Меню "PEMy -и Зольмар"' >/dev/null || fail "Назад did not show the menu"
}

# holds FILE NAME...: waits up to 15 s until FILE holds a result line of every NAME.
holds() {
  local file=$1 name missing
  shift
  for _ in $(seq 150); do
    missing=
    for name in "$@"; do
      grep -aq "^$name - " "$file" 2>/dev/null || missing=$name
    done
    [ -z "$missing" ] && return 0
    sleep 0.1
  done
  return 1
}

# end PID: ends a program that has saved what it had to.
end() {
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

"$pemy" >"$work/out.log" 2>&1 &
pid=$!

elapsed_ms=$(play "$pid" Tester "$work/at96.png")
[ "$(identify -format '%wx%h' "$work/at96.png")" = 550x370 ] || fail "the game screen at 96 dpi is not 550 x 370"
[ "$elapsed_ms" -lt 4500 ] || fail "the exam took ${elapsed_ms} ms: the fast clock was not set"

# Nothing is written before "Назад".
[ -e base/data/score.inf ] && fail "the score file was written before Назад"
leave "$pid"
wait_file base/data/score.inf 15 || fail "Назад wrote no score file"
[ -e score.inf ] && fail "the fallback score file was written"

expected=$(printf '%s\r\n%s\r\n' '-----------------' \
  'Tester - 40 % списано! Или = 2 баллов. Но Вы пытальсь списать! и Ваша оценка и все предыдущие = 0!' \
  | iconv -f UTF-8 -t CP1251 | od -An -tx1 -v)
actual=$(od -An -tx1 -v base/data/score.inf)
if [ "$actual" != "$expected" ]; then
  echo "expected:$expected" >&2
  echo "actual:  $actual" >&2
  fail "the score file's bytes differ"
fi
# "Выход" on the menu (centre 534, 385) ends the program normally; a sanitizer build reports here.
menu=$(wait_window "$pid" 'Меню "PEMy -и Зольмар"') || fail "the menu is not shown"
move_design "$menu" 534 385 688 440
xdotool click 1
wait_exit "$pid" || fail "the program did not end on Выход"
status=0
wait "$pid" || status=$?
pid=
if [ "$status" -ne 0 ] || grep -qE 'Sanitizer|runtime error' out.log; then
  cat out.log >&2
  fail "the program ended with status $status"
fi

# A folder in place of the score file: each session reads the fallback and saves to it.
rm -f base/data/score.inf
mkdir base/data/score.inf
for name in First Second; do
  "$pemy" >>"$work/out.log" 2>&1 &
  pid=$!
  play "$pid" "$name" >/dev/null
  leave "$pid"
  holds score.inf "$name" || fail "$name's result was not saved to the fallback"
  end "$pid"
  pid=
done
holds score.inf First Second || fail "the fallback lost a result: $(cat -v score.inf)"
rmdir base/data/score.inf
rm score.inf

# Two games in one folder: both load the empty list, B saves Bob's exam, then A saves Alice's.
"$pemy" >>"$work/out.log" 2>&1 &
other=$!
wait_window "$other" 'Меню "PEMy -и Зольмар"' >/dev/null || fail "the first game shows no menu"
"$pemy" >>"$work/out.log" 2>&1 &
pid=$!
# No window manager: the second menu, in the same place, is put on top before the clicks.
xdotool windowraise "$(wait_window "$pid" 'Меню "PEMy -и Зольмар"')" || fail "the second game shows no menu"
play "$pid" Bob >/dev/null
leave "$pid"
holds base/data/score.inf Bob || fail "Bob's result was not saved"
end "$pid"
pid=$other other=
play "$pid" Alice >/dev/null
leave "$pid"
holds base/data/score.inf Alice || fail "Alice's result was not saved"
holds base/data/score.inf Bob Alice || fail "a result of two games was lost: $(cat -v base/data/score.inf)"
[ -e score.inf ] && fail "the fallback score file was written"
end "$pid"

QT_FONT_DPI=120 "$pemy" >>"$work/out.log" 2>&1 &
pid=$!
game=$(start_exam "$pid" 'Tester') || fail "no exam started at 120 dpi"
move_design "$game" 380 300 688 463
sleep 1
import -window "$game" "$work/at120.png"
[ "$(identify -format '%wx%h' "$work/at120.png")" = 688x463 ] || fail "the game screen at 120 dpi is not 688 x 463"
# The blackboard's corner of the room, where no widget lies, is the background picture as it is.
convert "$work/at120.png" -crop 238x190+450+0 +repage "$work/board.png"
convert base/image/fon.jpg -crop 238x190+450+0 +repage "$work/board_design.png"
difference=$(blurred_rmse "$work/board.png" "$work/board_design.png")
below 0.02 "$difference" || fail "at 120 dpi the background differs from its picture by $difference"
difference=$(blurred_rmse "$work/at96.png" "$work/at120.png")
below 0.05 "$difference" || fail "the screen at 96 dpi differs from the 120-dpi one scaled to 0.8 by $difference"
echo "PASS (96 dpi against 120 dpi: $difference)"
