#!/usr/bin/env bash
# The save's simulation (test_SaveSchedules) at length: every stop of every scenario, then COUNT
# seeded random schedules spread over the scenarios (a million by default), outside CTest, one
# scenario a process, as many at once as there are processors. Prints the count, the time and any
# failing schedule with its seed (PEMY_SCHEDULE=<seed> replays it).
#
# Usage (after scripts/test.sh): bench/save_schedules.sh [count] [build folder]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-1000000}
build=${2:-$root/build}
binary="$build/tests/unit/test_SaveSchedules"
[ -x "$binary" ] || { echo "build $binary first (scripts/test.sh)" >&2; exit 2; }
mapfile -t tags < <("$binary" -datatags | sed -n 's/^TestSaveSchedules randomSchedules //p')
per=$(((count + ${#tags[@]} - 1) / ${#tags[@]}))
export QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=86400000 PEMY_SCHEDULES=$per binary
start=$(date +%s)
failed=0
"$binary" -silent everyStop || failed=1
printf '%s\0' "${tags[@]}" | xargs -0 -P "$(nproc)" -I{} sh -c '"$binary" -silent "randomSchedules:$1"' \
  one {} || failed=1
echo "$((per * ${#tags[@]})) random schedules over ${#tags[@]} scenarios, besides every stop," \
  "in $(($(date +%s) - start)) s: $([ "$failed" = 0 ] && echo "no failure" || echo FAILED)"
exit "$failed"
