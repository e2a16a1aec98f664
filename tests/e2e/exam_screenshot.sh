#!/usr/bin/env bash
# Makes the exam screenshot of the README and the metainfo: the real program under a virtual X
# server, an exam started from the menu, the pointer on the lecture notes for a few clock ticks so
# the copybook clip plays and the gauges have moved, then a picture of the game window alone.
# Not a test: it writes the picture. Run from anywhere:
#   xvfb-run -a -s "-screen 0 1280x1024x24" tests/e2e/exam_screenshot.sh build/src/app/pemy . docs/exam.png
set -euo pipefail
pemy=$(readlink -f "$1")
root=$(readlink -f "$2")
out=$(readlink -f "$3")
. "$root/tests/e2e/x11_helpers.sh"
wait_display || { echo "no X server" >&2; exit 1; }

enter_workdir "$root"
# At 120 dots per inch the layout is drawn at its design size, 688 x 463.
QT_FONT_DPI=120 SDL_AUDIODRIVER=dummy "$pemy" >"$work/out.log" 2>&1 &
pid=$!

game=$(start_exam "$pid" 'Вася') || { echo "no exam started" >&2; exit 1; }
move_design "$game" 250 320 688 463
move_design "$game" 252 322 688 463 # the lecture notes
sleep 4                             # eight clock ticks of copying: the picture, not a check
import -window "$game" "$out"
echo "wrote $out"
