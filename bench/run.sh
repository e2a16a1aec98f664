#!/usr/bin/env bash
# Every whole-program figure of the game, side by side with an empty Qt window built by the same
# CMake (bench_empty_window), each the median of several runs, followed by the score list's
# micro-benchmarks. Prints the table and writes it to a file. Never run by CTest.
#
# Usage: bench/run.sh [--quick] [--build DIR] [--pemy BINARY] [--out FILE]
#   --quick  fewer and shorter runs (about two minutes instead of about six)
#   --build  the CMake build folder (default: build/ in the repository); bench_empty_window,
#            bench_startup_probe and bench/bench_score are taken from it
#   --pemy   the game binary to measure (default: <build>/src/app/pemy), for instance an older build
#   --out    the file the table is written to (default: <build>/bench/results.md)
#
# The programs run on a private Xvfb with the dummy sound output (the music is synthesised and
# played in real time, silently) in a temporary folder holding a copy of base/. CPU is the
# process's user + system time over a window, as a share of one core; wake-ups are the main
# thread's context switches per second; memory is the resident set at the end of the window.
#
# Start-up is measured by bench_startup_probe (bench/startup_probe.cpp): it starts the program and
# learns from the X server's own events when the first window is mapped and when the first pixels
# are drawn into it (DAMAGE), so it adds no polling delay and the floor is the empty window's own
# start-up; the first paint shows whether the menu comes up whole, not only how soon its window is
# mapped. Game and empty window alternate, so that the machine's load falls on both alike. The
# figures that need the window afterwards (the large score list) still wait for it with xdotool,
# whose polling adds some tens of milliseconds to them.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)

quick=0
build="$root/build"
pemy=
out=
while [ $# -gt 0 ]; do
  case $1 in
    --quick) quick=1 ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    --pemy) pemy=$2; shift ;;
    --out) out=$2; shift ;;
    *) echo "usage: $0 [--quick] [--build DIR] [--pemy BINARY] [--out FILE]" >&2; exit 2 ;;
  esac
  shift
done
pemy=$(realpath "${pemy:-$build/src/app/pemy}")
empty="$build/bench/bench_empty_window"
probe="$build/bench/bench_startup_probe"
bench_score="$build/bench/bench_score"
out=${out:-$build/bench/results.md}

# Runs per figure, start-up pairs, seconds per CPU window, seconds to settle before a window.
if [ "$quick" -eq 1 ]; then
  runs=3 pairs=15 window=4 settle=1
else
  runs=5 pairs=31 window=10 settle=2
fi
# Pointer moves per second in the moving-pointer figures.
moves_per_second=60

for program in "$pemy" "$empty" "$probe"; do
  [ -x "$program" ] || { echo "missing $program: build it first (cmake --build build)" >&2; exit 1; }
done

work=$(mktemp -d)
pid=
xserver=
stop_program() {
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
  fi
}
finish() {
  stop_program
  [ -n "$xserver" ] && { kill "$xserver" 2>/dev/null || true; wait "$xserver" 2>/dev/null || true; }
  rm -rf "$work"
}
trap finish EXIT
cp -r "$root/base" "$work/"
cd "$work"
export SDL_AUDIODRIVER=dummy

# A private X server, on a display number that no other server holds; the layouts are scaled by its
# DPI, as in the end-to-end tests. Benchmarks and tests of other folders may run beside this one, so
# a server that has gone away is started again before the next launch.
start_x() {
  local n
  for n in $(seq 150 250); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp 2>"$work/xvfb.log" &
    xserver=$!
    # Ready once a client can talk to it.
    for _ in $(seq 100); do
      DISPLAY=":$n" xdotool getmouselocation >/dev/null 2>&1 && break
      kill -0 "$xserver" 2>/dev/null || break
      sleep 0.05
    done
    if DISPLAY=":$n" xdotool getmouselocation >/dev/null 2>&1; then
      export DISPLAY=":$n"
      return 0
    fi
    kill "$xserver" 2>/dev/null || true
    xserver=
  done
  echo "no X server could be started" >&2
  exit 1
}
x_alive() { [ -n "$xserver" ] && kill -0 "$xserver" 2>/dev/null && xdo getmouselocation >/dev/null 2>&1; }
start_x

