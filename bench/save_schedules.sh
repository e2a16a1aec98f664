#!/usr/bin/env bash
# The save's simulation (test_SaveSchedules) at length: every stop of every scenario, then COUNT
# seeded random schedules spread over the scenarios (a million by default), outside CTest. Prints
# the count, the time and any failing schedule with its seed (PEMY_SCHEDULE=<seed> replays it).
#
# Usage (after scripts/test.sh): bench/save_schedules.sh [count] [build folder]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
count=${1:-1000000}
build=${2:-$root/build}
binary="$build/tests/unit/test_SaveSchedules"
[ -x "$binary" ] || { echo "build $binary first (scripts/test.sh)" >&2; exit 2; }
scenarios=$("$binary" -datatags | grep -c "^TestSaveSchedules randomSchedules ")
per=$(((count + scenarios - 1) / scenarios))
start=$(date +%s)
QT_QPA_PLATFORM=offscreen QTEST_FUNCTION_TIMEOUT=86400000 PEMY_SCHEDULES=$per \
  "$binary" -silent everyStop randomSchedules
status=$?
echo "$((per * scenarios)) random schedules over $scenarios scenarios, besides every stop," \
  "in $(($(date +%s) - start)) s; exit status $status"
exit "$status"
