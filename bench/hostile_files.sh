#!/usr/bin/env bash
# The real game on hostile game files (written by bench_make_hostile): for each, the time until the
# game has refused or shown it and the peak resident memory over the same run with the game's own
# files, the median of several runs. Never run by CTest.
#
# Usage: xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" bench/hostile_files.sh [--runs N] [--limit S] [--build DIR]
#        [--pemy BINARY] [case...]
#   cases: jpeg1000 jpeg10000 (688 x 368, its last scan so many times), jpeg4000 (4000 x 4000, 1000
#   times), icon1000 icon65535 clip mp3 midi (default: all)
#   --limit  seconds after which a run counts as frozen (default 60)
# (-noreset: the game starts many times, and an X server that resets when its last client leaves
# refuses the next one for a moment.)
#
# Figures: jpeg* from launch to the game screen of an exam started at once, or to the error box of a
# refused picture (the game screen, made just after the menu shows, loads fon.jpg);
# icon* an exam caught at once (pointer on the bombs, every tick loads a new b?.ico) from the game
# screen to the score screen; clip: from "Новая игра" to the game screen, with pemik.avi the clip;
# mp3, midi: the menu's first piece, peak memory after 5 s on the menu.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
pemy=
runs=3
limit=60
cases=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift ;;
    --limit) limit=$2; shift ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    --pemy) pemy=$(realpath "$2"); shift ;;
    *) cases+=("$1") ;;
  esac
  shift
done
[ ${#cases[@]} -gt 0 ] || cases=(jpeg1000 jpeg10000 jpeg4000 icon1000 icon65535 clip mp3 midi)
pemy=${pemy:-$build/src/app/pemy}
. "$root/tests/e2e/x11_helpers.sh"
wait_display || { echo "no X server" >&2; exit 1; }
export SDL_AUDIODRIVER=dummy

files=$(mktemp -d)
work=
pid=
finish() {
  [ -n "$pid" ] && { kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; }
  rm -rf "$files" "${work:-}"
}
trap finish EXIT
"$build/bench/bench_make_hostile" "$files" "$root"

now_ms() { echo $(($(date +%s%N) / 1000000)); }
# The peak resident memory of process $1 in MB, "-" when it has ended (a crash: see the table).
hwm_mb() { awk '/VmHWM/ {printf "%.0f", $2 / 1024}' "/proc/$1/status" 2>/dev/null || echo -; }
median() { sort -n | awk '{a[NR] = $1} END {if (NR) printf "%d\n", (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
menu_title='Меню "PEMy -и Зольмар"'
game_title='Игра нового поколения! PEMy" v 1.0.0.1 alpha'

# place CASE: puts the case's file into the working folder's base/ ("" for the game's own files).
place() {
  case $1 in
    jpeg4000) cp "$files/fon_4000_scans_1000.jpg" base/image/fon.jpg ;;
    jpeg*) cp "$files/fon_scans_${1#jpeg}.jpg" base/image/fon.jpg ;;
    icon*) for i in 1 2 3 4 5; do cp "$files/icon_${1#icon}.ico" "base/image/Ico/b$i.ico"; done ;;
    clip) cp "$files/clip_rle_100000.avi" base/video/pemik.avi ;;
    mp3) cp "$files/mp3_tag_256mb.mp3" base/sound/pms.mp3 ;;
    midi) rm base/sound/pms.mp3 && cp "$files/midi_2790000.mid" base/soundLite/pms.mid ;;
    '') ;;
  esac
}

# run CASE FILE: one run; prints "<ms> <peak MB>", the time "-" when it passed the limit.
run() {
  work=$(mktemp -d)
  cp -r "$root/base" "$work/"
  rm -f "$work/base/data/score.inf"
  (cd "$work" && place "$2")
  cd "$work"
  local start end ms=- w v
  start=$(now_ms)
  "$pemy" >"$work/out.log" 2>&1 &
  pid=$!
  case $1 in
    jpeg*)
      # An exam started at once; a refused picture shows its error box instead.
      if w=$(wait_window "$pid" "$menu_title" "$limit"); then
        click_design "$w" 348 176 688 440
        xdotool type --window "$w" --delay 20 Hostile
        click_design "$w" 158 321 688 440
        for _ in $(seq $((limit * 10))); do
          for v in $(xdotool search --onlyvisible --pid "$pid" 2>/dev/null); do
            case $(xdotool getwindowname "$v" 2>/dev/null) in
              'PEMy - ultra reality game!' | "$game_title") ms=$(($(now_ms) - start)) ;;
            esac
          done
          [ "$ms" = - ] || break
          sleep 0.1
        done
      fi ;;
    icon*)
      if w=$(start_exam "$pid" Hostile); then
        start=$(now_ms)
        move_design "$w" 34 264 688 463
        move_design "$w" 36 266 688 463
        wait_window "$pid" 'Очки' "$limit" >/dev/null && ms=$(($(now_ms) - start))
      fi ;;
    clip)
      if w=$(wait_window "$pid" "$menu_title"); then
        sleep 3 # the hidden clip plays on by the clock meanwhile
        click_design "$w" 348 176 688 440
        xdotool type --window "$w" --delay 20 Hostile
        start=$(now_ms)
        click_design "$w" 158 321 688 440
        wait_window "$pid" "$game_title" "$limit" >/dev/null && ms=$(($(now_ms) - start))
      fi ;;
    mp3 | midi)
      wait_window "$pid" "$menu_title" "$limit" >/dev/null && sleep 5 && ms=0 ;;
  esac
  local peak
  peak=$(hwm_mb "$pid")
  # The output of a game that ended by itself is kept for a look.
  [ "$peak" != - ] || cp "$work/out.log" "$build/bench/hostile-${2:-normal}-$(date +%s).log" 2>/dev/null || true
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  pid=
  cd "$root"
  rm -rf "$work"
  work=
  echo "$ms $peak"
}

printf '| file | time, game files | time, hostile | peak MB, game files | peak MB, hostile | over |\n|---|---|---|---|---|---|\n'
for c in "${cases[@]}"; do
  : >"$files/normal" && : >"$files/hostile"
  for _ in $(seq "$runs"); do
    run "$c" "" >>"$files/normal"
    run "$c" "$c" >>"$files/hostile"
  done
  t0=$(cut -d' ' -f1 "$files/normal" | grep -v - | median)
  t1=$(cut -d' ' -f1 "$files/hostile" | grep -v - | median || true)
  frozen=$(grep -c '^-' "$files/hostile" || true)
  [ -z "$t1" ] || t1="$t1 ms"
  [ "$frozen" -eq 0 ] || t1="${t1:+$t1, }$frozen of $runs over ${limit} s"
  m0=$(cut -d' ' -f2 "$files/normal" | grep -v - | median)
  m1=$(cut -d' ' -f2 "$files/hostile" | grep -v - | median)
  ended=$(cat "$files/normal" "$files/hostile" | grep -c -- '-$' || true)
  [ "$ended" -eq 0 ] || m1="$m1 ($ended runs ended early)"
  printf '| %s | %s ms | %s | %s | %s | %+d MB |\n' "$c" "$t0" "$t1" "$m0" "$m1" "$((${m1%% *} - m0))"
done
