#!/usr/bin/env bash
# Races of the score file's save that need the real program and kernel (a real lock, a real
# SIGKILL, a real /proc file), under a virtual X server, each run many times (not in CTest: the
# deterministic versions are test_SaveSchedules' generated worlds, which also hold three games,
# read-only files, links between the two files and swapped folders, and test_ScoreFile's
# killedSave and procLinkIsBounded). Each save is made as a player makes it: the score screen from
# the menu, the list unlocked, a line typed at its end, "Назад".
#
#   stall    game A is stopped (gdb, a breakpoint on fsync: its temporary file made and written,
#            its turn held) while game B saves; then A goes on. Both results must be kept (in the
#            score file, or in the fallback that the next start shows), the score file whole, and
#            B's save must end within a moment (its time is printed).
#   kill     the same, but A is killed while stopped; then A starts again and saves once more.
#   killrename  the same, A stopped and killed at its rename (its temporary file written and synced).
#   linked   the stall with A and B in two folders whose score files link to one file.
#   proc     the score file a link to /proc/self/pagemap (never ends): the game starts, saves to
#            the fallback, and its peak memory (VmHWM) stays within 100 MB of an empty folder's.
# In each, every result is kept once (in the score file, or in the fallback that the next start
# shows), and no line is cut or doubled.
#
# Usage (as root or with ptrace allowed): xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
#   tests/e2e/score_races.sh <pemy binary> <repository root> [runs] [race...]
# Prints one line per run and a summary; exits 1 when any run lost a result.
set -uo pipefail
pemy=$(readlink -f "$1")
root=$(readlink -f "$2")
runs=${3:-5}
shift 3 2>/dev/null || shift $#
races=("$@")
[ ${#races[@]} -gt 0 ] || races=(stall kill killrename linked proc)

. "$root/tests/e2e/x11_helpers.sh"
wait_display || { echo "no X server" >&2; exit 2; }
command -v gdb >/dev/null || { echo "gdb is needed" >&2; exit 2; }
export SDL_AUDIODRIVER=dummy
sep='-----------------'
menu_caption='Меню "PEMy -и Зольмар"'
pids=()
cleanup() { for p in "${pids[@]}"; do kill -9 "$p" 2>/dev/null; done; }
trap cleanup EXIT

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# new_folder: a folder with a copy of base/ and a score file of one result, "Seed"; prints it.
new_folder() {
  local dir
  dir=$(mktemp -d /tmp/pemy-race.XXXXXX)
  cp -r "$root/base" "$dir/"
  printf '%s\r\nSeed\r\n' "$sep" >"$dir/base/data/score.inf"
  echo "$dir"
}

# start DIR: starts the game in DIR and prints its id; fails when its menu is not shown.
start() {
  local p
  # At most 4 GB of address space: a game that reads without end stops there, not at the machine's.
  (cd "$1" && ulimit -v 4194304 && exec "$pemy" >>"$1/out.log" 2>&1) &
  p=$!
  echo "$p" # even when it fails: the caller ends it
  wait_window "$p" "$menu_caption" >/dev/null
}

# type_result PID NAME: the menu's "Очки", the list unlocked, NAME typed at its end; the score
# screen stays.
type_result() {
  local menu score
  menu=$(wait_window "$1" "$menu_caption") || return 1
  xdotool windowraise "$menu"
  click_design "$menu" 158 385 688 440 # "Очки"
  score=$(wait_window "$1" 'Очки') || return 1
  xdotool windowraise "$score"
  click_design "$score" 48 392 694 440 # the picture that unlocks the list
  click_design "$score" 347 150 694 440 # the list
  xdotool key --window "$score" ctrl+End
  xdotool type --window "$score" --delay 10 "$2"
}

# back PID: clicks "Назад" on the score screen.
back() {
  local score
  score=$(wait_window "$1" 'Очки') || return 1
  xdotool windowraise "$score"
  click_design "$score" 348 372 694 440
}

# stop_at PID DIR FUNCTION: gdb stops the game at its next call of FUNCTION and holds it until
# DIR/go exists (then lets it go on), or kills it when DIR/kill exists. DIR/stopped appears once it
# is stopped.
stop_at() {
  gdb -q -batch -p "$1" -ex 'set pagination off' -ex "break $3" -ex 'continue' \
    -ex "shell touch $2/stopped" \
    -ex "shell while [ ! -e $2/go ] && [ ! -e $2/kill ]; do sleep 0.05; done" \
    -ex "shell [ -e $2/kill ] && kill -9 $1" -ex 'delete' -ex 'detach' >"$2/gdb.log" 2>&1 &
  pids+=("$!")
  # gdb is attached once its breakpoint is set; it continues the process a moment later.
  for _ in $(seq 200); do
    # A click that arrives before gdb lets the game go on waits in the X queue.
    grep -q "^Breakpoint 1 at" "$2/gdb.log" && return 0
    sleep 0.05
  done
  return 1
}

# holds FILE NAME: whether FILE holds NAME (each typed name ends in "x", so that none is part of
# another; a name typed after a last line without a break joins that line).
holds() { [ -e "$1" ] && tr -d "\r" <"$1" | grep -q -- "$2"; }

# kept DIR NAME: whether the next start of the game in DIR shows NAME: in the score file, or in
# the fallback beside base/ (which the next start shows).
kept() { holds "$1/base/data/score.inf" "$2" || holds "$1/score.inf" "$2"; }

# whole FILE: every line of FILE is one that a player typed or the separator: no cut, no mix.
whole() { ! tr -d '\r' <"$1" | grep -vxE -- "$sep|Seed|((Alice|Bob|Carol)[0-9]+x)+" | grep -q .; }

# give_up WHY: ends a run that could not be made (not a lost result), ending its games.
give_up() {
  echo "$kind $n: $1"
  kill -9 $a $b 2>/dev/null
  return 2
}

# stall|kill|killrename|linked RUN: one run; prints its line and returns 1 when a result was lost.
race() {
  local kind=$1 n=$2 dir dirB a= b= t0 waited=-1 ok=1 note=
  dir=$(new_folder)
  dirB=$dir
  if [ "$kind" = linked ]; then
    dirB=$(new_folder)
    mkdir -p "$dir/shared"
    mv "$dir/base/data/score.inf" "$dir/shared/score.inf"
    ln -s ../../shared/score.inf "$dir/base/data/score.inf"
    rm "$dirB/base/data/score.inf"
    ln -s "$dir/shared/score.inf" "$dirB/base/data/score.inf"
  fi
  a=$(start "$dir") || { give_up "game A did not start"; return 2; }
  b=$(start "$dirB") || { give_up "game B did not start"; return 2; }
  type_result "$a" "Alice${n}x" && type_result "$b" "Bob${n}x" || { give_up "could not type"; return 2; }
  stop_at "$a" "$dir" "$([ "$kind" = killrename ] && echo renameat || echo fsync)" \
    || { give_up "gdb did not attach"; return 2; }
  back "$a"
  wait_file "$dir/stopped" 10 || { give_up "A did not reach its save"; return 2; }
  t0=$(now_ms)
  back "$b"
  for _ in $(seq 100); do
    if kept "$dirB" "Bob${n}x"; then waited=$(($(now_ms) - t0)); break; fi
    sleep 0.02
  done
  if [ "$kind" = kill ] || [ "$kind" = killrename ]; then
    touch "$dir/kill"
    wait_exit "$a" || { give_up "A was not killed"; return 2; }
    a=$(start "$dir") || { give_up "A did not start again"; return 2; }
    type_result "$a" "Carol${n}x" && back "$a"
    wait_window "$a" "$menu_caption" >/dev/null
    for _ in $(seq 50); do kept "$dir" "Carol${n}x" && break; sleep 0.1; done
    kept "$dir" "Carol${n}x" || { ok=0; note+=" Carol lost"; }
  else
    touch "$dir/go"
    wait_window "$a" "$menu_caption" >/dev/null
    for _ in $(seq 50); do holds "$dir/base/data/score.inf" "Alice${n}x" && break; sleep 0.1; done
    kept "$dir" "Alice${n}x" || { ok=0; note+=" Alice lost"; }
  fi
  kept "$dirB" "Bob${n}x" || { ok=0; note+=" Bob lost"; }
  kept "$dir" Seed || { ok=0; note+=" Seed lost"; }
  whole "$dir/base/data/score.inf" || { ok=0; note+=" score file mixed"; }
  ls "$dir/base/data" | grep -q 'pemy-save' && note+=" temporary left"
  kill -9 "$a" "$b" 2>/dev/null
  wait "$a" "$b" 2>/dev/null
  echo "$kind $n: $([ $ok = 1 ] && echo kept || echo LOST) (B's save landed after ${waited} ms${note:+;$note})"
  rm -rf "$dir" "$dirB"
  [ $ok = 1 ]
}

# peak PID: the process's peak resident memory in MB.
peak() { awk '/VmHWM/ { print int($2 / 1024) }' "/proc/$1/status"; }

# proc RUN: the score file a link to /proc/self/pagemap.
proc_race() {
  local n=$1 dir empty p base_mb mb ok=1 note=
  empty=$(new_folder)
  rm "$empty/base/data/score.inf"
  p=$(start "$empty") || return 2
  sleep 1
  base_mb=$(peak "$p")
  kill -9 "$p"
  dir=$(new_folder)
  ln -sf /proc/self/pagemap "$dir/base/data/score.inf"
  if ! p=$(start "$dir"); then
    echo "proc $n: LOST (no menu within 20 s, peak $(peak "$p" 2>/dev/null) MB)"
    kill -9 "$p" 2>/dev/null
    return 1
  fi
  type_result "$p" "Alice${n}x" && back "$p"
  wait_window "$p" "$menu_caption" >/dev/null
  for _ in $(seq 50); do holds "$dir/score.inf" "Alice${n}x" && break; sleep 0.1; done
  mb=$(peak "$p")
  holds "$dir/score.inf" "Alice${n}x" || { ok=0; note+=" Alice lost"; }
  [ $((mb - base_mb)) -lt 100 ] || { ok=0; note+=" over 100 MB"; }
  kill -9 "$p" 2>/dev/null
  echo "proc $n: $([ $ok = 1 ] && echo kept || echo LOST) (peak ${mb} MB, an empty folder's ${base_mb} MB${note:+;$note})"
  rm -rf "$dir" "$empty"
  [ $ok = 1 ]
}

lost=0
total=0
for kind in "${races[@]}"; do
  for n in $(seq "$runs"); do
    total=$((total + 1))
    case $kind in
      proc) proc_race "$n" || lost=$((lost + 1)) ;;
      *) race "$kind" "$n" || lost=$((lost + 1)) ;;
    esac
  done
done
echo "runs: $total, lost or failed: $lost"
[ "$lost" -eq 0 ]
