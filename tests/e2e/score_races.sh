#!/usr/bin/env bash
# Races of the score file's save, through the real program under a virtual X server, each run many
# times (not in CTest: the deterministic versions are test_SaveSchedules' scenarios, each stopped at
# every call, and test_ScoreFile's killedSave and procLinkIsBounded). Each save is made as a player
# makes it: the score screen from the menu, the list unlocked, a line typed at its end, "Назад".
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
#   three    three games in one folder: A stopped in its save while B and C save; then A goes on.
#   readonly the score file read-only (games run without the right to override permissions): two
#            games save one after the other, to the fallback.
#   fallbacklink  the score file a link to the fallback's own file: a game saves the list
#            unchanged, then another adds a result.
#   swap     A stopped in its save as it takes its turn while base/data is swapped for a link to a
#            folder outside, then A goes on; the swap is undone afterwards.
# In each, every result is kept once (in the score file, or in the fallback that the next start
# shows), no line is cut or doubled, and no file outside the game's folder is written.
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
[ ${#races[@]} -gt 0 ] || races=(stall kill killrename linked proc three readonly fallbacklink swap)

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

# start DIR: starts the game in DIR and prints its id; fails when its menu is not shown. With
# bound=1, file permissions bind the game even when it runs as root.
bound=0
start() {
  local p wrap=()
  [ "$bound" = 1 ] && wrap=(setpriv --bounding-set=-dac_override,-dac_read_search --inh-caps=-all)
  # At most 4 GB of address space: a game that reads without end stops there, not at the machine's.
  (cd "$1" && ulimit -v 4194304 && exec "${wrap[@]}" "$pemy" >>"$1/out.log" 2>&1) &
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

# times FILE NAME: how many lines of FILE are NAME.
times() {
  [ -e "$1" ] || { echo 0; return; }
  tr -d '\r' <"$1" | grep -cx -- "$2" || true
}

# shown_once DIR NAME...: whether the next start in DIR shows each NAME once: the score file's
# lines, and those of the fallback that the score file holds fewer times.
shown_once() {
  local dir=$1 name s f
  shift
  for name in "$@"; do
    s=$(times "$dir/base/data/score.inf" "$name")
    f=$(times "$dir/score.inf" "$name")
    [ $((s + (f > s ? f - s : 0))) = 1 ] || return 1
  done
}

# outside_kept DIR: the decoy folder outside DIR's game folder holds its one file, unchanged.
outside_kept() { [ "$(ls -A "$1/outside")" = decoy.inf ] && [ "$(cat "$1/outside/decoy.inf")" = Decoy ]; }

# three|readonly|fallbacklink|swap RUN: one run of the races added for stalls of three games, read-
# only files, links between the two files and swapped folders; returns 1 when a result was lost,
# doubled or written outside.
race2() {
  local kind=$1 n=$2 dir a= b= c= ok=1 note= names
  dir=$(new_folder)
  mkdir "$dir/outside" && echo Decoy >"$dir/outside/decoy.inf"
  case $kind in
    readonly)
      chmod 444 "$dir/base/data/score.inf"
      cp "$dir/base/data/score.inf" "$dir/score.orig"
      bound=1 ;;
    fallbacklink)
      mv "$dir/base/data/score.inf" "$dir/score.inf"
      ln -s ../../score.inf "$dir/base/data/score.inf" ;;
  esac
  a=$(start "$dir") || { give_up "game A did not start"; bound=0; return 2; }
  b=$(start "$dir") || { give_up "game B did not start"; bound=0; return 2; }
  bound=0
  case $kind in
    three|swap)
      [ "$kind" = three ] && { c=$(start "$dir") || { give_up "game C did not start"; return 2; }; }
      type_result "$a" "Alice${n}x" || { give_up "could not type"; return 2; }
      # The swap comes as A takes the turn of its save (its folder looked up).
      stop_at "$a" "$dir" "$([ "$kind" = swap ] && echo flock || echo fsync)" \
        || { give_up "gdb did not attach"; return 2; }
      back "$a"
      wait_file "$dir/stopped" 10 || { give_up "A did not reach its save"; return 2; }
      if [ "$kind" = three ]; then
        type_result "$b" "Bob${n}x" && back "$b" && type_result "$c" "Carol${n}x" && back "$c"
        for _ in $(seq 50); do kept "$dir" "Carol${n}x" && break; sleep 0.1; done
        names=("Alice${n}x" "Bob${n}x" "Carol${n}x")
      else
        mv "$dir/base/data" "$dir/base/data.away"
        ln -s ../outside "$dir/base/data"
        names=("Alice${n}x")
      fi
      touch "$dir/go"
      wait_window "$a" "$menu_caption" >/dev/null
      for _ in $(seq 50); do kept "$dir" "Alice${n}x" && break; sleep 0.1; done
      [ "$kind" = swap ] && rm "$dir/base/data" && mv "$dir/base/data.away" "$dir/base/data" ;;
    readonly)
      type_result "$a" "Alice${n}x" && back "$a" && type_result "$b" "Bob${n}x" && back "$b"
      for _ in $(seq 50); do holds "$dir/score.inf" "Bob${n}x" && break; sleep 0.1; done
      cmp -s "$dir/base/data/score.inf" "$dir/score.orig" || note+=" score file changed"
      names=("Alice${n}x" "Bob${n}x") ;;
    fallbacklink)
      local menu score
      menu=$(wait_window "$a" "$menu_caption") && xdotool windowraise "$menu" \
        && click_design "$menu" 158 385 688 440 && back "$a"
      wait_window "$a" "$menu_caption" >/dev/null
      for _ in $(seq 20); do [ -f "$dir/score.inf" ] || break; sleep 0.05; done
      [ -f "$dir/score.inf" ] || note+=" the file went"
      type_result "$b" "Bob${n}x" && back "$b"
      for _ in $(seq 50); do holds "$dir/score.inf" "Bob${n}x" && break; sleep 0.1; done
      [ -L "$dir/base/data/score.inf" ] && [ -f "$dir/score.inf" ] || note+=" the file went"
      names=("Bob${n}x") ;;
  esac
  shown_once "$dir" Seed "${names[@]}" || { ok=0; note+=" not shown once"; }
  whole "$dir/base/data/score.inf" && { [ ! -e "$dir/score.inf" ] || whole "$dir/score.inf"; } \
    || { ok=0; note+=" a file mixed"; }
  outside_kept "$dir" || { ok=0; note+=" outside written"; }
  [ -z "$note" ] || ok=0
  kill -9 $a $b $c 2>/dev/null
  wait $a $b $c 2>/dev/null
  echo "$kind $n: $([ $ok = 1 ] && echo kept || echo LOST)${note:+ ($note)}"
  chmod -R u+w "$dir"
  rm -rf "$dir"
  [ $ok = 1 ]
}

lost=0
total=0
for kind in "${races[@]}"; do
  for n in $(seq "$runs"); do
    total=$((total + 1))
    case $kind in
      proc) proc_race "$n" || lost=$((lost + 1)) ;;
      three | readonly | fallbacklink | swap) race2 "$kind" "$n" || lost=$((lost + 1)) ;;
      *) race "$kind" "$n" || lost=$((lost + 1)) ;;
    esac
  done
done
echo "runs: $total, lost or failed: $lost"
[ "$lost" -eq 0 ]