menu_caption='Меню "PEMy -и Зольмар"'
game_caption='Игра нового поколения! PEMy" v 1.0.0.1 alpha'
score_caption='Очки'
about_caption='О авторе... Программа "PEMy" v 1.0.0.1 alpha'

# xdotool, tried again a few times: on a busy machine the server now and then refuses a connection.
xdo() {
  local attempt
  for attempt in 1 2 3 4 5; do
    xdotool "$@" && return 0
    sleep 0.05
  done
  return 1
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

ensure_x() {
  if ! x_alive; then
    echo "the X server went away or stopped answering; starting another. It said:" >&2
    tail -n 3 "$work/xvfb.log" >&2
    if [ -n "$xserver" ]; then
      kill "$xserver" 2>/dev/null || true
      wait "$xserver" 2>/dev/null || true
    fi
    start_x
  fi
}

launch() {
  ensure_x
  "$1" >"$work/program.log" 2>&1 &
  pid=$!
}

# Waits up to 20 s for a mapped window of the program captioned $1, or with any caption when $1 is
# not given; prints its id. (--all makes the process and the caption both required; without it any
# caption would match, the root window's empty one too.)
wait_window() {
  local w deadline=$(( $(now_ms) + 20000 ))
  while [ "$(now_ms)" -lt "$deadline" ]; do
    for w in $(xdotool search --all --onlyvisible --pid "$pid" --name '.' 2>/dev/null); do
      if [ -z "${1:-}" ] || [ "$(xdotool getwindowname "$w" 2>/dev/null)" = "$1" ]; then
        echo "$w"
        return 0
      fi
    done
    # Polling faster than this makes the server refuse some connections, the program's among them.
    sleep 0.015
  done
  echo "no window '${1:-}' appeared; the program said:" >&2
  tail -n 5 "$work/program.log" >&2
  return 1
}

# Clicks with button $6 (default 1) the point ($2, $3) of window $1, given in the layout's pixels
# of a $4 × $5 screen: the window's size tells how the layout was scaled.
click_design() {
  local WIDTH HEIGHT X Y SCREEN
  eval "$(xdo getwindowgeometry --shell "$1")"
  xdo mousemove --window "$1" $(( WIDTH * $2 / $4 )) $(( HEIGHT * $3 / $5 )) click "${6:-1}"
}

park_pointer() { xdo mousemove 0 0; }

cpu_ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
switches() { awk '/ctxt_switches/ {n += $2} END {print n}' "/proc/$pid/task/$pid/status"; }
rss_mb() { awk '/VmRSS/ {printf "%.1f", $2 / 1024}' "/proc/$pid/status"; }

# Measures the running program over one window; sets cpu (% of a core), wakeups (per second), rss (MB).
# While $1 is a window id, the pointer moves over it at $moves_per_second (pointer_path; $2 is the
# window's layout height).
measure_window() {
  local mover= t0 t1 s0 s1 w0 w1 hz alive=1
  sleep "$settle"
  if [ -n "${1:-}" ]; then
    pointer_path "$1" "$2" > "$work/path"
    xdotool $(cat "$work/path") &
    mover=$!
  fi
  w0=$(now_ms)
  t0=$(cpu_ticks) && s0=$(switches) || alive=
  sleep "$window"
  w1=$(now_ms)
  t1=$(cpu_ticks) && s1=$(switches) && rss=$(rss_mb) || alive=
  if [ -n "$mover" ]; then
    kill "$mover" 2>/dev/null || true
    wait "$mover" 2>/dev/null || true
  fi
  # A program that went away during the window (its X server gone, say) measured nothing.
  [ -n "$alive" ] || return 1
  hz=$(getconf CLK_TCK)
  cpu=$(awk -v t=$((t1 - t0)) -v hz="$hz" -v ms=$((w1 - w0)) 'BEGIN {printf "%.2f", t * 100000 / hz / ms}')
  wakeups=$(awk -v n=$((s1 - s0)) -v ms=$((w1 - w0)) 'BEGIN {printf "%.0f", n * 1000 / ms}')
}

# xdotool commands that move the pointer along a loop over the game screen's sheets and labels,
# the student's paper and the background between them, in steps of about 6 layout pixels, one move
# per 1/60 s, for the whole window and a little more. $1: the window, $2: its layout height.
pointer_path() {
  local WIDTH HEIGHT X Y SCREEN
  eval "$(xdo getwindowgeometry --shell "$1")"
  awk -v w="$WIDTH" -v h="$HEIGHT" -v id="$1" -v lh="$2" -v n=$(( (window + 2) * moves_per_second )) \
      -v pause="$(awk -v r=$moves_per_second 'BEGIN {printf "%.4f", 1 / r}')" 'BEGIN {
    # background, "Бомбы", bombs, background, "Шпоры", cribs, background, "Конспект", notes,
    # background, "Ваш научный шедевр", paper, background
    split("30 200 30 240 35 265 100 265 150 262 155 290 200 300 250 296 252 325 330 320 450 240 540 300 450 200", p, " ")
    points = length(p) / 2
    count = 0
    while (count < n) {
      for (i = 0; i < points && count < n; i++) {
        x0 = p[2 * i + 1]; y0 = p[2 * i + 2]
        j = (i + 1) % points
        x1 = p[2 * j + 1]; y1 = p[2 * j + 2]
        steps = int(sqrt((x1 - x0) ^ 2 + (y1 - y0) ^ 2) / 6) + 1
        for (s = 0; s < steps && count < n; s++) {
          x = x0 + (x1 - x0) * s / steps; y = y0 + (y1 - y0) * s / steps
          printf "mousemove --window %s %d %d sleep %s ", id, x * w / 688, y * h / lh, pause
          count++
        }
      }
    }
  }'
}

median() { sort -g | awk '{v[NR] = $1} END {if (NR == 0) print "n/a"; else if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }

# ---- Start-up: exec until the first window is mapped and first painted, the empty window and the
# game alternating (bench_startup_probe prints both times, then ends the program) ----
: > "$work/startup.empty"
: > "$work/startup.game"
park_pointer
for _ in $(seq "$pairs"); do
  for which in empty game; do
    binary=$empty
    [ "$which" = game ] && binary=$pemy
    for attempt in 1 2 3; do
      ensure_x
      if "$probe" "$binary" >> "$work/startup.$which" 2>"$work/program.log"; then break; fi
      [ "$attempt" -eq 3 ] && { echo "giving up on the start-up of $which:" >&2; tail -n 5 "$work/program.log" >&2; exit 1; }
    done
  done
done
startup_empty=$(awk '{print $1}' "$work/startup.empty" | median)
startup_game=$(awk '{print $1}' "$work/startup.game" | median)
paint_empty=$(awk '{print $2}' "$work/startup.empty" | median)
paint_game=$(awk '{print $2}' "$work/startup.game" | median)

# ---- Screens: CPU, wake-ups and memory over a window on each screen ----
# Each run starts the program afresh, goes to the screen and parks the pointer outside the windows,
# except in the moving-pointer figures.
to_menu() { wait_window "$menu_caption"; }
to_score() {
  local menu
  menu=$(wait_window "$menu_caption")
  click_design "$menu" 158 385 688 440
  wait_window "$score_caption"
}
to_about() {
  local menu
  menu=$(wait_window "$menu_caption")
  click_design "$menu" 534 321 688 440
  wait_window "$about_caption"
}
to_exam() {
  local menu
  menu=$(wait_window "$menu_caption")
  click_design "$menu" 348 176 688 440
  xdo key --window "$menu" ctrl+a
  xdo type --window "$menu" --delay 10 'Bench'
  xdo key --window "$menu" Return
  wait_window "$game_caption"
}
# The slow clock from the time gauge's popup menu keeps the exam running through the window
# while the moving pointer raises the suspicion. The first item (below the top divider) is the slow
# clock; Return in an open popup menu goes to the menu, not to the game's Enter key.
to_slow_exam() {
  local game
  game=$(to_exam)
  click_design "$game" 68 424 688 463 3
  sleep 0.3
  xdo key Down Return
  echo "$game"
}

# figure <key> <binary> <navigation> [layout height of the window to move the pointer over]
figure() {
  local key=$1 binary=$2 navigate=$3 moving=${4:-} id
  : > "$work/$key.cpu"; : > "$work/$key.wake"; : > "$work/$key.rss"
  for _ in $(seq "$runs"); do
    # A run that fails (a window that never comes, a program that goes away) is tried again,
    # twice at most.
    for attempt in 1 2 3; do
      park_pointer || true
      launch "$binary"
      if id=$($navigate) && measure_on "$id" "$moving"; then break; fi
      stop_program
      [ "$attempt" -eq 3 ] && { echo "giving up on $key" >&2; exit 1; }
    done
    echo "$cpu" >> "$work/$key.cpu"
    echo "$wakeups" >> "$work/$key.wake"
    echo "$rss" >> "$work/$key.rss"
    stop_program
  done
}
# With a layout height in $2, the pointer moves over window $1 during the window; otherwise it is parked.
measure_on() {
  if [ -n "$2" ]; then
    measure_window "$1" "$2"
  else
    park_pointer && measure_window
  fi
}
empty_window() { wait_window; }

figure empty_still "$empty" empty_window
figure empty_moving "$empty" empty_window 440
figure menu "$pemy" to_menu
figure score "$pemy" to_score
figure about "$pemy" to_about
figure exam "$pemy" to_exam
figure exam_moving "$pemy" to_slow_exam 463

m() { median < "$work/$1"; }
# ---- The score list of a large score file on the real program ----
# A 10 MB score file as the game writes it (about 360,000 lines), against the game's own empty
# one: the process's peak resident memory (VmHWM) once the score screen is shown, the start-up
# (exec until the menu is mapped, which includes loading the list) and the time from the click on
# the score button until the score screen is mapped. Nothing is saved: the program is stopped.
hwm_mb() { awk '/VmHWM/ {printf "%.1f\n", $2 / 1024}' "/proc/$pid/status"; }
large_list_mb=10
{
  printf -- '-----------------\r\n\xc2\xe0\xf1\xff - 60 %% \xf1\xef\xe8\xf1\xe0\xed\xee! \xc8\xeb\xe8 = 3 \xe1\xe0\xeb\xeb\xee\xe2\r\n' > "$work/exam"
  while [ "$(stat -c %s "$work/exam")" -lt $(( large_list_mb << 20 )) ]; do
    cat "$work/exam" "$work/exam" > "$work/exams" && mv "$work/exams" "$work/exam"
  done
  head -c $(( large_list_mb << 20 )) "$work/exam" > "$work/large.inf"
  rm -f "$work/exam"
}
cp base/data/score.inf "$work/small.inf" 2>/dev/null || : > "$work/small.inf"
for which in small large; do : > "$work/list_$which.hwm"; : > "$work/list_$which.start"; : > "$work/list_$which.show"; done
for _ in $(seq "$runs"); do
  for which in small large; do
    cp "$work/$which.inf" base/data/score.inf
    for attempt in 1 2 3; do
      park_pointer || true
      t0=$(now_ms)
      launch "$pemy"
      if menu=$(wait_window "$menu_caption"); then
        t1=$(now_ms)
        click_design "$menu" 158 385 688 440
        if wait_window "$score_caption" >/dev/null; then
          t2=$(now_ms)
          sleep "$settle"
          echo $(( t1 - t0 )) >> "$work/list_$which.start"
          echo $(( t2 - t1 )) >> "$work/list_$which.show"
          hwm_mb >> "$work/list_$which.hwm"
          break
        fi
      fi
      stop_program
      [ "$attempt" -eq 3 ] && { echo "giving up on the $which score list" >&2; exit 1; }
    done
    stop_program
  done
done
cp "$work/small.inf" base/data/score.inf


# ---- Score list micro-benchmarks on the real list widget ----
score_figure() { echo n/a; }
if [ -x "$bench_score" ]; then
  "$bench_score" --benchmark_filter='^BM_Score(Load|Save|AppendExamEnd|OneLongLine)' \
    --benchmark_repetitions="$runs" --benchmark_report_aggregates_only=true \
    --benchmark_format=csv > "$work/score.csv" 2>/dev/null || true
  # The large lists, each run in a process of its own so that the peak is its own.
  : > "$work/large.csv"
  for size in 2/0 10/0 9/1 9/2; do
    for _ in $(seq "$runs"); do
      "$bench_score" --benchmark_filter="^BM_ScoreLargeList/$size/" --benchmark_format=csv \
        > "$work/one.csv" 2>/dev/null || true
      grep '^name,' "$work/one.csv" > "$work/large.header" || true
      grep '^"BM_ScoreLargeList' "$work/one.csv" >> "$work/large.csv" || true
    done
  done
  score_figure() {
    awk -F, -v name="$1" '
      { gsub(/"/, "", $1) }
      index($1, name) == 1 && $1 ~ /_median$/ {
        scale = ($5 == "ns") ? 1e-6 : ($5 == "us") ? 1e-3 : ($5 == "s") ? 1e3 : 1
        printf "%.1f ms", $3 * scale; found = 1; exit
      }
      END { if (!found) print "n/a" }' "$work/score.csv"
  }
fi

# The median of a counter of BM_ScoreLargeList/<size> over the runs (the CSV's header names the
# counters' columns).
large_figure() {
  [ -s "$work/large.csv" ] || { echo n/a; return; }
  local column
  column=$(tr -d '"' < "$work/large.header" | awk -F, -v c="$2" '{for (i = 1; i <= NF; i++) if ($i == c) print i; exit}')
  [ -n "$column" ] || { echo n/a; return; }
  awk -F, -v s="\"BM_ScoreLargeList/$1/iterations:1\"" -v c="$column" '$1 == s {print $c}' "$work/large.csv" \
    | median | awk '$1 == "n/a" {print; next} {printf "%.1f\n", $1}'
}

cpu_row() {
  echo "| $1 | $(m "$2.cpu") % · $(m "$2.wake")/s | $(m "$3.cpu") % · $(m "$3.wake")/s | $(awk -v a="$(m "$3.cpu")" -v b="$(m "$2.cpu")" 'BEGIN {printf "%+.2f %%", a - b}') |"
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f×", a / b}'; }
over() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%+.1f MB", a - b}'; }

{
  echo "# PEMy benchmark ($(date -u '+%Y-%m-%d %H:%M UTC'), $([ "$quick" -eq 1 ] && echo quick || echo full) mode)"
  echo
  echo "Game: $pemy"
  echo "Medians of $runs runs ($pairs alternating start-up pairs); CPU windows of $window s after $settle s on the"
  echo "screen; CPU in % of one core, wake-ups of the main thread per second. The empty window is"
  echo "bench_empty_window, built by the same CMake."
  echo
  echo "| figure | empty window | game | game against the empty window |"
  echo "|---|---|---|---|"
  echo "| exec → first window mapped (X server's MapNotify) | $startup_empty ms | $startup_game ms | $(ratio "$startup_game" "$startup_empty") |"
  echo "| exec → first paint of that window (X server's DAMAGE) | $paint_empty ms | $paint_game ms | $(ratio "$paint_game" "$paint_empty") |"
  for screen in menu score exam about; do
    echo "| resident memory on the $screen screen | $(m empty_still.rss) MB | $(m $screen.rss) MB | $(over "$(m $screen.rss)" "$(m empty_still.rss)") |"
  done
  cpu_row "CPU on the about screen" empty_still about
  cpu_row "CPU during an exam, pointer moving over the sheets at $moves_per_second moves/s (slow clock)" empty_moving exam_moving
  cpu_row "CPU on the menu, pointer still" empty_still menu
  cpu_row "CPU during an exam, pointer still" empty_still exam
  cpu_row "CPU on the score screen, pointer still" empty_still score
  for name in BM_ScoreLoad BM_ScoreSave BM_ScoreAppendExamEnd BM_ScoreOneLongLine; do
    echo "| score list: $name | – | $(score_figure $name) | |"
  done
  echo "| peak memory (VmHWM) on the score screen, own score file against a ${large_list_mb} MB one | $(m list_small.hwm) MB | $(m list_large.hwm) MB | $(over "$(m list_large.hwm)" "$(m list_small.hwm)") |"
  echo "| exec → menu mapped (xdotool's polling), own score file against a ${large_list_mb} MB one | $(m list_small.start) ms | $(m list_large.start) ms | |"
  echo "| click on the score button → score screen mapped, own score file against a ${large_list_mb} MB one | $(m list_small.show) ms | $(m list_large.show) ms | |"
  # <MB>/<breaks>: CR LF as the game writes them, 1 LF only, 2 CR only.
  for size in 2/0 10/0 9/1 9/2; do
    case $size in */1) breaks=", LF only" ;; */2) breaks=", CR only" ;; *) breaks= ;; esac
    for counter in peak_MB held_MB load_ms show_ms save_ms; do
      echo "| score list of a ${size%/*} MB file$breaks on the score screen (bench_score): $counter | – | $(large_figure "$size" "$counter") | |"
    done
  done
} > "$work/table.md"

mkdir -p "$(dirname "$out")"
cp "$work/table.md" "$out"
cat "$out"
echo
echo "written to $out"
